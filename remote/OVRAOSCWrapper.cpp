#include "OVRAOSCWrapper.h"

#include "DiagnosticPrinter.h"

#include <ip/IpEndpointName.h>

#include <cstring>

namespace
{
/** Why oscpack 1.1.0 must not parse a packet, or nullptr when it may.

    Its bundle parser steps by 4 + each element's size, so an element size of
    -4 makes it loop for ever and a smaller one walks back out of the buffer;
    and it reads past the packet on a blob whose size overruns it. No message
    of this link carries a blob, so packets with one are refused whole, and so
    are addresses padded with anything but zeros (see below). The rest
    (nested bundles included) oscpack checks itself. */
const char* reasonNotToParse (const char* data, std::ptrdiff_t size)
{
    constexpr std::ptrdiff_t bundleHeaderSize = 16; // "#bundle\0" and the time tag

    if (size >= bundleHeaderSize && std::memcmp (data, "#bundle", 8) == 0)
    {
        const char* element = data + bundleHeaderSize;
        const char* const end = data + size;

        while (end - element >= 4)
        {
            const auto* bytes = reinterpret_cast<const unsigned char*> (element);
            const auto elementSize = (int32_t) (((uint32_t) bytes[0] << 24) | ((uint32_t) bytes[1] << 16)
                                                | ((uint32_t) bytes[2] << 8) | (uint32_t) bytes[3]);
            element += 4;

            if (elementSize < 0)
                return "negative bundle element size";

            if (elementSize > end - element)
                return nullptr; // oscpack reports it as too short

            if (const auto* reason = reasonNotToParse (element, elementSize))
                return reason;

            element += elementSize;
        }

        return nullptr;
    }

    // A message: the type tags follow the address, padded to four bytes.
    const auto* addressEnd = static_cast<const char*> (std::memchr (data, 0, (size_t) size));

    if (addressEnd == nullptr)
        return nullptr;

    const std::ptrdiff_t tagsStart = ((addressEnd - data) + 4) & ~(std::ptrdiff_t) 3;

    // oscpack finds the end of a string by its last padding byte alone, so
    // a string padded with anything but zeros would put the type tags
    // somewhere else for oscpack than here.
    for (auto* pad = addressEnd; pad < data + juce::jmin (tagsStart, (std::ptrdiff_t) size); ++pad)
        if (*pad != 0)
            return "address not padded with zeros";

    if (tagsStart < size && data[tagsStart] == ',')
    {
        const auto* tags = data + tagsStart;
        const auto* tagsEnd = static_cast<const char*> (std::memchr (tags, 0, (size_t) (size - tagsStart)));
        const auto numTags = (size_t) ((tagsEnd != nullptr ? tagsEnd : data + size) - tags);

        if (std::memchr (tags, 'b', numTags) != nullptr)
            return "blob arguments are not accepted";
    }

    return nullptr;
}
} // namespace

OVRAOSCWrapper::OVRAOSCWrapper() = default;

OVRAOSCWrapper::~OVRAOSCWrapper() = default;

//==============================================================================
juce::MemoryBlock OVRAOSCWrapper::getPacketData()
{
    char buffer[packetBufferSize];
    osc::OutboundPacketStream stream (buffer, sizeof (buffer));
    fillBundle (stream);
    return juce::MemoryBlock (stream.Data(), stream.Size());
}

void OVRAOSCWrapper::handleMessageBlock (const juce::MemoryBlock& message, int)
{
    try
    {
        const auto* data = static_cast<const char*> (message.getData());

        if (const auto* reason = reasonNotToParse (data, (std::ptrdiff_t) message.getSize()))
            throw osc::MalformedPacketException (reason);

        ProcessPacket (data, (int) message.getSize(), IpEndpointName());
    }
    catch (const osc::Exception& e)
    {
        // Argument errors are caught per message; this is a packet or bundle
        // that cannot be parsed at all.
        DiagnosticPrinter::print (std::string ("error while parsing packet: ") + e.what());
    }
}
