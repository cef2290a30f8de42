#include "HistoryZoomLevels.h"

HistoryZoomLevels::HistoryZoomLevels (int samples, int plotColumns) : numSamples (samples)
{
    const int n = numSamples;
    const float ratio = (float) n / (float) plotColumns;

    for (float step = 0.02f;; step *= 8.0f)
    {
        steps.push_back (step);

        if (! (ratio > step))
            break;
    }

    steps.back() = ratio;

    // A level holds the points j = 0, 1, ... with j < n / step, compared in
    // single precision: the first j whose float is not below the count ends it.
    for (auto step : steps)
    {
        const float count = (float) n / step;
        juce::int64 low = 0, high = 0;

        if (n > 0 && count > 0.0f)
        {
            high = (juce::int64) count + 2;

            while (low < high)
            {
                const auto middle = low + (high - low) / 2;

                if ((float) middle < count)
                    low = middle + 1;
                else
                    high = middle;
            }
        }

        numPoints.push_back (low);
    }
}

juce::int64 HistoryZoomLevels::getNumPoints (int level) const noexcept
{
    return juce::isPositiveAndBelow (level, size()) ? numPoints[(size_t) level] : 0;
}

int HistoryZoomLevels::sampleIndexOf (int level, juce::int64 point) const
{
    // The single-precision product, truncated: each point of a level stands
    // for the sample this gives, as if the level were stored.
    const auto index = (juce::int64) ((float) point * steps[(size_t) level]);
    return (int) juce::jlimit ((juce::int64) 0, (juce::int64) numSamples - 1, index);
}
