#pragma once

#include "FailureNotice.h"

#include <juce_data_structures/juce_data_structures.h>

/** Keeps the preferences on disk while the program runs. A change is saved
    once it has waited a fixed number of the owner's polls, however many
    changes follow it (a window being dragged changes its position all the
    time). A save that fails is told once, with the reason, in a box and on
    standard error, and tried again as often until it works, which the box and
    standard error then say.

        PreferencesSaver saver (*settings);
        saver.poll();      // at each of the owner's polls, after storing what changed
        saver.saveNow();   // at quit

    Preferences that open found cannot be saved are left alone: that was told
    at start. Message thread only.
*/
class PreferencesSaver
{
public:
    /** Polls a change waits, counting the one that finds it, before it is
        saved; with 500 ms polls it is on disk 3 to 3.5 s after it was made. */
    static constexpr int pollsBeforeSaving = 7;

    explicit PreferencesSaver (juce::PropertiesFile& preferencesToSave) : preferences (preferencesToSave) {}

    //==============================================================================
    /** Saves the changes that have waited long enough, or tries again after a failure. */
    void poll();

    /** Saves what is not saved yet, as at quit, where a box would not be seen:
        a failure goes to the logger only, and is not tried again. */
    void saveNow();

private:
    //==============================================================================
    juce::PropertiesFile& preferences;
    int pollsWaited = 0;
    juce::String toldFailure;
    FailureNotice notice { TRANS ("Settings not saved"), TRANS ("The settings have been saved again") };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PreferencesSaver)
};
