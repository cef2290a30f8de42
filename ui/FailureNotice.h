#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

/** Tells the user in the window that something they rely on has failed: one
    warning box per notice, naming what failed and why. While the box is up, a
    new failure updates it (how many times, and when the last one came) and a
    success says since when it works again; no second box opens. Once the user
    has closed it, a box opens again only after it has worked in between or
    when the failure itself changes, so a folder that stays read-only does not
    raise a box on every write.

        FailureNotice logNotice { "Measurement not saved", "The files have been written again" };
        logNotice.update (status.failing, status.message);   // on each poll

    The box does not hold the rest of the window: the meter goes on taking
    clicks while it is up. Opened while a modal dialog is up, it is modal
    above it, so that it can be closed. The diagnostic line on standard error or output is
    the caller's; this only shows the box. Message thread only.
*/
class FailureNotice
{
public:
    /** The box has this title; a success adds the second text, followed by
        " since" and the time, to a box that is still up. */
    explicit FailureNotice (juce::String boxTitle, juce::String worksAgainText = {})
        : title (std::move (boxTitle))
        , worksAgain (std::move (worksAgainText))
    {
    }

    ~FailureNotice();

    //==============================================================================
    /** Something failed: updates the box with this message, or opens one unless
        the same message has been shown already and nothing has worked since. */
    void failed (const juce::String& message);

    /** It works: a box still up says so and since when, and the next failure
        is shown again. */
    void succeeded();

    /** failed (message) or succeeded(), by the outcome. */
    void update (bool isFailing, const juce::String& message)
    {
        if (isFailing)
            failed (message);
        else
            succeeded();
    }

    /** What failed is no longer the user's concern: the box goes, and the
        next failure is shown again. */
    void dismiss();

    bool isFailing() const noexcept { return failing; }
    const juce::String& getTitle() const noexcept { return title; }

private:
    //==============================================================================
    juce::String describe() const;
    bool isUp() const { return box != nullptr && box->isVisible(); }
    void show();

    const juce::String title, worksAgain;
    bool failing = false;
    juce::String shownMessage;

    // Since the box was opened: the failures told in it, the last one's time,
    // and since when it works again (null while it fails).
    int numFailures = 0;
    juce::Time lastFailure;
    std::optional<juce::Time> worksSince;
    juce::Component::SafePointer<juce::AlertWindow> box;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FailureNotice)
};
