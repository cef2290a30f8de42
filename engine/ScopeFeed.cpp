#include "ScopeFeed.h"

ScopeFeed::ScopeFeed() : fifo (std::make_unique<OVRAAudioFifo> (fifoCapacity, 0.0f))
{
    for (int slot = 0; slot < Slots::count; ++slot)
        channelIndexByName.emplace (Slots::names[(size_t) slot], slot);
}

ScopeFeed::~ScopeFeed() = default;

//==============================================================================
int ScopeFeed::slotForName (const juce::String& name) const
{
    // find, never operator[]: inserting would change the map under a reader.
    const auto it = channelIndexByName.find (name);
    return it != channelIndexByName.end() ? it->second : 0;
}

void ScopeFeed::setXChannel (const juce::String& name) { xChannel = slotForName (name); }

void ScopeFeed::setYChannel (const juce::String& name) { yChannel = slotForName (name); }

void ScopeFeed::readLatest (juce::AudioBuffer<float>& output, int numFrames)
{
    numFrames = juce::jmax (0, numFrames);

    if (output.getNumChannels() != 2 || output.getNumSamples() != numFrames)
        output.setSize (2, numFrames);
    output.clear();

    if (scratch.getNumChannels() != OVRAAudioFifo::numChannels || scratch.getNumSamples() != numFrames)
        scratch.setSize (OVRAAudioFifo::numChannels, numFrames);
    scratch.clear();

    fifo->read (scratch, numFrames);

    // Each slot is read once, so a pick made meanwhile applies to a whole block.
    const int x = juce::jlimit (0, OVRAAudioFifo::numChannels - 1, xChannel.get());
    const int y = juce::jlimit (0, OVRAAudioFifo::numChannels - 1, yChannel.get());
    output.copyFrom (0, 0, scratch, x, 0, numFrames);
    output.copyFrom (1, 0, scratch, y, 0, numFrames);
}
