// The framework's X11 declarations are wanted here, so this file is compiled
// without the shared precompiled header, which has them left out.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "OwnedWindow.h"

void OwnedWindow::setOwner (juce::Component& window, juce::Component* owner)
{
    JUCE_ASSERT_MESSAGE_THREAD

#if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* peer = window.getPeer();

    if (windowSystem == nullptr || windowSystem->getDisplay() == nullptr || peer == nullptr)
        return;

    auto* display = windowSystem->getDisplay();
    auto& x = *juce::X11Symbols::getInstance();
    const auto handle = (::Window) peer->getNativeHandle();
    juce::XWindowSystemUtilities::ScopedXLock lock;

    // No input: the window manager gives the keyboard to it neither on a
    // click nor when it appears, and a user time of 0 asks again for the latter.
    if (auto* hints = x.xAllocWMHints())
    {
        hints->flags = InputHint | StateHint;
        hints->input = False;
        hints->initial_state = NormalState;
        x.xSetWMHints (display, handle, hints);
        x.xFree (hints);
    }

    const long noUserTime = 0;
    x.xChangeProperty (display, handle, x.xInternAtom (display, "_NET_WM_USER_TIME", False), XA_CARDINAL, 32,
                       PropModeReplace, (const unsigned char*) &noUserTime, 1);

    if (owner != nullptr && owner->getPeer() != nullptr)
    {
        // A transient window is kept above the one it is transient for.
        const auto ownerHandle = (::Window) owner->getPeer()->getNativeHandle();
        x.xChangeProperty (display, handle, XA_WM_TRANSIENT_FOR, XA_WINDOW, 32, PropModeReplace,
                           (const unsigned char*) &ownerHandle, 1);

        const auto dialogType = x.xInternAtom (display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
        x.xChangeProperty (display, handle, x.xInternAtom (display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM,
                           32, PropModeReplace, (const unsigned char*) &dialogType, 1);
    }

    x.xFlush (display);
#else
    juce::ignoreUnused (window, owner);
#endif
}
