#pragma once

#include <juce_core/juce_core.h>

#include <vector>

/** The zoom levels of a history plot: level 0 shows 0.02 samples per plot
    column, each next level eight times as many, and the last the whole record
    in one plot width. Each level's points are worked out from their index, so
    no level is ever stored.

        HistoryZoomLevels zoom { history.size(), plotWidth };
        const int sample = zoom.sampleIndexOf (zoom.size() - 1, column);
*/
class HistoryZoomLevels
{
public:
    /** No levels at all, before any history. */
    HistoryZoomLevels() = default;
    HistoryZoomLevels (int numSamples, int plotColumns);

    //==============================================================================
    int size() const noexcept { return (int) steps.size(); }

    /** Samples per plot column of a level. */
    float getStep (int level) const { return steps[(size_t) level]; }

    /** The number of points of a level; 0 for a level that does not exist. */
    juce::int64 getNumPoints (int level) const noexcept;

    /** The sample that a point of a level stands for. */
    int sampleIndexOf (int level, juce::int64 point) const;

private:
    int numSamples = 0;
    std::vector<float> steps;
    std::vector<juce::int64> numPoints;
};
