#include "OVRASocketConnectionWrapper.h"

#include "ConnectionWriter.h"
#include "OVRAWireFraming.h"
#include "WrappedInterprocessConnection.h"
#include "WrappedInterprocessConnectionServer.h"

std::atomic<int> OVRASocketConnectionWrapper::nextConnectionId { 0 };

OVRASocketConnectionWrapper::OVRASocketConnectionWrapper()
    : server (std::make_unique<WrappedInterprocessConnectionServer> (*this))
    , writer (std::make_unique<ConnectionWriter> (*this))
{
}

OVRASocketConnectionWrapper::~OVRASocketConnectionWrapper() { stopServer(); }

//==============================================================================
void OVRASocketConnectionWrapper::sendToAll()
{
    const auto frame = std::make_shared<const juce::MemoryBlock> (OVRAWireFraming::frame (getPacketData()));
    bool queued = false;

    {
        const juce::ScopedLock sl (connectionLock);

        for (int i = connections.size(); --i >= 0;)
            queued = connections.getUnchecked (i)->queueFrame (frame) || queued;
    }

    if (queued)
        writer->notify();
}

bool OVRASocketConnectionWrapper::flushConnections()
{
    // Connections are deleted only after this thread has stopped, so the
    // pointers stay valid outside the lock.
    {
        const juce::ScopedLock sl (connectionLock);
        flushList.clearQuick();
        flushList.addArray (connections.begin(), connections.size());
    }

    bool pending = false;

    for (int i = flushList.size(); --i >= 0;)
        pending = flushList.getUnchecked (i)->flushBacklog() || pending;

    return pending;
}

//==============================================================================
int OVRASocketConnectionWrapper::portFromText (const juce::String& text)
{
    const auto port = text.trim().getIntValue();
    return port < 1 ? defaultPort : port;
}

bool OVRASocketConnectionWrapper::startServer (int portNumber, const juce::String& bindAddress)
{
    stopServer();

    if (portNumber < 0 || portNumber > 65535)
        return false;

    if (! server->beginWaitingForSocket (portNumber, bindAddress))
        return false;

    writer->startThread();
    return true;
}

void OVRASocketConnectionWrapper::stopServer()
{
    server->stop();
    writer->stopThread (4000);

    const juce::ScopedLock sl (connectionLock);
    connections.clear(); // from the last to the first; each one closes and stops its thread
    flushList.clear();
}

int OVRASocketConnectionWrapper::getBoundPort() const { return server->getBoundPort(); }

juce::Array<int> OVRASocketConnectionWrapper::getConnectionIds() const
{
    juce::Array<int> ids;
    const juce::ScopedLock sl (connectionLock);

    for (auto* connection : connections)
        ids.add (connection->getConnectionId());

    return ids;
}

OVRASocketConnectionWrapper::WrappedInterprocessConnection*
OVRASocketConnectionWrapper::addConnection (std::unique_ptr<juce::StreamingSocket> socket)
{
    auto* connection = new WrappedInterprocessConnection (*this, ++nextConnectionId, std::move (socket));
    const juce::ScopedLock sl (connectionLock);
    return connections.add (connection);
}
