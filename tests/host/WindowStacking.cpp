// The framework's X11 declarations are wanted here, so this file is compiled
// without the shared precompiled header, which has them left out.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "WindowStacking.h"

#include <algorithm>

namespace
{
/** The children of a window, bottom first. */
std::vector<::Window> childrenOf (::Display* display, ::Window window, ::Window& parent)
{
    auto& x = *juce::X11Symbols::getInstance();
    ::Window root = 0, *children = nullptr;
    unsigned int count = 0;
    parent = 0;

    if (x.xQueryTree (display, window, &root, &parent, &children, &count) == 0)
        return {};

    std::vector<::Window> found (children, children + count);

    if (children != nullptr)
        x.xFree (children);

    return found;
}

/** The child of the root that holds a window: its frame under a window manager. */
::Window topLevelOf (::Display* display, ::Window root, ::Window window)
{
    for (::Window parent = 0; window != 0; window = parent)
    {
        childrenOf (display, window, parent);

        if (parent == root)
            return window;
    }

    return 0;
}
} // namespace

bool WindowStacking::isAbove (juce::Component& upper, juce::Component& lower)
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();

    if (windowSystem == nullptr || upper.getPeer() == nullptr || lower.getPeer() == nullptr)
        return false;

    auto* display = windowSystem->getDisplay();
    auto& x = *juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;
    x.xSync (display, False);

    const auto root = x.xRootWindow (display, x.xDefaultScreen (display));
    const auto a = topLevelOf (display, root, (::Window) upper.getPeer()->getNativeHandle());
    const auto b = topLevelOf (display, root, (::Window) lower.getPeer()->getNativeHandle());
    ::Window none = 0;
    const auto stack = childrenOf (display, root, none);
    const auto at = [&stack] (::Window w) {
        return std::find (stack.begin(), stack.end(), w) - stack.begin();
    };

    return a != 0 && b != 0 && at (a) > at (b) && at (a) < (long) stack.size();
}
