#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

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
} // namespace HostTestHelpers
