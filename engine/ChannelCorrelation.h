#pragma once

#include "Slots.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>

/** The correlation meter's reading of a pair of channels, from -1 to 1: the
    sum of l * r over the root of the sums of l * l and r * r, in single
    precision and in sample order. A channel quieter than an RMS of 0.0001
    and a pair with no samples read 1.0, and so does a reading that would be
    NaN (a NaN sample, sums beyond the float range).

    measurePairs forms the six pairs of Slots::correlationPairs at once, one
    pair per vector lane, and gives each the very bits calculate gives it.

        const auto readings = ChannelCorrelation::measurePairs (sixSlots);

    Any thread; nothing allocates or locks.
*/
class ChannelCorrelation
{
public:
    static constexpr int numPairs = (int) Slots::correlationPairs.size();
    using Readings = std::array<float, (size_t) numPairs>;

    /** One pair of channels. */
    static float calculate (const float* left, const float* right, int numSamples) noexcept;

    /** Channels 0 and 1 of a buffer; 1.0 for a buffer of fewer than two. */
    static float calculate (const juce::AudioBuffer<float>& pair) noexcept;

    /** The correlations of Slots::correlationPairs over a buffer of the six
        slots, in the pairs' order. */
    static Readings measurePairs (const juce::AudioBuffer<float>& slots) noexcept;
};
