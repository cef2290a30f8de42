#pragma once

#include "LoopbackClient.h"
#include "RemoteEventLog.h"
#include "ZELOSCStandalone.h"

#include <gtest/gtest.h>
#include <osc/OscOutboundPacketStream.h>

/** The remote-control object with its reports recorded, so that a test can
    wait until a sent packet has been handled. */
class RecordingRemote : public ZELOSCStandalone
{
public:
    ~RecordingRemote() override { stopServer(); }

    void handleMessageBlock (const juce::MemoryBlock& message, int id) override
    {
        ZELOSCStandalone::handleMessageBlock (message, id);
        events.received (message);
    }

    void connectionOpened (int id) override
    {
        ZELOSCStandalone::connectionOpened (id);
        events.opened (id);
    }

    void connectionClosed (int id) override
    {
        ZELOSCStandalone::connectionClosed (id);
        events.closed (id);
    }

    /** Sends the packet and waits until this object has handled it. */
    bool sendAndWait (LoopbackClient& client, const juce::MemoryBlock& packet)
    {
        const auto before = events.getNumMessages();
        client.sendFrame (packet);
        return events.waitFor ([&] { return events.messages.size() > before; });
    }

    RemoteEventLog events;
};

/** The bytes of what an OSC stream holds. */
inline juce::MemoryBlock packetBytes (const osc::OutboundPacketStream& stream)
{
    return { stream.Data(), stream.Size() };
}

/** One OSC message with the given arguments. */
template <typename... Args>
juce::MemoryBlock oscMessage (const char* address, Args... args)
{
    char buffer[1024];
    osc::OutboundPacketStream stream (buffer, sizeof (buffer));
    stream << osc::BeginMessage (address);
    if constexpr (sizeof...(args) > 0)
        (stream << ... << args);
    stream << osc::EndMessage;
    return packetBytes (stream);
}
