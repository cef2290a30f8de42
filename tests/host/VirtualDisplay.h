#pragma once

#include <sys/types.h>

/** A private Xvfb server for tests that need real windows, started only when
    the process has no display of its own and stopped again by its process id. */
class VirtualDisplay
{
public:
    /** Starts Xvfb when DISPLAY is unset and points DISPLAY at it. Gives up,
        leaving DISPLAY unset, when no server comes up within ten seconds. */
    VirtualDisplay();
    ~VirtualDisplay();

    bool isStarted() const noexcept { return serverPid > 0; }

private:
    pid_t serverPid = -1;

    VirtualDisplay (const VirtualDisplay&) = delete;
    VirtualDisplay& operator= (const VirtualDisplay&) = delete;
};
