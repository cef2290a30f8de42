#pragma once

#include "Slots.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <atomic>
#include <initializer_list>

/** A six-channel sample FIFO for one writer thread and one or two reader
    threads, without locks. Each reader has its own read position and
    overlap; every frame written reaches every reader.

    A read copies up to n of the oldest frames but consumes only
    floor ((1 - overlap) * copied) of them, so reads of a fixed length give
    sliding windows: with overlap 0.75 a 400 ms window advances by 100 ms.

        OVRAAudioFifo fifo (4 * window, 0.75f);
        fifo.write (block);                          // audio thread
        if (fifo.getNumReady() >= window)
            fifo.read (windowBuffer, window);        // reader thread

    A reader holds at most capacity - 1 frames, and the writer never overtakes
    the reader furthest behind: a write that does not fit keeps the head of
    the block and drops its tail for all readers. FIFO channels that a source
    does not have receive silence, so a change of channel count never replays
    old data. Calls without a reader index are reader 0's.
*/
class OVRAAudioFifo
{
public:
    static constexpr int numChannels = Slots::count;
    static constexpr int maxReaders = 2;

    /** One reader. */
    OVRAAudioFifo (int capacityInFrames, float overlapFraction);

    /** One reader for each overlap given (at most maxReaders). */
    OVRAAudioFifo (int capacityInFrames, std::initializer_list<float> readerOverlaps);

    //==============================================================================
    /** Appends every frame of the source (at most six channels). Writer thread. */
    void write (const juce::AudioBuffer<float>& source) noexcept;

    /** write() without a source: fill (store, start1, size1, start2, size2)
        writes all six channels of the store's runs start1..start1 + size1 and
        start2..start2 + size2, which take the first size1 + size2 of
        numFrames frames (all of them unless the FIFO is full); the frames
        become readable when it returns. Writer thread. */
    template <typename Filler>
    void writeInPlace (int numFrames, Filler&& fill) noexcept
    {
        int start1, size1, start2, size2;
        prepareToWrite (juce::jmax (0, numFrames), start1, size1, start2, size2);

        if (size1 + size2 <= 0)
            return;

        fill (store, start1, size1, start2, size2);
        finishedWrite (size1 + size2);
    }

    /** Frames that can be written without dropping any. Writer thread. */
    int getFreeSpace() const noexcept;

    /** Copies up to n of the oldest frames (never more than the destination
        holds) into the destination's channels, zero-filling what is missing,
        then consumes the overlap's share of the frames copied. Reader thread. */
    void read (juce::AudioBuffer<float>& destination, int numFrames) noexcept;

    /** read() without the copy: hands the reader's oldest frames, up to
        numFrames, over in place as visit (store, start1, size1, start2,
        size2), the store's six channels holding them in the runs
        start1..start1 + size1 and start2..start2 + size2 in that order, then
        consumes the overlap's share of them. The runs are valid only during
        the call. Reader thread. */
    template <typename Visitor>
    void readInPlace (int reader, int numFrames, Visitor&& visit) noexcept
    {
        int start1, size1, start2, size2;
        prepareToRead (reader, juce::jmax (0, numFrames), start1, size1, start2, size2);
        visit (static_cast<const juce::AudioBuffer<float>&> (store), start1, size1, start2, size2);
        consumeAfterReading (reader, size1 + size2);
    }

    template <typename Visitor>
    void readInPlace (int numFrames, Visitor&& visit) noexcept
    {
        readInPlace (0, numFrames, std::forward<Visitor> (visit));
    }

    /** Frames a reader currently holds. Any thread. */
    int getNumReady (int reader = 0) const noexcept;

    /** Empties the FIFO. Not safe while any side runs on another thread. */
    void reset() noexcept;

    //==============================================================================
    /** Where the writer will put its next frame. Any thread may ask; it pairs
        with discardUpTo to empty the FIFO from a reader's side. */
    int getWritePosition() const noexcept;

    /** Reader thread: drops every frame the reader holds before the given
        write position (as returned by getWritePosition), keeping frames
        written after it. Does nothing when the reader has already passed
        that position. */
    void discardUpTo (int reader, int writePosition) noexcept;
    void discardUpTo (int writePosition) noexcept { discardUpTo (0, writePosition); }

    int getCapacity() const noexcept { return capacity; }
    float getOverlap (int reader = 0) const noexcept { return overlaps[(size_t) reader]; }

private:
    const int capacity;
    const int numReaders;
    juce::AudioBuffer<float> store;
    std::array<float, maxReaders> overlaps {};

    // Each index is written only by its own side and read by the others.
    std::atomic<int> writeIndex { 0 };
    std::array<std::atomic<int>, maxReaders> readIndices {};

    void prepareToWrite (int numFrames, int& start1, int& size1, int& start2, int& size2) const noexcept;
    void finishedWrite (int numFrames) noexcept;
    void prepareToRead (int reader, int numFrames, int& start1, int& size1, int& start2,
                        int& size2) const noexcept;
    void advanceRead (int reader, int numFrames) noexcept;
    void consumeAfterReading (int reader, int numFramesRead) noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAAudioFifo)
};
