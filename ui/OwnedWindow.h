#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Tells the window manager that a desktop window belongs to another one: it
    stays above its owner, so that a click on the owner does not bury it, and
    it is never given the keyboard, neither when it appears nor on a click, so
    that what the user types goes on reaching the window they work in. Only
    the X11 window system has these hints; elsewhere nothing is done.

        box->addToDesktop (flags);                  // made, not yet shown
        OwnedWindow::setOwner (*box, &mainWindow);
        box->setVisible (true);

    Message thread only.
*/
struct OwnedWindow
{
    /** For a window on the desktop that has not been shown yet: its owner may
        be null (only the keyboard is kept from it then). */
    static void setOwner (juce::Component& window, juce::Component* owner);
};
