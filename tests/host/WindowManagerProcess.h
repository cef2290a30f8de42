#pragma once

#include <juce_core/juce_core.h>

/** A window manager (openbox) on the current display, for tests whose windows
    must be framed and placed as on a desktop. Started by the constructor, which
    waits up to ten seconds for it to take over the display, and ended by its
    process id when deleted. */
class WindowManagerProcess
{
public:
    WindowManagerProcess();
    ~WindowManagerProcess();

    bool isRunning() const noexcept { return running; }

private:
    juce::TemporaryFile readyMarker;
    juce::ChildProcess process;
    bool running = false;

    JUCE_DECLARE_NON_COPYABLE (WindowManagerProcess)
};
