#include "OVRAWireFraming.h"
#include "WireTestBytes.h"

#include <gtest/gtest.h>

using WireTestBytes::header;

namespace
{
/** Feeds bytes in memory to the frame reader as a socket would. */
struct MemorySource
{
    explicit MemorySource (const juce::MemoryBlock& bytes) : stream (bytes, true) {}

    OVRAWireFraming::ReadFunction reader()
    {
        return [this] (void* dest, int numBytes) { return stream.read (dest, numBytes); };
    }

    juce::MemoryInputStream stream;
};

juce::MemoryBlock bytesOf (const char* text) { return { text, std::strlen (text) }; }
} // namespace

TEST (OVRAWireFraming, FrameIsLittleEndianHeaderThenPayloadAndReadsBack)
{
    const auto payload = bytesOf ("/ping\0\0\0,\0\0\0");
    const auto frame = OVRAWireFraming::frame (payload);

    ASSERT_EQ (frame.getSize(), payload.getSize() + 8);
    const auto* bytes = static_cast<const juce::uint8*> (frame.getData());
    EXPECT_EQ (bytes[0], 0x2c);
    EXPECT_EQ (bytes[1], 0x9e);
    EXPECT_EQ (bytes[2], 0xb4);
    EXPECT_EQ (bytes[3], 0xf2);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (juce::uint32) payload.getSize());

    MemorySource source (frame);
    juce::MemoryBlock received;
    EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received), OVRAWireFraming::ReadResult::message);
    EXPECT_EQ (received, payload);
    EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received), OVRAWireFraming::ReadResult::ended);
}

TEST (OVRAWireFraming, WrongMagicSkipsOnlyItsHeaderAndEmptyFramesAreNotDelivered)
{
    const auto payload = bytesOf ("abcd");

    // The wrong header announces four bytes; they must not be swallowed, the
    // next eight bytes are the next header.
    juce::MemoryBlock stream;
    stream.append (header (0x12345678, 4).getData(), 8);
    stream.append (header (OVRAWireFraming::magicNumber, 0).getData(), 8);
    const auto frame = OVRAWireFraming::frame (payload);
    stream.append (frame.getData(), frame.getSize());

    MemorySource source (stream);
    juce::MemoryBlock received;
    EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received), OVRAWireFraming::ReadResult::skipped);
    EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received), OVRAWireFraming::ReadResult::skipped);
    EXPECT_TRUE (received.isEmpty());
    EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received), OVRAWireFraming::ReadResult::message);
    EXPECT_EQ (received, payload);
}

TEST (OVRAWireFraming, PayloadLimitIsEnforcedBeforeAnythingIsAllocated)
{
    for (const auto announced : { 0x7fffffffu, 0xffffffffu, OVRAWireFraming::maxPayloadSize + 1 })
    {
        // Only the header is there: a reader that tried to read the payload
        // would report the stream as ended instead.
        MemorySource source (header (OVRAWireFraming::magicNumber, announced));
        juce::MemoryBlock received;
        EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received),
                   OVRAWireFraming::ReadResult::tooLarge)
            << announced;
        EXPECT_TRUE (received.isEmpty());
    }

    juce::MemoryBlock largest (OVRAWireFraming::maxPayloadSize, true);
    largest[100] = 7;
    MemorySource source (OVRAWireFraming::frame (largest));
    juce::MemoryBlock received;
    EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received), OVRAWireFraming::ReadResult::message);
    EXPECT_EQ (received, largest);
}

TEST (OVRAWireFraming, TruncatedHeaderOrPayloadEndsWithoutDelivery)
{
    const auto frame = OVRAWireFraming::frame (bytesOf ("0123456789ab"));
    const juce::MemoryBlock previous = bytesOf ("kept");

    for (const size_t cut : { (size_t) 1, (size_t) 5, (size_t) 8, (size_t) 14, frame.getSize() - 1 })
    {
        MemorySource source (juce::MemoryBlock (frame.getData(), cut));
        auto received = previous;
        EXPECT_EQ (OVRAWireFraming::readNext (source.reader(), received), OVRAWireFraming::ReadResult::ended)
            << cut;
        EXPECT_EQ (received, previous) << cut;
    }
}
