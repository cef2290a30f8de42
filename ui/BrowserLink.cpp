#include "BrowserLink.h"

#include "DiagnosticPrinter.h"

namespace
{
// The address is the shell's first argument, never part of its script.
constexpr const char* startScript = "xdg-open \"$1\" || x-www-browser \"$1\"";
} // namespace

BrowserLink::BrowserLink (const juce::String& linkText, const juce::URL& linkUrl)
    : juce::HyperlinkButton (linkText, linkUrl)
{
}

BrowserLink::~BrowserLink() { stopTimer(); }

//==============================================================================
void BrowserLink::clicked() { openInBrowser(); }

void BrowserLink::openInBrowser()
{
    auto starter = std::make_unique<juce::ChildProcess>();

    // No streams wanted: the child's output goes to /dev/null, and no pipe
    // can fill up and hold it.
    if (! starter->start (juce::StringArray { "setsid", "/bin/sh", "-c", startScript, "sh",
                                              getURL().toString (true) },
                          0))
    {
        tellNotStarted();
        return;
    }

    starters.push_back (std::move (starter));
    startTimer (firstPollMs);
}

void BrowserLink::timerCallback()
{
    bool failed = false;

    // isRunning() reaps a starter that has ended; it is asked once after that.
    for (auto it = starters.begin(); it != starters.end();)
    {
        if ((*it)->isRunning())
        {
            ++it;
            continue;
        }

        failed = failed || (*it)->getExitCode() != 0;
        it = starters.erase (it);
    }

    if (starters.empty())
        stopTimer();
    else
        startTimer (juce::jmin (getTimerInterval() * 2, maxPollMs));

    if (failed)
        tellNotStarted();
}

void BrowserLink::tellNotStarted()
{
    const auto address = getURL().toString (true);
    DiagnosticPrinter::printError ((TRANS ("No web browser could be started for") + " " + address).toStdString());

    // Each click that fails is told, also after the box was closed.
    notice.dismiss();
    notice.failed (TRANS ("No web browser could be started to open") + "\n" + address + "\n\n"
                   + TRANS ("Install one, or open the address in a browser yourself."));
}
