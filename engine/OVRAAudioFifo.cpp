#include "OVRAAudioFifo.h"

OVRAAudioFifo::OVRAAudioFifo (int capacityInFrames, float overlapFraction)
    : positions (capacityInFrames)
    , store (numChannels, capacityInFrames)
    , overlap (overlapFraction)
{
    store.clear();
}

void OVRAAudioFifo::write (const juce::AudioBuffer<float>& source) noexcept
{
    const auto scope = positions.write (source.getNumSamples());
    const int channels = juce::jmin (source.getNumChannels(), numChannels);

    for (int ch = 0; ch < channels; ++ch)
    {
        if (scope.blockSize1 > 0)
            store.copyFrom (ch, scope.startIndex1, source, ch, 0, scope.blockSize1);
        if (scope.blockSize2 > 0)
            store.copyFrom (ch, scope.startIndex2, source, ch, scope.blockSize1, scope.blockSize2);
    }
}

void OVRAAudioFifo::read (juce::AudioBuffer<float>& destination, int numFrames) noexcept
{
    int start1, size1, start2, size2;
    positions.prepareToRead (juce::jmax (0, numFrames), start1, size1, start2, size2);

    destination.clear();
    const int channels = juce::jmin (destination.getNumChannels(), numChannels);
    const int room = destination.getNumSamples();

    for (int ch = 0; ch < channels; ++ch)
    {
        const int n1 = juce::jmin (size1, room);
        const int n2 = juce::jmin (size2, room - n1);
        if (n1 > 0)
            destination.copyFrom (ch, 0, store, ch, start1, n1);
        if (n2 > 0)
            destination.copyFrom (ch, n1, store, ch, start2, n2);
    }

    // In single precision on purpose: 1.0f - 0.8f is just below 0.2, so a
    // 144000-frame window advances by 28799 frames, not 28800.
    const float keep = 1.0f - overlap;
    const int advance = (int) std::floor (keep * (float) (size1 + size2));
    positions.finishedRead (advance);
}

int OVRAAudioFifo::getWritePosition() const noexcept
{
    int start1, size1, start2, size2;
    positions.prepareToWrite (0, start1, size1, start2, size2);
    return start1;
}

void OVRAAudioFifo::discardUpTo (int writePosition) noexcept
{
    int start1, size1, start2, size2;
    positions.prepareToRead (0, start1, size1, start2, size2);

    const int capacity = positions.getTotalSize();
    const int toDiscard = ((writePosition - start1) % capacity + capacity) % capacity;
    positions.finishedRead (juce::jmin (toDiscard, positions.getNumReady()));
}
