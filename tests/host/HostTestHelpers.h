#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>

namespace HostTestHelpers
{
/** Runs the message loop until the condition holds or the time limit passes;
    returns whether the condition held. */
inline bool runMessageLoopUntil (const std::function<bool()>& condition, int timeLimitMs = 5000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeLimitMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return false;

        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    }

    return true;
}

/** Lets the message loop deliver what is already queued. */
inline void drainMessageLoop() { juce::MessageManager::getInstance()->runDispatchLoopUntil (50); }

/** The message boxes that are open. */
inline std::vector<juce::AlertWindow*> alertWindows()
{
    std::vector<juce::AlertWindow*> found;

    for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
            found.push_back (alert);

    return found;
}

inline void closeAlertWindows()
{
    for (auto* alert : alertWindows())
        delete alert;
}
} // namespace HostTestHelpers
