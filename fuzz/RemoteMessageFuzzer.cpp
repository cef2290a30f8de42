// Feeds arbitrary bytes to the remote-control object's receiving side: once as
// one received payload, and once as a connection's byte stream, every frame
// of which goes to the same handler.

#include "DiagnosticPrinter.h"
#include "OVRAWireFraming.h"
#include "ZELOSCStandalone.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // A fresh object per input (no server is started), so a crash replays alone.
    ZELOSCStandalone remote;

    remote.handleMessageBlock (juce::MemoryBlock (data, size), 1);

    juce::MemoryInputStream stream (data, size, false);
    const auto read = [&stream] (void* dest, int numBytes) { return stream.read (dest, numBytes); };
    juce::MemoryBlock payload;

    for (;;)
    {
        const auto result = OVRAWireFraming::readNext (read, payload);

        if (result == OVRAWireFraming::ReadResult::message)
            remote.handleMessageBlock (payload, 1);
        else if (result != OVRAWireFraming::ReadResult::skipped)
            break;
    }

    // The printer thread frees the texts it has written; once it has caught
    // up, the input's allocations are balanced and libFuzzer skips its leak
    // check, which would otherwise run after every input.
    DiagnosticPrinter::waitUntilWritten (1000);
    return 0;
}
