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
        resetLiveReadings();
        programLoudness = levelFloor;
        loudnessRange = levelFloor;
        loudnessRangeVectorMin = 0.0f;
        loudnessRangeVectorMax = 0.0f;
        truePeakAlarm = 0;
        for (int i = 0; i < numSlots; ++i)
        {
            truePeakValuesPerChannel[(size_t) i] = levelFloor;
            truePeakAlarmsPerChannel[(size_t) i] = 0;
        }
        processedSamplesCounter = 0.0;
        samplesAtEarlierRates = 0.0;
        secondsAtEarlierRates = 0.0;
    }

    /** The readings of the signal as it is now (momentary, short-term, the
        bars, the scopes) to their reset values; what the measurement has
        gathered (integrated loudness, range, true-peak maxima and alarms,
        the time) stays. */
    void resetLiveReadings() noexcept
    {
        momentaryLoudness = levelFloor;
        momentaryLoudnessPix = 0.0f;
        shortTermLoudness = levelFloor;
        arrowSliderValue = 0.0f;
        for (int i = 0; i < numSlots; ++i)
        {
            truePeakValuesPerChannelPix[(size_t) i] = 0.0f;
            vectroscopeValue[(size_t) i] = 0.0f;
            vurnCorr[(size_t) i] = 1.0f;
        }
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
    /** The measured time: every sample measured since the reset, at
        whatever rate. Of those, the ones measured at rates before the
        current one, and the seconds they took. */
    RelaxedAtomic<double> processedSamplesCounter;
    RelaxedAtomic<double> samplesAtEarlierRates;
    RelaxedAtomic<double> secondsAtEarlierRates;

    /** The measured time in samples of the current rate: the earlier rates'
        seconds at that rate plus the samples since. Equals the counter while
        the rate has not changed. */
    double getMeasuredSamplesAt (double sampleRate) const noexcept
    {
        return processedSamplesCounter.get() - samplesAtEarlierRates.get()
               + secondsAtEarlierRates.get() * sampleRate;
    }

    FloatRow vectroscopeValue;
    FloatRow vurnCorr;
};
