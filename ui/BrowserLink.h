#pragma once

#include "FailureNotice.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

/** A link that opens its address in the user's web browser, and tells in the
    window when no browser could be started (none installed, say), which the
    framework's own link leaves unsaid.

    The browser is started through the desktop's opener, else the system's
    default browser, in a session of its own so that a Ctrl+C meant for the
    meter does not end it; what they print goes nowhere. The starter is
    watched until it ends, so that none is left behind unreaped, and one
    that fails is told in a box (each click that fails again opens it again)
    and on standard error.

        BrowserLink contactLink { "CONTACT US", juce::URL ("https://...") };

    Message thread only.
*/
class BrowserLink : public juce::HyperlinkButton, private juce::Timer
{
public:
    /** The first look at a starter; the time doubles up to maxPollMs while
        it runs on (a browser started by it runs until the user closes it). */
    static constexpr int firstPollMs = 100;
    static constexpr int maxPollMs = 2000;

    BrowserLink (const juce::String& linkText, const juce::URL& linkUrl);
    ~BrowserLink() override;

    //==============================================================================
    /** Starts the browser on the link's address, as a click does. */
    void openInBrowser();

    /** Starters that have not ended yet. */
    size_t getNumRunning() const noexcept { return starters.size(); }

protected:
    void clicked() override;

private:
    //==============================================================================
    void timerCallback() override;
    void tellNotStarted();

    std::vector<std::unique_ptr<juce::ChildProcess>> starters;
    FailureNotice notice { TRANS ("Browser not started") };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrowserLink)
};
