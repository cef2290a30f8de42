#include "WrappedInterprocessConnectionServer.h"

#include "WrappedInterprocessConnection.h"

namespace
{
// How often an idle accept thread looks whether it should stop.
constexpr int acceptPollMs = 100;
} // namespace

OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::WrappedInterprocessConnectionServer (
    OVRASocketConnectionWrapper& ownerToUse)
    : juce::Thread ("Juce IPC server")
    , owner (ownerToUse)
{
}

OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::~WrappedInterprocessConnectionServer()
{
    stop();
}

//==============================================================================
bool OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::beginWaitingForSocket (
    int portNumber, const juce::String& bindAddress)
{
    stop();

    listener = std::make_unique<juce::StreamingSocket>();

    if (! listener->createListener (portNumber, bindAddress))
    {
        listener.reset();
        return false;
    }

    startThread();
    return true;
}

void OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::stop()
{
    // The thread stops before the listener closes: closing under a pending
    // accept would leave that accepted socket open.
    stopThread (4000);

    if (listener != nullptr)
        listener->close();

    listener.reset();
}

int OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::getBoundPort() const noexcept
{
    return listener == nullptr ? -1 : listener->getBoundPort();
}

//==============================================================================
void OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::run()
{
    while (! threadShouldExit())
    {
        const auto ready = listener->waitUntilReady (true, acceptPollMs);

        if (ready < 0)
            break;

        if (ready == 0 || threadShouldExit())
            continue;

        std::unique_ptr<juce::StreamingSocket> socket (listener->waitForNextConnection());

        if (socket != nullptr)
            createConnectionObject (std::move (socket))->start();
    }
}

OVRASocketConnectionWrapper::WrappedInterprocessConnection*
OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::createConnectionObject (
    std::unique_ptr<juce::StreamingSocket> socket)
{
    return owner.addConnection (std::move (socket));
}
