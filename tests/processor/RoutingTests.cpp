#include "ProcessorTestHelpers.h"

#include <gtest/gtest.h>

using namespace ProcessorTestHelpers;

namespace
{
constexpr float labelOf (int channel) { return (float) (channel + 1) / 10.0f; }

float slotValue (const juce::AudioBuffer<float>& slots, int slot) { return slots.getSample (slot, 0); }

void expectChannelIsConstant (const juce::AudioBuffer<float>& buffer, int channel, float value)
{
    const auto range = buffer.findMinMax (channel, 0, buffer.getNumSamples());
    EXPECT_FLOAT_EQ (range.getStart(), value) << "channel " << channel;
    EXPECT_FLOAT_EQ (range.getEnd(), value) << "channel " << channel;
}
} // namespace

TEST (ProcessorRouting, InputChannelsFeedTheSlotsTheLayoutNames)
{
    auto processor = makePreparedProcessor();

    // Device channels 4, 5, 0, 1 chosen for L, R, LS, RS: the active form is
    // the position among the chosen ones, so the block carries them as 2, 3, 0, 1.
    processor->setInputLayout (layoutOf ({ 4, 5, -1, -1, 0, 1 }));
    EXPECT_EQ (processor->getInputLayout(), layoutOf ({ 2, 3, -1, -1, 0, 1 }));

    auto block = makeLabelledBlock (6, blockSize);
    process (*processor, block);

    const auto slots = readRoutedSlots (*processor);
    ASSERT_EQ (slots.getNumSamples(), blockSize);
    expectChannelIsConstant (slots, 0, labelOf (2));
    expectChannelIsConstant (slots, 1, labelOf (3));
    expectChannelIsConstant (slots, 2, 0.0f);
    expectChannelIsConstant (slots, 3, 0.0f);
    expectChannelIsConstant (slots, 4, labelOf (0));
    expectChannelIsConstant (slots, 5, labelOf (1));
}

TEST (ProcessorRouting, ChannelsTheBlockDoesNotHaveFeedNothing)
{
    // A stereo device: the block has two input channels, whatever the layout says.
    auto processor = makePreparedProcessor (2, 2);
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->setOutputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));

    auto block = makeLabelledBlock (2, blockSize);
    process (*processor, block);

    auto slots = readRoutedSlots (*processor);
    expectChannelIsConstant (slots, 0, labelOf (0));
    expectChannelIsConstant (slots, 1, labelOf (1));

    for (int slot = 2; slot < 6; ++slot)
        expectChannelIsConstant (slots, slot, 0.0f);

    expectChannelIsConstant (block, 0, labelOf (0));
    expectChannelIsConstant (block, 1, labelOf (1));

    // Two inputs but six outputs: the host's block has six channels, of which
    // only the first two are inputs; the others must not be read as input.
    auto wider = makePreparedProcessor (2, 6);
    wider->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    wider->setOutputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    auto sixChannels = makeLabelledBlock (6, blockSize);
    process (*wider, sixChannels);

    slots = readRoutedSlots (*wider);
    expectChannelIsConstant (slots, 0, labelOf (0));
    expectChannelIsConstant (slots, 1, labelOf (1));

    for (int slot = 2; slot < 6; ++slot)
    {
        expectChannelIsConstant (slots, slot, 0.0f);
        expectChannelIsConstant (sixChannels, slot, 0.0f);
    }
}

TEST (ProcessorRouting, UnsetLayoutsRouteNothingAndSilenceEveryOutput)
{
    auto processor = makePreparedProcessor();
    EXPECT_EQ (processor->getInputLayout(), ChannelLayout());
    EXPECT_EQ (processor->getOutputLayout(), ChannelLayout());

    auto block = makeLabelledBlock (6, blockSize);
    process (*processor, block);

    const auto slots = readRoutedSlots (*processor);

    for (int c = 0; c < 6; ++c)
    {
        expectChannelIsConstant (slots, c, 0.0f);
        expectChannelIsConstant (block, c, 0.0f);
    }
}

