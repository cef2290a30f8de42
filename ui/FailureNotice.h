#pragma once

#include "NoticeBoxLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

/** Tells the user in the window that something they rely on has failed: one
    warning box per notice, naming what failed and why. While the box is up, a
    new failure updates it (how many times, and when the last one came) and a
    success turns it into a box that says since when it works again, above what
    had failed and when; no second box opens. Once the user has closed it, a
    box opens again only after it has worked in between or when the failure
    itself changes, so a folder that stays read-only does not raise a box on
    every write; a failure of something the user has just asked for is told
    each time.

        FailureNotice logNotice { "Measurement not saved", "The files have been written again",
                                  "Measurement saved again" };
        logNotice.update (status.failing, status.message);   // on each poll

    The box keeps out of the user's way: it never takes the keyboard as it
    comes or changes (a click on it does; its OK gives the keys back), the
    meter goes on taking clicks while it is up, and it stays above the
    program's window until it is closed. Opened while a modal dialog is up,
    it is modal above it, so that it can be closed; a list that is open (a
    menu) is no dialog, and stays on top. The diagnostic line on standard
    error or output is the caller's; this only shows the box. Message thread
    only.
*/
class FailureNotice : private juce::FocusChangeListener
{
public:
    /** The box has this title while it fails; once it works again, the second
        text, followed by " since" and the time, heads the box, whose title is
        then the third (or, without one, the second). */
    explicit FailureNotice (juce::String boxTitle, juce::String worksAgainText = {},
                            juce::String worksAgainTitle = {})
        : title (std::move (boxTitle))
        , worksAgain (std::move (worksAgainText))
        , endedTitle (worksAgainTitle.isNotEmpty() ? std::move (worksAgainTitle) : worksAgain)
    {
    }

    ~FailureNotice() override;

    //==============================================================================
    /** Something failed: updates the box with this message, or opens one unless
        the same message has been shown already and nothing has worked since.
        What it means while it lasts (meanwhile) follows the message until it
        works again. */
    void failed (const juce::String& message, const juce::String& meanwhile = {});

    /** Something the user has just asked for failed: shown even when the same
        failure has been shown and closed before. */
    void requestFailed (const juce::String& message);

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
    void close();
    void globalFocusChanged (juce::Component*) override;

    const juce::String title, worksAgain, endedTitle;
    bool failing = false, followsFocus = false;
    juce::String shownMessage, shownMeanwhile;

    // Since the box was opened: the failures told in it, the last one's time,
    // and since when it works again (null while it fails).
    int numFailures = 0;
    juce::Time lastFailure;
    std::optional<juce::Time> worksSince;

    NoticeBoxLookAndFeel boxLook;
    juce::Component::SafePointer<juce::AlertWindow> box;
    juce::Component::SafePointer<juce::Component> owner, keysBefore;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FailureNotice)
};
