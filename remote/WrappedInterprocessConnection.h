#pragma once

#include "OVRASocketConnectionWrapper.h"

#include <deque>

/** One accepted client of the remote-control server. Its own thread reads
    framed messages and hands each payload to the owner; outgoing frames wait
    in a bounded backlog that the owner's writer thread drains without
    blocking.

    A read error, a closed peer, a frame above the payload limit or a write
    error closes the socket and reports the loss to the owner once; then the
    object is finished, and the owner's writer thread deletes it. Deleting
    the object closes it without a report.
*/
class OVRASocketConnectionWrapper::WrappedInterprocessConnection : public juce::Thread
{
public:
    WrappedInterprocessConnection (OVRASocketConnectionWrapper& owner, int connectionId,
                                   std::unique_ptr<juce::StreamingSocket> socket);
    ~WrappedInterprocessConnection() override;

    //==============================================================================
    int getConnectionId() const noexcept { return connectionId; }

    /** Reports the connection to the owner and starts reading. */
    void start();

    /** False once the socket has been closed, for whatever reason, or the
        client has closed its end and everything it sent has been read. Any
        thread; takes the connection's locks. */
    bool isOpen() const;

    /** True once the loss has been reported and nothing of this object is
        used any more but its thread's last return: it may be deleted. */
    bool hasFinished() const noexcept { return finished; }

    /** Queues one frame; false when the connection is closed or has fallen
        too far behind (it is then closed by the next flush). */
    bool queueFrame (std::shared_ptr<const juce::MemoryBlock> frame);

    /** Writes as much of the backlog as the socket takes without waiting;
        true when bytes remain. Writer thread only. */
    bool flushBacklog();

private:
    //==============================================================================
    void run() override;
    void finish();
    void connectionMade();
    void connectionLost();
    void messageReceived (const juce::MemoryBlock& message);

    int writeSome (const void* data, size_t numBytes);
    void closeSocket();

    OVRASocketConnectionWrapper& owner;
    const int connectionId;

    // Guards closing against writes, so a write never lands on a reused handle.
    juce::CriticalSection socketLock;
    std::unique_ptr<juce::StreamingSocket> socket;

    juce::CriticalSection backlogLock;
    std::deque<std::shared_ptr<const juce::MemoryBlock>> backlog;
    size_t frontBytesWritten = 0;
    bool open = true;

    std::atomic<bool> fellBehind { false };
    std::atomic<bool> lossReported { false };
    std::atomic<bool> finished { false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrappedInterprocessConnection)
};
