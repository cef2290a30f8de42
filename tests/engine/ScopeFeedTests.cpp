#include "ScopeFeed.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace
{
/** Frame f of slot s carries s * 1000 + f + 1, so every sample tells where it came from. */
juce::AudioBuffer<float> numberedBlock (int numFrames, int firstFrame = 0)
{
    juce::AudioBuffer<float> block (OVRAAudioFifo::numChannels, numFrames);
    for (int slot = 0; slot < block.getNumChannels(); ++slot)
        for (int f = 0; f < numFrames; ++f)
            block.setSample (slot, f, (float) (slot * 1000 + firstFrame + f + 1));
    return block;
}

float numbered (int slot, int frame) { return (float) (slot * 1000 + frame + 1); }
} // namespace

TEST (ScopeFeed, AxesFollowTheChosenChannelNames)
{
    ScopeFeed feed;
    juce::AudioBuffer<float> xy;

    // Each slot's name picks that slot.
    const auto& names = Slots::names;
    const float* firstBuffer = nullptr;
    for (int x = 0; x < Slots::count; ++x)
    {
        const int y = (x + 1) % Slots::count;
        feed.setXChannel (names[(size_t) x]);
        feed.setYChannel (names[(size_t) y]);
        EXPECT_EQ ((int) feed.xChannel, x);
        EXPECT_EQ ((int) feed.yChannel, y);

        feed.fifo->write (numberedBlock (64));
        feed.readLatest (xy, 64);
        ASSERT_EQ (xy.getNumChannels(), 2);
        ASSERT_EQ (xy.getNumSamples(), 64);

        // Reads of the same length reuse the output rather than reallocate it.
        if (firstBuffer == nullptr)
            firstBuffer = xy.getReadPointer (0);
        EXPECT_EQ (xy.getReadPointer (0), firstBuffer);

        for (int f = 0; f < 64; ++f)
        {
            ASSERT_EQ (xy.getSample (0, f), numbered (x, f)) << names[(size_t) x] << " frame " << f;
            ASSERT_EQ (xy.getSample (1, f), numbered (y, f)) << names[(size_t) y] << " frame " << f;
        }
    }

    // An unknown name picks slot 0 and leaves the map as built.
    feed.setXChannel ("LS");
    feed.setYChannel ("Surround");
    EXPECT_EQ ((int) feed.xChannel, 4);
    EXPECT_EQ ((int) feed.yChannel, 0);
    EXPECT_EQ (feed.channelIndexByName.size(), 6u);
    EXPECT_EQ (feed.channelIndexByName.count ("Surround"), 0u);

    // Names are matched exactly.
    feed.setXChannel ("ls");
    EXPECT_EQ ((int) feed.xChannel, 0);
}

TEST (ScopeFeed, ShortReadIsZeroPaddedAndEmptiesTheFifo)
{
    ScopeFeed feed;
    feed.setXChannel ("LS");
    feed.setYChannel ("RS");
    feed.fifo->write (numberedBlock (40));
    ASSERT_EQ (feed.fifo->getNumReady(), 40);

    // Stale content and a wrong shape in the output must not survive the read.
    juce::AudioBuffer<float> xy (3, 10);
    for (int ch = 0; ch < 3; ++ch)
        juce::FloatVectorOperations::fill (xy.getWritePointer (ch), 9.0f, 10);

    feed.readLatest (xy, 64);
    ASSERT_EQ (xy.getNumChannels(), 2);
    ASSERT_EQ (xy.getNumSamples(), 64);
    for (int f = 0; f < 40; ++f)
    {
        EXPECT_EQ (xy.getSample (0, f), numbered (4, f)) << f;
        EXPECT_EQ (xy.getSample (1, f), numbered (5, f)) << f;
    }
    for (int f = 40; f < 64; ++f)
    {
        EXPECT_EQ (xy.getSample (0, f), 0.0f) << f;
        EXPECT_EQ (xy.getSample (1, f), 0.0f) << f;
    }
    EXPECT_EQ (feed.fifo->getNumReady(), 0);

    // Nothing left: a further read is silent, not a repeat of the last frames.
    feed.readLatest (xy, 64);
    EXPECT_EQ (xy.getMagnitude (0, 64), 0.0f);
}

TEST (ScopeFeed, UnreadFifoSaturatesAndKeepsTheOldestFrames)
{
    ScopeFeed feed;
    const int blockSize = 512;
    const int capacity = ScopeFeed::fifoCapacity - 1;

    // One second at 48 kHz with nobody reading.
    int written = 0;
    for (; written < 48000; written += blockSize)
        feed.fifo->write (numberedBlock (blockSize, written));
    EXPECT_EQ (feed.fifo->getNumReady(), capacity);

    juce::AudioBuffer<float> xy;
    feed.readLatest (xy, 64);
    for (int f = 0; f < 64; ++f)
        ASSERT_EQ (xy.getSample (0, f), numbered (0, f)) << f;

    // The next block only fills the 64 frames just freed; the rest is dropped.
    feed.fifo->write (numberedBlock (blockSize, written));
    EXPECT_EQ (feed.fifo->getNumReady(), capacity);

    // Catching up in one read: the old frames in order, then the late block's head.
    feed.readLatest (xy, capacity);
    const int oldFrames = capacity - 64;
    for (int i = 0; i < oldFrames; ++i)
        ASSERT_EQ (xy.getSample (0, i), numbered (0, 64 + i)) << i;
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ (xy.getSample (0, oldFrames + i), numbered (0, written + i)) << i;
    EXPECT_EQ (feed.fifo->getNumReady(), 0);
}
