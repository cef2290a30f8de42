#include "OVRALoudnessHistogram.h"

#include "LevelRounding.h"

#include <cmath>

namespace
{
// Bin 0 holds -70.0, where the meter counts every block at or below the
// absolute gate of -70 LUFS, so the gated measures start at bin 1. With
// gating off every counted value takes part, the floor included.
constexpr int firstGatedBin = 1;
constexpr float integratedGateOffset = -10.0f;
constexpr float rangeGateOffset = -20.0f;
constexpr float rangeLowRank = 0.1f;
constexpr float rangeHighRank = 0.95f;
} // namespace

OVRALoudnessHistogram::OVRALoudnessHistogram()
{
    for (int i = 0; i < numBins; ++i)
    {
        const float loudness = std::floor (((float) i * 0.1f - 70.0f) * 10.0f + 0.5f) / 10.0f;
        binLoudness[(size_t) i] = loudness;
        binEnergy[(size_t) i] = std::pow (10.0, (double) (loudness / 10.0f));
        binIndexByLoudness.emplace (loudness, i);
    }
}

//==============================================================================
void OVRALoudnessHistogram::add (float loudness)
{
    if (! (loudness >= levelFloor))
        return;

    counts[(size_t) findBin (roundToOneDecimal (loudness))] += 1.0f;
}

void OVRALoudnessHistogram::clear() noexcept { counts.fill (0.0f); }

float OVRALoudnessHistogram::getIntegratedLoudness() const
{
    const bool gated = gatingEnabled.get();
    const auto all = sumBins (gated ? firstGatedBin : 0);

    if (all.count == 0)
        return levelFloor;

    const float ungated = 10.0f * std::log10 (all.energy / (float) all.count);

    if (! gated)
        return ungated;

    const auto kept = sumBins (gateBin (ungated + integratedGateOffset));

    if (kept.count == 0)
        return ungated;

    return 10.0f * std::log10 (kept.energy / (float) kept.count);
}

void OVRALoudnessHistogram::getLoudnessRange (float& range, float& low, float& high) const
{
    const bool gated = gatingEnabled.get();
    auto totals = sumBins (gated ? firstGatedBin : 0);

    if (totals.count > 0 && gated)
    {
        const float ungated = 10.0f * std::log10 (totals.energy / (float) totals.count);
        totals = sumBins (gateBin (ungated + rangeGateOffset));
    }

    if (totals.count == 0)
    {
        range = 0.0f;
        low = high = levelFloor;
        return;
    }

    if (totals.lowestBin == totals.highestBin)
    {
        range = 0.0f;
        low = high = binLoudness[(size_t) totals.lowestBin];
        return;
    }

    // Each end is the bin that holds the value of that rank, counting from 0.
    const int lowRank = (int) std::floor ((float) totals.count * rangeLowRank);
    const int highRank = (int) std::floor ((float) totals.count * rangeHighRank);

    int lowIndex = totals.lowestBin, highIndex = totals.lowestBin;
    int below = 0;

    for (int i = totals.lowestBin; i <= totals.highestBin; ++i)
    {
        if (below <= lowRank)
            lowIndex = i;
        if (below <= highRank)
            highIndex = i;

        below = (int) ((float) below + counts[(size_t) i]);
    }

    low = binLoudness[(size_t) lowIndex];
    high = binLoudness[(size_t) highIndex];
    range = high - low;
}

//==============================================================================
int OVRALoudnessHistogram::findBin (float roundedLoudness) const
{
    const auto found = binIndexByLoudness.find (roundedLoudness);

    if (found != binIndexByLoudness.end())
        return found->second;

    return juce::jlimit (0, numBins - 1, juce::roundToInt (roundedLoudness * 10.0f) + numBins - 1);
}

int OVRALoudnessHistogram::gateBin (float gate) const
{
    // A relative gate at or below the absolute one changes nothing.
    return juce::jmax (firstGatedBin, findBin (roundToOneDecimal (gate)));
}

OVRALoudnessHistogram::Totals OVRALoudnessHistogram::sumBins (int firstBin) const noexcept
{
    Totals totals;

    for (int i = firstBin; i < numBins; ++i)
    {
        const float count = counts[(size_t) i];

        // Energy kept in single precision between bins, each step in double.
        totals.energy = (float) ((double) totals.energy + (double) count * binEnergy[(size_t) i]);
        totals.count = (int) ((float) totals.count + count);

        if (count > 0.0f)
        {
            if (totals.lowestBin < 0)
                totals.lowestBin = i;
            totals.highestBin = i;
        }
    }

    return totals;
}
