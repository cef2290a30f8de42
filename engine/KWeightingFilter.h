#pragma once

#include "Slots.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>

/** The two K-weighting stages (a shelf and a high-pass biquad) of every
    channel, run for all channels at once in vector lanes.

    Each channel gives the same samples, bit for bit, as two
    juce::SingleThreadedIIRFilter objects in series with the same
    coefficients, the state of each snapped to zero at the end of a block:
    the lanes repeat the framework's operations in its order.

        filter.setCoefficients (shelf, highPass);
        filter.process (block, ring, start1, size1, start2, size2, channels);
*/
class KWeightingFilter
{
public:
    static constexpr int numChannels = Slots::count;

    /** Until coefficients are set, process leaves the samples alone. */
    void setCoefficients (const juce::IIRCoefficients& shelf, const juce::IIRCoefficients& highPass) noexcept;

    /** Filters the first channels of size1 + size2 frames of a source into
        two runs of a destination, which may be the source itself: the first
        size1 frames from start1 on, the rest from start2 on (as a ring buffer
        lays them out). The states of the other channels stay as they are. */
    void process (const juce::AudioBuffer<float>& source, juce::AudioBuffer<float>& destination, int start1,
                  int size1, int start2, int size2, int channels) noexcept;

    /** Restarts every channel. */
    void reset() noexcept;

    /** Restarts one channel. */
    void resetChannel (int channel) noexcept;

private:
    /** Lanes per frame: the channels, padded to a whole AVX vector. */
    static constexpr int lanes = 8;
    static_assert (lanes >= numChannels);

    /** Samples per pass, the length of the absent channels' scratch run. */
    static constexpr int chunkLength = 256;

    struct Stage
    {
        std::array<float, 5> coefficients {};
        std::array<float, lanes> v1 {}, v2 {};
    };

    std::array<Stage, 2> stages;
    bool active = false;
    std::array<float, chunkLength> discarded {};

    JUCE_LEAK_DETECTOR (KWeightingFilter)
};
