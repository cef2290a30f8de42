#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Tells the user in the window that something they rely on has failed: a
    warning box naming what failed and why, shown once when it starts failing
    and again only after it has worked in between or when the failure itself
    changes, so a folder that stays read-only does not raise a box on every
    write.

        FailureNotice logNotice { "Measurement not saved" };
        logNotice.update (status.failing, status.message);   // on each poll

    The diagnostic line on standard error or output is the caller's; this only
    shows the box. Message thread only.
*/
class FailureNotice
{
public:
    explicit FailureNotice (juce::String boxTitle) : title (std::move (boxTitle)) {}

    //==============================================================================
    /** Something failed: shows the box with this message, unless the same
        message has been shown already and nothing has worked since. */
    void failed (const juce::String& message);

    /** It worked: the next failure is shown again. */
    void succeeded() noexcept { failing = false; }

    /** failed (message) or succeeded(), by the outcome. */
    void update (bool isFailing, const juce::String& message)
    {
        if (isFailing)
            failed (message);
        else
            succeeded();
    }

    bool isFailing() const noexcept { return failing; }
    const juce::String& getTitle() const noexcept { return title; }

private:
    const juce::String title;
    bool failing = false;
    juce::String shownMessage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FailureNotice)
};
