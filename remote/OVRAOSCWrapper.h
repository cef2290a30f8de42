#pragma once

#include "OVRASocketConnectionWrapper.h"

#include <osc/OscOutboundPacketStream.h>
#include <osc/OscPacketListener.h>

/** The OSC layer of the remote-control link: the broadcast payload is one
    OSC packet that a derived class writes in fillBundle, and every received
    payload is parsed as one OSC packet (bundles are unpacked in order and
    each message goes to ProcessMessage).

    A packet that oscpack rejects as a whole is reported on standard output
    and discarded; the connection carries on.
*/
class OVRAOSCWrapper : public OVRASocketConnectionWrapper, public osc::OscPacketListener
{
public:
    /** Room for the largest packet ever sent. */
    static constexpr int packetBufferSize = 4096;

    OVRAOSCWrapper();
    ~OVRAOSCWrapper() override;

    //==============================================================================
    /** The packet that fillBundle writes. */
    juce::MemoryBlock getPacketData() override;

    /** Parses one received payload as an OSC packet. */
    void handleMessageBlock (const juce::MemoryBlock& message, int connectionId) override;

    /** Writes the whole broadcast packet. */
    virtual void fillBundle (osc::OutboundPacketStream& stream) = 0;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAOSCWrapper)
};
