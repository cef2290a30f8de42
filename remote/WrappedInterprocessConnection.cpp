#include "WrappedInterprocessConnection.h"

#include "OVRAWireFraming.h"

#include <cerrno>
#include <sys/socket.h>

OVRASocketConnectionWrapper::WrappedInterprocessConnection::WrappedInterprocessConnection (
    OVRASocketConnectionWrapper& ownerToUse, int id, std::unique_ptr<juce::StreamingSocket> socketToUse)
    : juce::Thread ("JUCE IPC")
    , owner (ownerToUse)
    , connectionId (id)
    , socket (std::move (socketToUse))
{
}

OVRASocketConnectionWrapper::WrappedInterprocessConnection::~WrappedInterprocessConnection()
{
    // A deliberate close is no loss: the owner hears nothing.
    lossReported = true;
    signalThreadShouldExit();
    closeSocket();
    stopThread (4000);
}

//==============================================================================
void OVRASocketConnectionWrapper::WrappedInterprocessConnection::start()
{
    connectionMade();

    // Without a thread to read with, the client is dropped as if it had left.
    if (! startThread())
        finish();
}

bool OVRASocketConnectionWrapper::WrappedInterprocessConnection::isOpen() const
{
    {
        const juce::ScopedLock sl (backlogLock);

        if (! open)
            return false;
    }

    // The reading thread may not have seen the client's close yet; a peek
    // sees it at once. Under the socket lock, so the handle is not closed
    // (and reused) meanwhile.
    const juce::ScopedLock sl (socketLock);

    if (! socket->isConnected())
        return false;

    char next = 0;
    const auto peeked = ::recv (socket->getRawSocketHandle(), &next, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked > 0 || (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

bool OVRASocketConnectionWrapper::WrappedInterprocessConnection::queueFrame (
    std::shared_ptr<const juce::MemoryBlock> frame)
{
    const juce::ScopedLock sl (backlogLock);

    if (! open || fellBehind)
        return false;

    if ((int) backlog.size() >= maxBacklogFrames)
    {
        fellBehind = true;
        return true; // the writer closes it
    }

    backlog.push_back (std::move (frame));
    return true;
}

bool OVRASocketConnectionWrapper::WrappedInterprocessConnection::flushBacklog()
{
    if (fellBehind)
    {
        closeSocket(); // the reading thread then reports the loss
        return false;
    }

    for (;;)
    {
        std::shared_ptr<const juce::MemoryBlock> frame;
        size_t offset = 0;

        {
            const juce::ScopedLock sl (backlogLock);

            if (backlog.empty())
                return false;

            frame = backlog.front();
            offset = frontBytesWritten;
        }

        const auto written =
            writeSome (static_cast<const char*> (frame->getData()) + offset, frame->getSize() - offset);

        if (written < 0)
        {
            closeSocket();
            return false;
        }

        if (written == 0)
            return true;

        const juce::ScopedLock sl (backlogLock);

        if (backlog.empty()) // closed meanwhile
            return false;

        frontBytesWritten += (size_t) written;

        if (frontBytesWritten >= frame->getSize())
        {
            backlog.pop_front();
            frontBytesWritten = 0;
        }
    }
}

int OVRASocketConnectionWrapper::WrappedInterprocessConnection::writeSome (const void* data, size_t numBytes)
{
    const juce::ScopedLock sl (socketLock);

    if (! socket->isConnected())
        return -1;

    // StreamingSocket::write would block on a full socket and raise SIGPIPE on
    // a closed one; a client that stops reading must cost nothing but its backlog.
    for (;;)
    {
        const auto sent = ::send (socket->getRawSocketHandle(), data, numBytes, MSG_DONTWAIT | MSG_NOSIGNAL);

        if (sent >= 0)
            return (int) sent;

        if (errno == EINTR)
            continue;

        return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    }
}

void OVRASocketConnectionWrapper::WrappedInterprocessConnection::closeSocket()
{
    {
        const juce::ScopedLock sl (backlogLock);
        open = false;
        backlog.clear();
        frontBytesWritten = 0;
    }

    const juce::ScopedLock sl (socketLock);
    socket->close();
}

//==============================================================================
void OVRASocketConnectionWrapper::WrappedInterprocessConnection::run()
{
    const auto read = [this] (void* dest, int numBytes) { return socket->read (dest, numBytes, true); };
    juce::MemoryBlock payload;

    while (! threadShouldExit())
    {
        const auto result = OVRAWireFraming::readNext (read, payload);

        if (result == OVRAWireFraming::ReadResult::message)
            messageReceived (payload);
        else if (result != OVRAWireFraming::ReadResult::skipped)
            break;
    }

    finish();
}

void OVRASocketConnectionWrapper::WrappedInterprocessConnection::finish()
{
    closeSocket();
    connectionLost();

    // The owner may delete this object as soon as it is marked finished.
    auto& ownerToTell = owner;
    finished = true;
    ownerToTell.connectionFinished();
}

void OVRASocketConnectionWrapper::WrappedInterprocessConnection::connectionMade()
{
    owner.connectionOpened (connectionId);
}

void OVRASocketConnectionWrapper::WrappedInterprocessConnection::connectionLost()
{
    if (! lossReported.exchange (true))
        owner.connectionClosed (connectionId);
}

void OVRASocketConnectionWrapper::WrappedInterprocessConnection::messageReceived (
    const juce::MemoryBlock& message)
{
    owner.handleMessageBlock (message, connectionId);
}
