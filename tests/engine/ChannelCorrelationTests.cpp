#include "ChannelCorrelation.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

// The six pairs formed side by side in vector lanes read the very bits that
// each pair gives alone, for any length (a lane's sums stay in sample order);
// silent slots read 1.0 there as alone.
TEST (ChannelCorrelation, PairsSideBySideReadWhatEachPairReadsAlone)
{
    for (int numSamples : { 0, 1, 7, 480, 4096 })
    {
        juce::AudioBuffer<float> slots (Slots::count, numSamples);
        slots.clear();
        TestSignals::PinkNoise noise;

        // Slot LS stays silent.
        for (int slot : { Slots::L, Slots::R, Slots::C, Slots::LFE, Slots::RS })
            for (int i = 0; i < numSamples; ++i)
                slots.setSample (slot, i, noise.next (0.1f * (float) (slot + 1)));

        const auto readings = ChannelCorrelation::measurePairs (slots);

        for (size_t pair = 0; pair < readings.size(); ++pair)
        {
            const auto [left, right] = Slots::correlationPairs[pair];
            EXPECT_EQ (readings[pair], ChannelCorrelation::calculate (slots.getReadPointer (left),
                                                                      slots.getReadPointer (right), numSamples))
                << "pair " << pair << ", " << numSamples << " samples";
        }
    }
}
