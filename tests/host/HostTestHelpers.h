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

/** The alert boxes open now. */
inline std::vector<juce::AlertWindow*> alertWindows()
{
    std::vector<juce::AlertWindow*> found;

    for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
            found.push_back (alert);

    return found;
}

/** The first alert box open now, or null. */
inline juce::AlertWindow* findAlertWindow()
{
    const auto found = alertWindows();
    return found.empty() ? nullptr : found.front();
}

inline void closeAlertWindows()
{
    for (auto* alert : alertWindows())
        delete alert;
}

/** Keeps the message of every alert box it makes while it lives. */
struct RecordingLookAndFeel : juce::LookAndFeel_V4
{
    RecordingLookAndFeel() { juce::LookAndFeel::setDefaultLookAndFeel (this); }
    ~RecordingLookAndFeel() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }

    juce::AlertWindow* createAlertWindow (const juce::String& title, const juce::String& message,
                                          const juce::String& button1, const juce::String& button2,
                                          const juce::String& button3, juce::MessageBoxIconType icon,
                                          int numButtons, juce::Component* associated) override
    {
        messages.add (message);
        icons.push_back (icon);
        return LookAndFeel_V4::createAlertWindow (title, message, button1, button2, button3, icon, numButtons,
                                                  associated);
    }

    juce::StringArray messages;
    std::vector<juce::MessageBoxIconType> icons;
};
} // namespace HostTestHelpers
