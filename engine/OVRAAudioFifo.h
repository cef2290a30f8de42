#pragma once

#include "Slots.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>

/** A six-channel sample FIFO for one writer thread and one reader thread,
    without locks.

    A read copies up to n of the oldest frames but consumes only
    floor ((1 - overlap) * copied) of them, so reads of a fixed length give
    sliding windows: with overlap 0.75 a 400 ms window advances by 100 ms.

        OVRAAudioFifo fifo (4 * window, 0.75f);
        fifo.write (block);                          // audio thread
        if (fifo.getNumReady() >= window)
            fifo.read (windowBuffer, window);        // reader thread

    At most capacity - 1 frames are held; a write that does not fit keeps the
    head of the block and drops its tail. FIFO channels that a source does not
    have receive silence, so a change of channel count never replays old data.
*/
class OVRAAudioFifo
{
public:
    static constexpr int numChannels = Slots::count;

    OVRAAudioFifo (int capacityInFrames, float overlapFraction);

    //==============================================================================
    /** Appends every frame of the source (at most six channels). Writer thread. */
    void write (const juce::AudioBuffer<float>& source) noexcept;

    /** Copies up to n of the oldest frames (never more than the destination
        holds) into the destination's channels, zero-filling what is missing,
        then consumes the overlap's share of the frames copied. Reader thread. */
    void read (juce::AudioBuffer<float>& destination, int numFrames) noexcept;

    /** read() without the copy: hands the oldest frames, up to numFrames,
        over in place as visit (store, start1, size1, start2, size2), the
        store's six channels holding them in the runs start1..start1 + size1
        and start2..start2 + size2 in that order, then consumes the overlap's
        share of them. The runs are valid only during the call. Reader thread. */
    template <typename Visitor>
    void readInPlace (int numFrames, Visitor&& visit) noexcept
    {
        int start1, size1, start2, size2;
        positions.prepareToRead (juce::jmax (0, numFrames), start1, size1, start2, size2);
        visit (static_cast<const juce::AudioBuffer<float>&> (store), start1, size1, start2, size2);
        consumeAfterReading (size1 + size2);
    }

    /** Frames currently held. Either thread. */
    int getNumReady() const noexcept { return positions.getNumReady(); }

    /** Empties the FIFO. Not safe while either side runs on another thread. */
    void reset() noexcept;

    //==============================================================================
    /** Where the writer will put its next frame. Any thread may ask; it pairs
        with discardUpTo to empty the FIFO from the reader's side. */
    int getWritePosition() const noexcept;

    /** Reader thread: drops every frame held before the given write position
        (as returned by getWritePosition), keeping frames written after it.
        Does nothing when the reader has already passed that position. */
    void discardUpTo (int writePosition) noexcept;

    int getCapacity() const noexcept { return positions.getTotalSize(); }
    float getOverlap() const noexcept { return overlap; }

private:
    juce::AbstractFifo positions;
    juce::AudioBuffer<float> store;
    const float overlap;

    // AbstractFifo does not expose its indices, so each side mirrors its own:
    // the writer publishes its index, the reader keeps its index to itself.
    std::atomic<int> writeIndex { 0 };
    int readIndex = 0;

    void advanceRead (int numFrames) noexcept;
    void consumeAfterReading (int numFramesRead) noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAAudioFifo)
};
