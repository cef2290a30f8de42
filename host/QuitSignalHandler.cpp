#include "QuitSignalHandler.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// Read by the signal handler, which may only touch lock-free data.
std::atomic<int> signalWriteEnd { -1 };
} // namespace

QuitSignalHandler::QuitSignalHandler (std::function<void()> callback) : onQuitRequested (std::move (callback))
{
    int fds[2];

    if (pipe2 (fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;

    readEnd = fds[0];
    writeEnd = fds[1];
    jassert (signalWriteEnd.load() == -1);
    signalWriteEnd.store (writeEnd);

    juce::LinuxEventLoop::registerFdCallback (readEnd, [this] (int) { pipeBecameReadable(); });

    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset (&action.sa_mask);
    action.sa_flags = SA_RESTART;

    for (size_t i = 0; i < std::size (quitSignals); ++i)
    {
        sigaction (quitSignals[i], nullptr, &previous[i]);

        // Started with nohup: a terminal that closes is meant to leave it running.
        if (quitSignals[i] != SIGHUP || previous[i].sa_handler != SIG_IGN)
            sigaction (quitSignals[i], &action, nullptr);
    }
}

QuitSignalHandler::~QuitSignalHandler()
{
    if (readEnd < 0)
        return;

    for (size_t i = 0; i < std::size (quitSignals); ++i)
        sigaction (quitSignals[i], &previous[i], nullptr);

    signalWriteEnd.store (-1);

    juce::LinuxEventLoop::unregisterFdCallback (readEnd);
    close (readEnd);
    close (writeEnd);
}

void QuitSignalHandler::handleSignal (int) noexcept
{
    const int savedErrno = errno;
    const int fd = signalWriteEnd.load();

    if (fd >= 0)
    {
        const char byte = 'q';
        [[maybe_unused]] const auto written = write (fd, &byte, 1);
    }

    errno = savedErrno;
}

void QuitSignalHandler::pipeBecameReadable()
{
    char buffer[64];

    while (read (readEnd, buffer, sizeof (buffer)) > 0)
    {
    }

    if (onQuitRequested)
        onQuitRequested();
}
