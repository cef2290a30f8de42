#include "OVRAAudioFifo.h"

OVRAAudioFifo::OVRAAudioFifo (int capacityInFrames, float overlapFraction)
    : positions (juce::jmax (1, capacityInFrames))
    , store (numChannels, juce::jmax (1, capacityInFrames))
    , overlap (overlapFraction)
{
    store.clear();
}

void OVRAAudioFifo::write (const juce::AudioBuffer<float>& source) noexcept
{
    int start1, size1, start2, size2;
    positions.prepareToWrite (source.getNumSamples(), start1, size1, start2, size2);

    if (size1 + size2 <= 0)
        return;

    const int channels = juce::jmin (source.getNumChannels(), numChannels);

    for (int ch = 0; ch < numChannels; ++ch)
    {
        if (ch < channels)
        {
            store.copyFrom (ch, start1, source, ch, 0, size1);
            if (size2 > 0)
                store.copyFrom (ch, start2, source, ch, size1, size2);
        }
        else
        {
            store.clear (ch, start1, size1);
            if (size2 > 0)
                store.clear (ch, start2, size2);
        }
    }

    positions.finishedWrite (size1 + size2);

    const int capacity = positions.getTotalSize();
    writeIndex.store ((writeIndex.load (std::memory_order_relaxed) + size1 + size2) % capacity,
                      std::memory_order_relaxed);
}

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

void OVRAAudioFifo::consumeAfterReading (int numFramesRead) noexcept
{
    // In single precision on purpose: 1.0f - 0.8f is just below 0.2, so a
    // 144000-frame window advances by 28799 frames, not 28800.
    const float keep = 1.0f - overlap;
    advanceRead ((int) std::floor (keep * (float) numFramesRead));
}

void OVRAAudioFifo::reset() noexcept
{
    positions.reset();
    writeIndex.store (0, std::memory_order_relaxed);
    readIndex = 0;
}

int OVRAAudioFifo::getWritePosition() const noexcept { return writeIndex.load (std::memory_order_relaxed); }

void OVRAAudioFifo::discardUpTo (int writePosition) noexcept
{
    const int capacity = positions.getTotalSize();
    const int distance = ((writePosition - readIndex) % capacity + capacity) % capacity;

    // Frames between the read index and a position the writer has reached are
    // all held; a longer distance means the reader is already past it.
    if (distance <= positions.getNumReady())
        advanceRead (distance);
}

void OVRAAudioFifo::advanceRead (int numFrames) noexcept
{
    if (numFrames <= 0)
        return;

    positions.finishedRead (numFrames);
    readIndex = (readIndex + numFrames) % positions.getTotalSize();
}
