#include "OVRAAudioFifo.h"

#include <gtest/gtest.h>

namespace
{
/** Frame i of channel ch carries a value unique to both, so any misplaced,
    reordered or stale sample shows. */
float frameValue (int channel, int frame) { return (float) (channel * 1000000 + frame + 1); }

juce::AudioBuffer<float> numberedBlock (int numChannels, int firstFrame, int numFrames)
{
    juce::AudioBuffer<float> block (numChannels, numFrames);
    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numFrames; ++i)
            block.setSample (ch, i, frameValue (ch, firstFrame + i));
    return block;
}

/** Checks that frames [0, count) of every destination channel are the numbered
    frames starting at firstFrame and that the rest of each channel is zero. */
void expectFrames (const juce::AudioBuffer<float>& destination, int firstFrame, int count)
{
    for (int ch = 0; ch < destination.getNumChannels(); ++ch)
        for (int i = 0; i < destination.getNumSamples(); ++i)
        {
            const float expected = i < count ? frameValue (ch, firstFrame + i) : 0.0f;
            ASSERT_EQ (destination.getSample (ch, i), expected) << "channel " << ch << ", frame " << i;
        }
}

juce::AudioBuffer<float> filledDestination (int numChannels, int numFrames)
{
    juce::AudioBuffer<float> destination (numChannels, numFrames);
    for (int ch = 0; ch < numChannels; ++ch)
        juce::FloatVectorOperations::fill (destination.getWritePointer (ch), -5.0f, numFrames);
    return destination;
}
} // namespace

TEST (OVRAAudioFifo, HoldsOneFrameLessThanItsCapacityAndDropsTheTailOfAWriteThatDoesNotFit)
{
    OVRAAudioFifo fifo (16384, 0.0f);
    fifo.write (numberedBlock (6, 0, 20000));
    EXPECT_EQ (fifo.getNumReady(), 16383);

    auto destination = filledDestination (6, 16383);
    fifo.read (destination, 16383);
    expectFrames (destination, 0, 16383);
    EXPECT_EQ (fifo.getNumReady(), 0);

    // A full FIFO takes nothing more, and the frames it holds stay intact.
    fifo.write (numberedBlock (6, 0, 16383));
    fifo.write (numberedBlock (6, 50000, 100));
    EXPECT_EQ (fifo.getNumReady(), 16383);
    fifo.read (destination, 16383);
    expectFrames (destination, 0, 16383);
}

TEST (OVRAAudioFifo, ShortReadsAreZeroFilledAndConsumeTheOverlapShareOfWhatWasCopied)
{
    {
        OVRAAudioFifo fifo (1024, 0.0f);
        fifo.write (numberedBlock (6, 0, 10));
        auto destination = filledDestination (6, 64);
        fifo.read (destination, 64);
        expectFrames (destination, 0, 10);
        EXPECT_EQ (fifo.getNumReady(), 0);
    }
    {
        // The advance follows the ten frames copied, not the 64 asked for.
        OVRAAudioFifo fifo (1024, 0.75f);
        fifo.write (numberedBlock (6, 0, 10));
        auto destination = filledDestination (6, 64);
        fifo.read (destination, 64);
        expectFrames (destination, 0, 10);
        EXPECT_EQ (fifo.getNumReady(), 10 - 2);
    }
    {
        // Nothing ready: the destination is cleared and nothing moves.
        OVRAAudioFifo fifo (1024, 0.75f);
        auto destination = filledDestination (6, 64);
        fifo.read (destination, 64);
        expectFrames (destination, 0, 0);
        EXPECT_EQ (fifo.getNumReady(), 0);
    }
    {
        // A destination shorter than the request gets what it can hold, and
        // only that much is consumed; the rest waits for the next read.
        OVRAAudioFifo fifo (1024, 0.0f);
        fifo.write (numberedBlock (6, 0, 20));
        auto destination = filledDestination (6, 8);
        fifo.read (destination, 64);
        expectFrames (destination, 0, 8);
        EXPECT_EQ (fifo.getNumReady(), 12);
        fifo.read (destination, 64);
        expectFrames (destination, 8, 8);
    }
}

