#include "LoopbackClient.h"

#include "OVRAWireFraming.h"

#include <sys/socket.h>

LoopbackClient::LoopbackClient (int port) { socket.connect ("127.0.0.1", port, waitLimitMs); }

void LoopbackClient::sendRaw (const void* data, size_t numBytes)
{
    auto* bytes = static_cast<const char*> (data);

    while (numBytes > 0)
    {
        // A server that has just dropped this client must fail the write, not
        // kill the test binary with SIGPIPE.
        const auto written = ::send (socket.getRawSocketHandle(), bytes, numBytes, MSG_NOSIGNAL);

        if (written <= 0)
            return;

        bytes += written;
        numBytes -= (size_t) written;
    }
}

void LoopbackClient::sendFrame (const void* payload, size_t numBytes)
{
    const auto frame = OVRAWireFraming::frame (payload, numBytes);
    sendRaw (frame.getData(), frame.getSize());
}

std::optional<juce::MemoryBlock> LoopbackClient::readFrame()
{
    const auto read = [this] (void* dest, int numBytes) -> int {
        if (socket.waitUntilReady (true, waitLimitMs) != 1)
            return -1;

        return socket.read (dest, numBytes, true);
    };

    juce::MemoryBlock payload;

    for (;;)
    {
        const auto result = OVRAWireFraming::readNext (read, payload);

        if (result == OVRAWireFraming::ReadResult::message)
            return payload;

        if (result != OVRAWireFraming::ReadResult::skipped)
            return std::nullopt;
    }
}

bool LoopbackClient::waitUntilClosedByServer()
{
    char buffer[4096];

    for (;;)
    {
        const auto ready = socket.waitUntilReady (true, waitLimitMs);

        if (ready == 0)
            return false;

        if (ready < 0) // reset by the server
            return true;

        if (socket.read (buffer, sizeof (buffer), false) <= 0)
            return true;
    }
}
