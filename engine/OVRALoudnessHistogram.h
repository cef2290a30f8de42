#pragma once

#include "RelaxedAtomic.h"

#include <juce_core/juce_core.h>

#include <array>
#include <map>

/** Counts loudness values in 701 bins of 0.1 LU from -70.0 to 0.0 and derives
    the two gated long-term measures from the counts: the integrated loudness
    (relative gate 10 LU below the level of the values above the absolute
    gate) and the loudness range (relative gate 20 LU below, 10 % and 95 %
    points). The absolute gate of -70 LUFS leaves out the -70.0 bin, where the
    meter counts every block at or below it. With gating off both measures
    take every counted value, the -70.0 bin included.

    Keeping counts makes both measures a fixed 701-bin pass however long a
    measurement runs. Not thread-safe, except gatingEnabled, which another
    thread may switch.
*/
class OVRALoudnessHistogram
{
public:
    static constexpr int numBins = 701;

    OVRALoudnessHistogram();

    //==============================================================================
    /** Counts one value; values below -70.0 (and NaN) are not counted, values
        above 0.0 count in the top bin. */
    void add (float loudness);

    /** Sets every count to zero; tables and gating stay. */
    void clear() noexcept;

    /** Integrated loudness, not rounded; -70 when nothing that takes part is counted. */
    float getIntegratedLoudness() const;

    /** Loudness range (LU) and its low and high points (LUFS). */
    void getLoudnessRange (float& range, float& low, float& high) const;

    //==============================================================================
    float getCount (int bin) const noexcept { return counts[(size_t) bin]; }
    float getBinLoudness (int bin) const noexcept { return binLoudness[(size_t) bin]; }

    /** When false both measures are taken over all counted values, the -70.0
        bin included: the switch turns off the absolute and the relative gates. */
    RelaxedAtomic<bool> gatingEnabled { true };

private:
    std::array<float, numBins> counts {};
    std::array<float, numBins> binLoudness {};
    std::map<float, int> binIndexByLoudness;

    // 10^(loudness / 10) of each bin, so a measure costs no powers.
    std::array<double, numBins> binEnergy {};

    struct Totals
    {
        float energy = 0.0f;
        int count = 0;
        int lowestBin = -1, highestBin = -1;
    };

    int findBin (float roundedLoudness) const;
    int gateBin (float gate) const;
    Totals sumBins (int firstBin) const noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRALoudnessHistogram)
};
