#include "OVRAWireFraming.h"

juce::MemoryBlock OVRAWireFraming::frame (const void* payload, size_t payloadSize)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.preallocate (headerSize + payloadSize);
    out.writeInt ((int) magicNumber); // little-endian, like the length
    out.writeInt ((int) (juce::uint32) payloadSize);
    out.write (payload, payloadSize);
    out.flush();
    return block;
}

juce::MemoryBlock OVRAWireFraming::frame (const juce::MemoryBlock& payload)
{
    return frame (payload.getData(), payload.getSize());
}

OVRAWireFraming::ReadResult OVRAWireFraming::readNext (const ReadFunction& read, juce::MemoryBlock& payload)
{
    char header[headerSize];

    if (read (header, headerSize) != headerSize)
        return ReadResult::ended;

    if (juce::ByteOrder::littleEndianInt (header) != magicNumber)
        return ReadResult::skipped;

    const auto size = juce::ByteOrder::littleEndianInt (header + 4);

    if (size == 0)
        return ReadResult::skipped;

    if (size > maxPayloadSize)
        return ReadResult::tooLarge;

    juce::MemoryBlock received ((size_t) size);

    // Delivering a half-read frame would hand zero padding to the parser as data.
    if (read (received.getData(), (int) size) != (int) size)
        return ReadResult::ended;

    payload = std::move (received);
    return ReadResult::message;
}
