#pragma once

#include <juce_events/juce_events.h>

#include <csignal>
#include <functional>
#include <iterator>

/** Turns SIGTERM, SIGINT and SIGHUP (the terminal closed) into a call on the
    message thread, so that a quit asked for by the system takes the same road
    as the window's close button: the running report is completed and the
    preferences get written.

    The signal handler only writes a byte into a pipe; the message loop watches
    the pipe's other end and runs the callback there. One instance at a time;
    the previous handlers come back when it is deleted. A SIGHUP that was
    ignored at the start (nohup) stays ignored.
*/
class QuitSignalHandler
{
public:
    //==============================================================================
    explicit QuitSignalHandler (std::function<void()> onQuitRequested);
    ~QuitSignalHandler();

private:
    //==============================================================================
    static void handleSignal (int) noexcept;
    void pipeBecameReadable();

    std::function<void()> onQuitRequested;
    int readEnd = -1;
    int writeEnd = -1;
    static constexpr int quitSignals[] = { SIGTERM, SIGINT, SIGHUP };
    struct sigaction previous[std::size (quitSignals)] = {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuitSignalHandler)
};
