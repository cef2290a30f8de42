#pragma once

#include <juce_core/juce_core.h>

#include <optional>

/** A remote-control client for the tests: a real TCP connection to
    127.0.0.1 that speaks the link's framing. */
class LoopbackClient
{
public:
    /** Generous bound on every wait, so a broken server fails a test instead
        of hanging it. */
    static constexpr int waitLimitMs = 20000;

    explicit LoopbackClient (int port);

    bool isConnected() const noexcept { return socket.isConnected(); }

    void sendRaw (const void* data, size_t numBytes);
    void sendFrame (const void* payload, size_t numBytes);
    void sendFrame (const juce::MemoryBlock& payload) { sendFrame (payload.getData(), payload.getSize()); }

    /** The next delivered payload; nothing when the server closed the
        connection or sent nothing within the wait limit. */
    std::optional<juce::MemoryBlock> readFrame();

    /** Reads and drops everything until the server closes the connection;
        false when it is still open after the wait limit. */
    bool waitUntilClosedByServer();

    void close() { socket.close(); }

private:
    juce::StreamingSocket socket;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LoopbackClient)
};
