#pragma once

#include "LoudnessHistory.h"
#include "OVRALoudnessHistogram.h"

#include <optional>

/** The statistics of a stretch of a loudness history: the integrated
    loudness of its momentary values, the loudness range of its short-term
    values, the highest value of each and the stretch's duration. A pure
    computation over the history, gated like the live measurement unless the
    gating is switched off. Called on the thread that owns the history (the
    report viewer's message thread).

        SelectionStatistics statistics;
        statistics.setGatingEnabled (false);
        const auto result = statistics.compute (history, 120, 480);
        if (result.integratedLoudness) ...
*/
class SelectionStatistics
{
public:
    /** The value the maxima start from: a stretch with nothing above it has no maximum. */
    static constexpr float floorLevel = -70.0f;

    struct Result
    {
        /** Of the momentary values; none for a history without any. */
        std::optional<float> integratedLoudness;
        /** Of the short-term values; none for an empty history. */
        std::optional<float> loudnessRange;

        /** The highest value above floorLevel, the first of equal ones, and
            its sample; floorLevel and sample 0 without one. */
        float maxMomentary = floorLevel, maxShortTerm = floorLevel;
        int maxMomentaryIndex = 0, maxShortTermIndex = 0;

        /** The stretch's first and last sample, kept within the history. */
        int first = 0, last = 0;

        /** Seconds from the first to the last sample, for a history with dates
            only; a stretch whose dates differ has passed midnight once. */
        std::optional<int> durationSeconds;
    };

    SelectionStatistics() = default;

    //==============================================================================
    /** The statistics of the samples start .. end, both included. */
    Result compute (const LoudnessHistory& history, int start, int end);

    void setGatingEnabled (bool enabled) noexcept { histogram.gatingEnabled = enabled; }
    bool isGatingEnabled() const noexcept { return histogram.gatingEnabled; }

private:
    /** Counts the stretch's values into the histogram and finds their maximum. */
    void scan (const std::vector<float>& values, int first, int last, float& max, int& maxIndex);

    // Counted afresh for each measure.
    OVRALoudnessHistogram histogram;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SelectionStatistics)
};
