#include "WrappedInterprocessConnectionServer.h"

#include "DiagnosticPrinter.h"
#include "WrappedInterprocessConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// How often an idle accept thread looks whether it should stop.
constexpr int acceptPollMs = 100;

// Pauses after a failed accept, doubling from the first to the last while
// accepts keep failing.
constexpr int firstRetryMs = 10;
constexpr int longestRetryMs = 100;

/** Whether an accept failed because the listener itself is unusable, rather
    than for want of descriptors or memory, or a client that went away. */
bool isListenerBroken (int error)
{
    return error == EBADF || error == EINVAL || error == ENOTSOCK || error == EOPNOTSUPP || error == EFAULT;
}

/** Why a listener cannot be made on the port. StreamingSocket keeps no
    error (and its clean-up overwrites errno), so a plain socket set up the
    same way tries again. */
juce::String whyListenerFails (int portNumber, const juce::String& bindAddress)
{
    auto error = 0;
    const auto handle = ::socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);

    if (handle < 0)
    {
        error = errno;
    }
    else
    {
        const int reuse = 1;
        ::setsockopt (handle, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof (reuse));

        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons ((uint16_t) portNumber);
        address.sin_addr.s_addr =
            bindAddress.isNotEmpty() ? ::inet_addr (bindAddress.toRawUTF8()) : htonl (INADDR_ANY);

        if (::bind (handle, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) != 0
            || ::listen (handle, SOMAXCONN) != 0)
            error = errno;

        ::close (handle);
    }

    switch (error)
    {
        case EADDRINUSE:
            return "it is already in use.";
        case EACCES:
        case EPERM:
            return "this user is not allowed to use it.";
        case 0:
            return "it could not be opened."; // free again by now
        default:
            return juce::String (std::strerror (error)) + ".";
    }
}
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
juce::Result OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::beginWaitingForSocket (
    int portNumber, const juce::String& bindAddress)
{
    stop();

    listener = std::make_unique<juce::StreamingSocket>();

    if (! listener->createListener (portNumber, bindAddress))
    {
        listener.reset();
        return juce::Result::fail (whyListenerFails (portNumber, bindAddress));
    }

    boundPort = listener->getBoundPort();

    if (! startThread())
    {
        stop();
        return juce::Result::fail ("no thread could be started to serve it.");
    }

    return juce::Result::ok();
}

void OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::stop()
{
    // The thread stops before the listener closes: closing under a pending
    // accept would leave that accepted socket open.
    stopThread (4000);
    boundPort = -1;

    if (listener != nullptr)
        listener->close();

    listener.reset();
}

int OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::getBoundPort() const noexcept
{
    return boundPort;
}

//==============================================================================
void OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::run()
{
    int retryMs = 0;
    const char* failure = nullptr;

    while (! threadShouldExit())
    {
        // StreamingSocket::waitUntilReady hides the hang-up that a listener
        // which has been shut down reports at once and for ever.
        pollfd listening { listener->getRawSocketHandle(), POLLIN, 0 };
        const auto ready = ::poll (&listening, 1, acceptPollMs);

        if (ready < 0 && errno != EINTR)
        {
            failure = std::strerror (errno);
            break;
        }

        if ((listening.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
        {
            failure = "the listening socket was shut down";
            break;
        }

        if (ready <= 0 || (listening.revents & POLLIN) == 0 || threadShouldExit())
            continue;

        std::unique_ptr<juce::StreamingSocket> socket (listener->waitForNextConnection());

        if (socket == nullptr)
        {
            const auto error = errno; // accept's: the listener returns at once when it fails
            ++numFailedAccepts;

            if (isListenerBroken (error))
            {
                failure = std::strerror (error);
                break;
            }

            // Out of descriptors, say: the client stays queued and the
            // listener keeps reporting it, so an immediate retry would spin.
            retryMs = juce::jlimit (firstRetryMs, longestRetryMs, retryMs * 2);
            wait (retryMs);
            continue;
        }

        retryMs = 0;

        if (auto* connection = createConnectionObject (std::move (socket)))
            connection->start();
    }

    if (failure != nullptr)
    {
        // Nothing listens from here on; clients are refused rather than queued.
        boundPort = -1;
        listener->close();
        DiagnosticPrinter::print (std::string ("Stopped accepting connections: ") + failure);
    }
}

OVRASocketConnectionWrapper::WrappedInterprocessConnection*
OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer::createConnectionObject (
    std::unique_ptr<juce::StreamingSocket> socket)
{
    return owner.addConnection (std::move (socket));
}
