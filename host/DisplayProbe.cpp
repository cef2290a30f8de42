#include "DisplayProbe.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace
{
struct Attempt
{
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    bool opened = false;
};

/** Opens and closes a connection of its own through the same library the
    framework loads, so that nothing of the framework waits on it. */
void tryToOpen (const std::string& name, Attempt& attempt)
{
    juce::DynamicLibrary x11 ("libX11.so.6");
    using OpenDisplay = void* (*) (const char*);
    using CloseDisplay = int (*) (void*);
    const auto open = (OpenDisplay) x11.getFunction ("XOpenDisplay");
    const auto close = (CloseDisplay) x11.getFunction ("XCloseDisplay");
    bool opened = false;

    if (open != nullptr && close != nullptr)
    {
        if (auto* display = open (name.c_str()))
        {
            close (display);
            opened = true;
        }
    }

    const std::lock_guard<std::mutex> held (attempt.lock);
    attempt.done = true;
    attempt.opened = opened;
    attempt.answered.notify_all();
}
} // namespace

//==============================================================================
juce::String DisplayProbe::getDisplayName()
{
    const auto name = juce::SystemStats::getEnvironmentVariable ("DISPLAY", {});
    return name.isEmpty() ? ":0.0" : name;
}

juce::String DisplayProbe::findProblem (int timeoutMs)
{
    const auto name = getDisplayName();
    const auto unset = juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty();
    const auto what = TRANS ("The display") + " \"" + name + "\"" + (unset ? " " + TRANS ("(DISPLAY is not set)") : "");
    const auto consequence = TRANS ("the meter needs one for its window.");

    auto attempt = std::make_shared<Attempt>();
    std::thread ([attempt, target = name.toStdString()] { tryToOpen (target, *attempt); }).detach();

    std::unique_lock<std::mutex> held (attempt->lock);

    if (! attempt->answered.wait_for (held, std::chrono::milliseconds (timeoutMs), [&] { return attempt->done; }))
        return what + " " + TRANS ("did not answer within") + " " + juce::String (timeoutMs / 1000) + " s; "
               + consequence;

    // A display that opens may still offer the framework no screen to use.
    if (! attempt->opened || juce::Desktop::getInstance().getDisplays().displays.isEmpty())
        return what + " " + TRANS ("could not be opened;") + " " + consequence;

    return {};
}
