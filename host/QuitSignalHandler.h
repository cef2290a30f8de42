#pragma once

#include <juce_events/juce_events.h>

#include <csignal>
#include <functional>

/** Turns SIGTERM and SIGINT into a call on the message thread, so that a quit
    asked for by the system takes the same road as the window's close button
    and the preferences get written.

    The signal handler only writes a byte into a pipe; the message loop watches
    the pipe's other end and runs the callback there. One instance at a time;
    the previous handlers come back when it is deleted.
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
    struct sigaction previousTerm = {};
    struct sigaction previousInt = {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuitSignalHandler)
};
