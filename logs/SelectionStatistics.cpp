#include "SelectionStatistics.h"

SelectionStatistics::Result SelectionStatistics::compute (const LoudnessHistory& history, int start, int end)
{
    Result result;

    if (history.isEmpty())
        return result;

    const int lastSample = history.size() - 1;
    result.first = juce::jlimit (0, lastSample, start);
    result.last = juce::jlimit (0, lastSample, end);

    if (history.hasMomentary())
    {
        scan (history.getMomentaryValues(), result.first, result.last, result.maxMomentary,
              result.maxMomentaryIndex);
        result.integratedLoudness = histogram.getIntegratedLoudness();
    }

    scan (history.getShortTermValues(), result.first, result.last, result.maxShortTerm,
          result.maxShortTermIndex);
    float range = 0.0f, low = 0.0f, high = 0.0f;
    histogram.getLoudnessRange (range, low, high);
    result.loudnessRange = range;

    if (history.hasDates())
    {
        auto seconds = juce::jmax (0, history.getSecondsOfDay (result.last))
                       - juce::jmax (0, history.getSecondsOfDay (result.first));

        if (history.getDateText (result.first) != history.getDateText (result.last))
            seconds += 24 * 60 * 60;

        result.durationSeconds = seconds;
    }

    return result;
}

void SelectionStatistics::scan (const std::vector<float>& values, int first, int last, float& max,
                                int& maxIndex)
{
    histogram.clear();

    for (int i = first; i <= last; ++i)
    {
        const float value = values[(size_t) i];
        histogram.add (value);

        if (value > max)
        {
            max = value;
            maxIndex = i;
        }
    }
}
