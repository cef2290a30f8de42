#pragma once

#include "OVRASocketConnectionWrapper.h"
#include "RemoteEventLog.h"

#include <atomic>

/** The transport alone: broadcasts a payload numbered by sendNumbered and
    records what it hears. */
class RecordingConnectionWrapper : public OVRASocketConnectionWrapper
{
public:
    static constexpr size_t payloadSize = 1900;

    ~RecordingConnectionWrapper() override { stopServer(); }

    /** Broadcasts a payload whose first four bytes hold the number. */
    void sendNumbered (juce::uint32 number)
    {
        nextNumber = number;
        sendToAll();
    }

    static juce::uint32 numberOf (const juce::MemoryBlock& payload)
    {
        return juce::ByteOrder::littleEndianInt (payload.getData());
    }

    juce::MemoryBlock getPacketData() override
    {
        juce::MemoryBlock payload (payloadSize, true);
        const auto number = juce::ByteOrder::swapIfBigEndian (nextNumber.load());
        payload.copyFrom (&number, 0, sizeof (number));
        return payload;
    }

    void handleMessageBlock (const juce::MemoryBlock& message, int) override { events.received (message); }
    void connectionOpened (int id) override { events.opened (id); }
    void connectionClosed (int id) override { events.closed (id); }

    RemoteEventLog events;

private:
    std::atomic<juce::uint32> nextNumber { 0 };
};