TEST (ProcessorRouting, OutputsCarryTheUnmixedInputByTheOutputLayout)
{
    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    // Device outputs 1, 0, 5 and 3 chosen for L, R, C and LS arrive as block
    // channels 1, 0, 3 and 2; LFE and RS are not played, and block channels 4
    // and 5 are named by no slot.
    processor->setOutputLayout (layoutOf ({ 1, 0, 5, -1, 3, -1 }));
    EXPECT_EQ (processor->getOutputLayout(), layoutOf ({ 1, 0, 3, -1, 2, -1 }));
    processor->settings.stereoMixdownFlag = 1.0f;

    auto block = makeLabelledBlock (6, blockSize);
    process (*processor, block);

    expectChannelIsConstant (block, 0, labelOf (1));
    expectChannelIsConstant (block, 1, labelOf (0));
    expectChannelIsConstant (block, 2, labelOf (4));
    expectChannelIsConstant (block, 3, labelOf (2));
    expectChannelIsConstant (block, 4, 0.0f);
    expectChannelIsConstant (block, 5, 0.0f);

    // A slot without an input is not heard either, even with an output.
    processor->setInputLayout (layoutOf ({ 0, -1, 2, 3, 4, 5 }));
    block = makeLabelledBlock (6, blockSize);
    process (*processor, block);
    expectChannelIsConstant (block, 0, 0.0f);
    expectChannelIsConstant (block, 1, labelOf (0));

    // An output that keeps its own channel, beside two that swap theirs and
    // three that no slot names.
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->setOutputLayout (layoutOf ({ 0, 2, 1, -1, -1, -1 }));
    block = makeLabelledBlock (6, blockSize);
    process (*processor, block);
    expectChannelIsConstant (block, 0, labelOf (0));
    expectChannelIsConstant (block, 1, labelOf (2));
    expectChannelIsConstant (block, 2, labelOf (1));

    for (int channel = 3; channel < 6; ++channel)
        expectChannelIsConstant (block, channel, 0.0f);
}

TEST (ProcessorRouting, DownmixFeedsTheMeasurementButNotTheOutputs)
{
    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->setOutputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->settings.stereoMixdownFlag = 1.0f;

    auto block = makeLabelledBlock (6, blockSize);
    process (*processor, block);

    const auto slots = readRoutedSlots (*processor);
    const float l = labelOf (0), r = labelOf (1), c = labelOf (2), ls = labelOf (4), rs = labelOf (5);
    EXPECT_NEAR (slotValue (slots, 0), l + 0.7071f * (c + ls), 1.0e-6f);
    EXPECT_NEAR (slotValue (slots, 1), r + 0.7071f * (c + rs), 1.0e-6f);

    for (int slot = 2; slot < 6; ++slot)
        expectChannelIsConstant (slots, slot, 0.0f);

    for (int channel = 0; channel < 6; ++channel)
        expectChannelIsConstant (block, channel, labelOf (channel));

    // One channel of every other pair is silent, so those pairs read 1.0. The
    // sums are single precision, so two constant channels come near 1.0, not
    // within a few steps of it.
    const auto& correlations = processor->displaySnapshot.vurnCorr;
    EXPECT_NEAR (correlations[0].get(), 1.0f, 1.0e-4f);

    for (size_t pair = 1; pair < 6; ++pair)
        EXPECT_EQ (correlations[pair].get(), 1.0f);
}

TEST (ProcessorRouting, EmptyBlockLeavesTheDeviceBlockAndResetsCorrelations)
{
    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->setOutputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));

    // First a block that drives L-R to -1, so that a reset is visible.
    juce::AudioBuffer<float> block (6, blockSize);
    block.clear();
    TestSignals::writeSine (block, 0, 1000.0, sampleRate, 0.5f);
    block.copyFrom (1, 0, block, 0, 0, blockSize);
    block.applyGain (1, 0, blockSize, -1.0f);
    process (*processor, block);
    ASSERT_NEAR (processor->displaySnapshot.vurnCorr[0].get(), -1.0f, 1.0e-5f);

    juce::AudioBuffer<float> empty (6, 0);
    process (*processor, empty);
    EXPECT_EQ (empty.getNumChannels(), 6);
    EXPECT_EQ (empty.getNumSamples(), 0);
    EXPECT_EQ (processor->lastBlockSize.get(), 0);

    for (auto& correlation : processor->displaySnapshot.vurnCorr)
        EXPECT_EQ (correlation.get(), 1.0f);

    // A block without channels is no fault either.
    juce::AudioBuffer<float> noChannels (0, blockSize);
    process (*processor, noChannels);
}

TEST (ProcessorRouting, LayoutsReachTheAudioThreadWhole)
{
    auto processor = makePreparedProcessor();
    const auto first = layoutOf ({ 0, 1, 2, 3, 4, 5 });
    const auto second = layoutOf ({ 5, 4, -1, 3, 1, 0 });
    const auto firstActive = first.toActive(), secondActive = second.toActive();

    processor->setInputLayout (first);
    processor->setOutputLayout (first);

    std::atomic<bool> done { false };
    std::thread writer ([&] {
        for (int i = 0; i < 20000; ++i)
        {
            processor->setInputLayout (i % 2 == 0 ? second : first);
            processor->setOutputLayout (i % 2 == 0 ? second : first);
        }

        done = true;
    });

    int mixed = 0, reads = 0;

    while (! done || reads == 0)
    {
        for (const auto layout : { processor->getInputLayout(), processor->getOutputLayout() })
            if (layout != firstActive && layout != secondActive)
                ++mixed;

        ++reads;
    }

    writer.join();
    EXPECT_EQ (mixed, 0);
}
