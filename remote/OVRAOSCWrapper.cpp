#include "OVRAOSCWrapper.h"

#include <ip/IpEndpointName.h>

#include <iostream>

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
        ProcessPacket (static_cast<const char*> (message.getData()), (int) message.getSize(),
                       IpEndpointName());
    }
    catch (const osc::Exception& e)
    {
        // Argument errors are caught per message; this is a packet or bundle
        // that cannot be parsed at all.
        std::cout << "error while parsing packet: " << e.what() << "\n" << std::flush;
    }
}