TEST (OVRAAudioFifo, OverlappingReadsSlideByTheHop)
{
    {
        OVRAAudioFifo fifo (4 * 4800, 0.75f);
        fifo.write (numberedBlock (6, 0, 9600));
        auto destination = filledDestination (6, 4800);

        fifo.read (destination, 4800);
        expectFrames (destination, 0, 4800);
        fifo.read (destination, 4800);
        expectFrames (destination, 1200, 4800);
        EXPECT_EQ (fifo.getNumReady(), 7200);
    }
    {
        // 1.0f - 0.8f lies just below 0.2, so a 3 s window at 48 kHz slides by
        // one frame less than a fifth.
        const int window = 144000;
        OVRAAudioFifo fifo (4 * window, 0.8f);
        fifo.write (numberedBlock (1, 0, 2 * window));
        juce::AudioBuffer<float> destination (1, window);

        fifo.read (destination, window);
        EXPECT_EQ (destination.getSample (0, 0), frameValue (0, 0));
        fifo.read (destination, window);
        EXPECT_EQ (destination.getSample (0, 0), frameValue (0, 28799));
        EXPECT_EQ (destination.getSample (0, window - 1), frameValue (0, 28799 + window - 1));
        EXPECT_EQ (fifo.getNumReady(), 2 * window - 2 * 28799);
    }
}

TEST (OVRAAudioFifo, FramesStayInOrderAcrossTheEndOfTheRing)
{
    OVRAAudioFifo fifo (100, 0.0f);
    auto destination = filledDestination (6, 70);
    fifo.write (numberedBlock (6, 0, 70));
    fifo.read (destination, 70);

    // The next 60 frames go 30 to the end of the store and 30 to its start.
    fifo.write (numberedBlock (6, 70, 60));
    EXPECT_EQ (fifo.getNumReady(), 60);

    // Read them in two overlapping pieces that each cross the seam.
    auto first = filledDestination (6, 40);
    fifo.read (first, 40);
    expectFrames (first, 70, 40);

    auto second = filledDestination (6, 40);
    fifo.read (second, 40);
    expectFrames (second, 110, 20);
}

TEST (OVRAAudioFifo, TwoReadersEachSeeEveryFrameAtTheirOwnPace)
{
    OVRAAudioFifo fifo (100, { 0.0f, 0.5f });

    // Reads up to n frames of a reader in place, checking each channel's
    // frames against the numbered ones from firstFrame on; returns the count.
    const auto readFrames = [&fifo] (int reader, int n, int firstFrame) {
        int seen = 0;
        fifo.readInPlace (
            reader, n,
            [&] (const juce::AudioBuffer<float>& store, int start1, int size1, int start2, int size2) {
                for (int ch = 0; ch < 6; ++ch)
                    for (int i = 0; i < size1 + size2; ++i)
                        ASSERT_EQ (store.getSample (ch, i < size1 ? start1 + i : start2 + i - size1),
                                   frameValue (ch, firstFrame + i))
                            << "reader " << reader << ", channel " << ch << ", frame " << i;
                seen = size1 + size2;
            });
        return seen;
    };

    fifo.write (numberedBlock (6, 0, 60));
    EXPECT_EQ (readFrames (0, 60, 0), 60);
    EXPECT_EQ (fifo.getNumReady (1), 60);
    EXPECT_EQ (fifo.getNumReady (0), 0);

    // The writer never overtakes the reader furthest behind: of 50 frames
    // only 39 fit, for both readers alike.
    EXPECT_EQ (fifo.getFreeSpace(), 39);
    fifo.write (numberedBlock (6, 60, 50));
    EXPECT_EQ (fifo.getNumReady (1), 99);
    EXPECT_EQ (fifo.getNumReady (0), 39);

    // Each reader consumes its own overlap's share, across the seam too.
    EXPECT_EQ (readFrames (1, 40, 0), 40);
    EXPECT_EQ (fifo.getNumReady (1), 79);
    EXPECT_EQ (readFrames (0, 50, 60), 39);
    EXPECT_EQ (fifo.getNumReady (0), 0);
    fifo.write (numberedBlock (6, 99, 15));
    EXPECT_EQ (readFrames (0, 15, 99), 15);
    EXPECT_EQ (readFrames (1, 94, 20), 94);

    // Discarding for one reader leaves the other's frames alone.
    fifo.discardUpTo (1, fifo.getWritePosition());
    EXPECT_EQ (fifo.getNumReady (1), 0);
    fifo.write (numberedBlock (6, 114, 10));
    fifo.discardUpTo (0, fifo.getWritePosition());
    EXPECT_EQ (fifo.getNumReady (1), 10);
    EXPECT_EQ (fifo.getNumReady (0), 0);
}

