#pragma once

#include <juce_core/juce_core.h>

/** Finds out, before any window or audio device is made, whether the display
    the window would open on can be reached: the framework takes a display
    that cannot be opened for a desktop without screens, and a window placed
    on none of them brings the program down; and a display whose socket takes
    the connection but never answers (an ssh session whose network has gone)
    would hold the start for ever.

        if (auto problem = DisplayProbe::findProblem(); problem.isNotEmpty())
            ...   // tell it and end

    The display is tried on a thread of its own, which is left behind if it
    never returns; the program is about to end then. Message thread, at start.
*/
class DisplayProbe
{
public:
    /** How long a display may take to answer a new connection. */
    static constexpr int answerTimeoutMs = 10000;

    /** The display the framework opens: DISPLAY, or its default when unset. */
    static juce::String getDisplayName();

    /** Empty when the display answers within the time; otherwise what the
        user is told, naming the display. */
    static juce::String findProblem (int timeoutMs = answerTimeoutMs);
};
