#include "OVRAAudioFifo.h"

OVRAAudioFifo::OVRAAudioFifo (int capacityInFrames, float overlapFraction)
    : OVRAAudioFifo (capacityInFrames, { overlapFraction })
{
}

OVRAAudioFifo::OVRAAudioFifo (int capacityInFrames, std::initializer_list<float> readerOverlaps)
    : capacity (juce::jmax (1, capacityInFrames))
    , numReaders (juce::jlimit (1, maxReaders, (int) readerOverlaps.size()))
    , store (numChannels, capacity)
{
    jassert (readerOverlaps.size() >= 1 && readerOverlaps.size() <= (size_t) maxReaders);
    std::copy_n (readerOverlaps.begin(), numReaders, overlaps.begin());
    store.clear();
}

//==============================================================================
void OVRAAudioFifo::write (const juce::AudioBuffer<float>& source) noexcept
{
    const int channels = juce::jmin (source.getNumChannels(), numChannels);

    writeInPlace (source.getNumSamples(),
                  [&] (juce::AudioBuffer<float>& frames, int start1, int size1, int start2, int size2) {
                      for (int ch = 0; ch < numChannels; ++ch)
                      {
                          if (ch < channels)
                          {
                              frames.copyFrom (ch, start1, source, ch, 0, size1);
                              if (size2 > 0)
                                  frames.copyFrom (ch, start2, source, ch, size1, size2);
                          }
                          else
                          {
                              frames.clear (ch, start1, size1);
                              if (size2 > 0)
                                  frames.clear (ch, start2, size2);
                          }
                      }
                  });
}

int OVRAAudioFifo::getFreeSpace() const noexcept
{
    int held = 0;

    for (int reader = 0; reader < numReaders; ++reader)
        held = juce::jmax (held, getNumReady (reader));

    return capacity - 1 - held;
}

void OVRAAudioFifo::prepareToWrite (int numFrames, int& start1, int& size1, int& start2,
                                    int& size2) const noexcept
{
    const int fits = juce::jmin (numFrames, getFreeSpace());
    start1 = writeIndex.load (std::memory_order_relaxed);
    size1 = juce::jmin (fits, capacity - start1);
    start2 = 0;
    size2 = fits - size1;
}

void OVRAAudioFifo::finishedWrite (int numFrames) noexcept
{
    // Release: a reader that sees the new index sees the frames behind it.
    writeIndex.store ((writeIndex.load (std::memory_order_relaxed) + numFrames) % capacity,
                      std::memory_order_release);
}

//==============================================================================
void OVRAAudioFifo::read (juce::AudioBuffer<float>& destination, int numFrames) noexcept
{
    // Consuming frames that the destination cannot hold would lose them unseen.
    const int wanted = juce::jlimit (0, destination.getNumSamples(), numFrames);

    readInPlace (wanted, [&destination] (const juce::AudioBuffer<float>& frames, int start1, int size1,
                                         int start2, int size2) {
        const int copied = size1 + size2;
        const int channels = juce::jmin (destination.getNumChannels(), numChannels);

        for (int ch = 0; ch < destination.getNumChannels(); ++ch)
        {
            if (ch < channels)
            {
                // Raw copies: AudioBuffer::copyFrom reads the store's "cleared"
                // flag, which the writer sets on every block.
                if (size1 > 0)
                    juce::FloatVectorOperations::copy (destination.getWritePointer (ch),
                                                       frames.getReadPointer (ch, start1), size1);
                if (size2 > 0)
                    juce::FloatVectorOperations::copy (destination.getWritePointer (ch, size1),
                                                       frames.getReadPointer (ch, start2), size2);
                if (copied < destination.getNumSamples())
                    destination.clear (ch, copied, destination.getNumSamples() - copied);
            }
            else
            {
                destination.clear (ch, 0, destination.getNumSamples());
            }
        }
    });
}

int OVRAAudioFifo::getNumReady (int reader) const noexcept
{
    // Acquire on both: whichever side asks sees the other's frames or space.
    const int written = writeIndex.load (std::memory_order_acquire);
    const int read = readIndices[(size_t) reader].load (std::memory_order_acquire);
    return (written - read + capacity) % capacity;
}

void OVRAAudioFifo::prepareToRead (int reader, int numFrames, int& start1, int& size1, int& start2,
                                   int& size2) const noexcept
{
    const int available = juce::jmin (numFrames, getNumReady (reader));
    start1 = readIndices[(size_t) reader].load (std::memory_order_relaxed);
    size1 = juce::jmin (available, capacity - start1);
    start2 = 0;
    size2 = available - size1;
}

void OVRAAudioFifo::consumeAfterReading (int reader, int numFramesRead) noexcept
{
    // In single precision on purpose: 1.0f - 0.8f is just below 0.2, so a
    // 144000-frame window advances by 28799 frames, not 28800.
    const float keep = 1.0f - overlaps[(size_t) reader];
    advanceRead (reader, (int) std::floor (keep * (float) numFramesRead));
}

void OVRAAudioFifo::reset() noexcept
{
    writeIndex.store (0, std::memory_order_relaxed);

    for (auto& index : readIndices)
        index.store (0, std::memory_order_relaxed);
}

int OVRAAudioFifo::getWritePosition() const noexcept { return writeIndex.load (std::memory_order_relaxed); }

void OVRAAudioFifo::discardUpTo (int reader, int writePosition) noexcept
{
    const int read = readIndices[(size_t) reader].load (std::memory_order_relaxed);
    const int distance = ((writePosition - read) % capacity + capacity) % capacity;

    // Frames between the read index and a position the writer has reached are
    // all held; a longer distance means the reader is already past it.
    if (distance <= getNumReady (reader))
        advanceRead (reader, distance);
}

void OVRAAudioFifo::advanceRead (int reader, int numFrames) noexcept
{
    if (numFrames <= 0)
        return;

    // Release: the writer reuses the frames only after they have been read.
    auto& index = readIndices[(size_t) reader];
    index.store ((index.load (std::memory_order_relaxed) + numFrames) % capacity, std::memory_order_release);
}
