#pragma once

#include <juce_core/juce_core.h>

/** Raw bytes for the tests of the framed transport. */
namespace WireTestBytes
{
/** A frame header as it goes on the wire: magic number and payload length,
    each little-endian, whatever their values. */
inline juce::MemoryBlock header (juce::uint32 magic, juce::uint32 length)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.writeInt ((int) magic);
    out.writeInt ((int) length);
    out.flush();
    return block;
}
} // namespace WireTestBytes
