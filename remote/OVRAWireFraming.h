#pragma once

#include <juce_core/juce_core.h>

#include <functional>

/** The framing of the remote-control link: every message on a TCP connection
    is an 8-byte header (magic number, payload length, both 32-bit
    little-endian) followed by the payload, one OSC packet.

    Writing is one call; reading takes a function that blocks until the asked
    number of bytes has arrived and returns how many it got, so that the same
    reader runs on a socket and on bytes in memory.

        auto frame = OVRAWireFraming::frame (payload);
        juce::MemoryBlock received;
        if (OVRAWireFraming::readNext (readFromSocket, received) == OVRAWireFraming::ReadResult::message)
            handle (received);
*/
class OVRAWireFraming
{
public:
    static constexpr juce::uint32 magicNumber = 0xf2b49e2c;
    static constexpr int headerSize = 8;

    /** Incoming messages are a few dozen bytes; anything above this is taken
        as a broken or hostile peer rather than allocated. */
    static constexpr juce::uint32 maxPayloadSize = 65536;

    /** Reads up to numBytes into dest, waiting until all have arrived; returns
        the number read, less than numBytes (or negative) when the stream ended
        or failed. */
    using ReadFunction = std::function<int (void* dest, int numBytes)>;

    enum class ReadResult
    {
        message, // a whole payload was read
        skipped, // a header with a wrong magic number or an empty payload: nothing to deliver
        ended,   // the stream ended or failed, possibly in the middle of a frame
        tooLarge // the header announced more than maxPayloadSize
    };

    //==============================================================================
    /** Header and payload in one block, ready to be written in one go. */
    static juce::MemoryBlock frame (const void* payload, size_t payloadSize);
    static juce::MemoryBlock frame (const juce::MemoryBlock& payload);

    /** Reads the next header and, when it is valid, its payload into payload.
        A header with a wrong magic number is skipped whole: the next eight
        bytes are read as the next header. payload is resized only for a
        message and never beyond maxPayloadSize. */
    static ReadResult readNext (const ReadFunction& read, juce::MemoryBlock& payload);

private:
    OVRAWireFraming() = delete;
};
