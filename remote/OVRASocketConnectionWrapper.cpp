#include "OVRASocketConnectionWrapper.h"

#include "ConnectionWriter.h"
#include "DiagnosticPrinter.h"
#include "OVRAWireFraming.h"
#include "WrappedInterprocessConnection.h"
#include "WrappedInterprocessConnectionServer.h"

#include <algorithm>
#include <limits>
#include <vector>

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
    // Connections are deleted only here or after this thread has stopped, so
    // the pointers stay valid outside the lock.
    std::vector<std::unique_ptr<WrappedInterprocessConnection>> finished;

    {
        const juce::ScopedLock sl (connectionLock);

        for (int i = connections.size(); --i >= 0;)
            if (connections.getUnchecked (i)->hasFinished())
                finished.emplace_back (connections.removeAndReturn (i));

        flushList.clearQuick();
        flushList.addArray (connections.begin(), connections.size());
    }

    // Outside the lock: each deletion joins a thread that is about to return.
    finished.clear();

    bool pending = false;

    for (int i = flushList.size(); --i >= 0;)
        pending = flushList.getUnchecked (i)->flushBacklog() || pending;

    return pending;
}

void OVRASocketConnectionWrapper::connectionFinished() { writer->notify(); }

//==============================================================================
OVRASocketConnectionWrapper::TypedPort OVRASocketConnectionWrapper::portFromText (const juce::String& text)
{
    const auto typed = text.trim();

    if (typed.isEmpty())
        return { defaultPort, juce::String (defaultPort) };

    // A whole number, with an optional plus; anything else ("0", "8000x",
    // "80 00") is no port, and starting the server on it fails.
    const auto digits = typed.startsWithChar ('+') ? typed.substring (1) : typed;
    const auto significant = digits.trimCharactersAtStart ("0");
    const auto number = digits.isNotEmpty() && digits.containsOnly ("0123456789") && significant.length() <= 5
                            ? significant.getIntValue()
                            : 0;

    if (! juce::isPositiveAndBelow (number - 1, 65535))
        return { -1, typed };

    return { number, juce::String (number) };
}

juce::Result OVRASocketConnectionWrapper::startServer (int portNumber, const juce::String& bindAddress)
{
    return startServer (TypedPort { portNumber, juce::String (portNumber) }, bindAddress);
}

juce::Result OVRASocketConnectionWrapper::startServer (const TypedPort& port, const juce::String& bindAddress)
{
    stopServer();

    auto started = port.number < 0 || port.number > 65535
                       ? juce::Result::fail ("port numbers go from 1 to 65535.")
                       : server->beginWaitingForSocket (port.number, bindAddress);

    // Without the writer nothing would be sent, nor closed connections released.
    if (started.wasOk() && ! writer->startThread())
    {
        stopServer();
        started = juce::Result::fail ("no thread could be started to serve it.");
    }

    if (started.wasOk())
        return started;

    const auto message = "Port " + port.name + " cannot be used: " + started.getErrorMessage();
    DiagnosticPrinter::print (message.toStdString());
    return juce::Result::fail (message);
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

juce::uint64 OVRASocketConnectionWrapper::getNumFailedAccepts() const noexcept
{
    return server->getNumFailedAccepts();
}

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
    bool full = false;

    {
        // Closed ones take no place, though the writer has not deleted them
        // yet or their thread has not even seen the close.
        const juce::ScopedLock sl (connectionLock);
        full = std::count_if (connections.begin(), connections.end(),
                              [] (auto* connection) { return connection->isOpen(); })
               >= maxConnections;
    }

    if (full)
    {
        // Printed before the socket closes, so the client never sees the close first.
        DiagnosticPrinter::print ("Connection refused: " + std::to_string (maxConnections)
                                  + " clients already connected");
        return nullptr;
    }

    auto* connection = new WrappedInterprocessConnection (*this, ++nextConnectionId, std::move (socket));
    const juce::ScopedLock sl (connectionLock);
    return connections.add (connection);
}
