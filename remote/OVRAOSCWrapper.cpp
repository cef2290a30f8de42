#include "OVRAOSCWrapper.h"

#include <ip/IpEndpointName.h>

#include <cstring>
#include <iostream>

namespace
{
/** oscpack 1.1.0 steps through a bundle by 4 + each element's size, so an
    element size of -4 makes it loop for ever and a smaller one walks back out
    of the buffer. Such sizes are found here, nested bundles included, before
    oscpack sees the packet; everything else it checks itself. */
bool hasNegativeBundleElementSize (const char* data, std::ptrdiff_t size)
{
    constexpr std::ptrdiff_t bundleHeaderSize = 16; // "#bundle\0" and the time tag

    if (size < bundleHeaderSize || std::memcmp (data, "#bundle", 8) != 0)
        return false;

    const char* element = data + bundleHeaderSize;
    const char* const end = data + size;

    while (end - element >= 4)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*> (element);
        const auto elementSize = (int32_t) (((uint32_t) bytes[0] << 24) | ((uint32_t) bytes[1] << 16)
                                            | ((uint32_t) bytes[2] << 8) | (uint32_t) bytes[3]);
        element += 4;

        if (elementSize < 0)
            return true;

        if (elementSize > end - element)
            return false;

        if (hasNegativeBundleElementSize (element, elementSize))
            return true;

        element += elementSize;
    }

    return false;
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

        if (hasNegativeBundleElementSize (data, (std::ptrdiff_t) message.getSize()))
            throw osc::MalformedBundleException ("negative bundle element size");

        ProcessPacket (data, (int) message.getSize(), IpEndpointName());
    }
    catch (const osc::Exception& e)
    {
        // Argument errors are caught per message; this is a packet or bundle
        // that cannot be parsed at all.
        std::cout << "error while parsing packet: " << e.what() << "\n" << std::flush;
    }
}
