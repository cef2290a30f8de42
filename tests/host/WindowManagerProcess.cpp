#include "WindowManagerProcess.h"

namespace
{
constexpr int startTimeoutMs = 10000;
constexpr int stopTimeoutMs = 5000;
} // namespace

WindowManagerProcess::WindowManagerProcess()
{
    // Openbox runs its start-up command once it manages the display; the
    // command marks that in a file of ours.
    const auto marker = readyMarker.getFile();
    const juce::StringArray args { "openbox", "--sm-disable", "--startup",
                                   "touch " + marker.getFullPathName() };

    if (marker.getFullPathName().containsChar (' ') || ! process.start (args, 0))
        return;

    for (int waited = 0; waited < startTimeoutMs && process.isRunning(); waited += 10)
    {
        if (marker.existsAsFile())
        {
            running = true;
            return;
        }

        juce::Thread::sleep (10);
    }
}

WindowManagerProcess::~WindowManagerProcess()
{
    if (process.isRunning())
    {
        process.kill();
        process.waitForProcessToFinish (stopTimeoutMs);
    }
}
