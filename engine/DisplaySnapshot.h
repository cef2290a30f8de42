#pragma once

#include "LevelRounding.h"
#include "RelaxedAtomic.h"
#include "Slots.h"

#include <array>

/** The processor's current readings, written on the audio thread and copied
    whole by the editor's timer and the remote timer. A reader may see fields
    of two consecutive blocks side by side.

    Arrays are in slot order L, R, C, LFE, LS, RS; correlations are of the
    pairs L-R, L-C, R-C, LS-RS, L-LS, R-RS. Positions run from 0 at a meter
    scale's bottom to 1 at its top.
*/
struct DisplaySnapshot
{
    static constexpr int numSlots = Slots::count;

    using FloatRow = std::array<RelaxedAtomic<float>, numSlots>;
    using IntRow = std::array<RelaxedAtomic<int>, numSlots>;

    DisplaySnapshot() noexcept { reset(); }

    /** Every field to its reset value: -70 for levels, 0 for positions,
        flags and counters, 1.0 for correlations. */
    void reset() noexcept
    {
        momentaryLoudness = levelFloor;
        momentaryLoudnessPix = 0.0f;
        shortTermLoudness = levelFloor;
        programLoudness = levelFloor;
        loudnessRange = levelFloor;
        loudnessRangeVectorMin = 0.0f;
        loudnessRangeVectorMax = 0.0f;
        arrowSliderValue = 0.0f;
        truePeakAlarm = 0;
        for (int i = 0; i < numSlots; ++i)
        {
            truePeakValuesPerChannel[(size_t) i] = levelFloor;
            truePeakValuesPerChannelPix[(size_t) i] = 0.0f;
            truePeakAlarmsPerChannel[(size_t) i] = 0;
            vectroscopeValue[(size_t) i] = 0.0f;
            vurnCorr[(size_t) i] = 1.0f;
        }
        processedSamplesCounter = 0.0;
    }

    RelaxedAtomic<float> momentaryLoudness;
    RelaxedAtomic<float> momentaryLoudnessPix;
    RelaxedAtomic<float> shortTermLoudness;
    RelaxedAtomic<float> programLoudness;
    RelaxedAtomic<float> loudnessRange;
    RelaxedAtomic<float> loudnessRangeVectorMin;
    RelaxedAtomic<float> loudnessRangeVectorMax;
    RelaxedAtomic<float> arrowSliderValue;
    RelaxedAtomic<int> truePeakAlarm;
    FloatRow truePeakValuesPerChannel;
    FloatRow truePeakValuesPerChannelPix;
    IntRow truePeakAlarmsPerChannel;
    RelaxedAtomic<double> processedSamplesCounter;
    FloatRow vectroscopeValue;
    FloatRow vurnCorr;
};