TEST (OVRAAudioFifo, ChannelCountsOfSourceAndDestinationMayDiffer)
{
    OVRAAudioFifo fifo (1000, 0.5f);

    // A two-channel destination receives only its own channels; the advance
    // is the same as for six.
    fifo.write (numberedBlock (6, 0, 100));
    auto pair = filledDestination (2, 100);
    fifo.read (pair, 100);
    expectFrames (pair, 0, 100);
    EXPECT_EQ (fifo.getNumReady(), 50);

    // A destination wider than six channels gets silence beyond the sixth.
    auto wide = filledDestination (8, 10);
    fifo.read (wide, 10);
    for (int ch = 0; ch < 6; ++ch)
        EXPECT_EQ (wide.getSample (ch, 0), frameValue (ch, 50));
    for (int ch = 6; ch < 8; ++ch)
        EXPECT_EQ (wide.getMagnitude (ch, 0, 10), 0.0f);

    // A two-channel source leaves silence, not the stale frames of an earlier
    // six-channel write, in the channels it does not have.
    OVRAAudioFifo ring (64, 0.0f);
    auto all = filledDestination (6, 40);
    ring.write (numberedBlock (6, 0, 40));
    ring.read (all, 40);
    ring.write (numberedBlock (6, 40, 20));
    ring.write (numberedBlock (2, 60, 40)); // lands where the first write left frames
    ring.read (all, 20);
    ring.read (all, 40);
    for (int ch = 0; ch < 6; ++ch)
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ (all.getSample (ch, i), ch < 2 ? frameValue (ch, 60 + i) : 0.0f);
}

TEST (OVRAAudioFifo, DiscardUpToAWritePositionKeepsOnlyLaterFrames)
{
    OVRAAudioFifo fifo (100, 0.0f);
    auto destination = filledDestination (6, 40);

    // Move the ring's indices near the end so the discard crosses the seam.
    fifo.write (numberedBlock (6, 0, 80));
    fifo.read (destination, 40);
    fifo.read (destination, 40);

    fifo.write (numberedBlock (6, 80, 30));
    const int position = fifo.getWritePosition();
    fifo.write (numberedBlock (6, 110, 25));

    fifo.discardUpTo (position);
    EXPECT_EQ (fifo.getNumReady(), 25);
    fifo.read (destination, 40);
    expectFrames (destination, 110, 25);

    // A position the reader has already passed discards nothing.
    fifo.write (numberedBlock (6, 135, 10));
    fifo.discardUpTo (position);
    EXPECT_EQ (fifo.getNumReady(), 10);

    // The position of an empty FIFO empties nothing that comes after it.
    fifo.reset();
    EXPECT_EQ (fifo.getNumReady(), 0);
    const int start = fifo.getWritePosition();
    fifo.write (numberedBlock (6, 0, 5));
    fifo.discardUpTo (start);
    EXPECT_EQ (fifo.getNumReady(), 5);
    fifo.discardUpTo (fifo.getWritePosition());
    EXPECT_EQ (fifo.getNumReady(), 0);
}
