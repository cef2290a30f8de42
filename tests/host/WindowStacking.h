#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** How the X server stacks two of the program's windows, with the frames of a
    window manager: whether upper shows above lower. False when either has no
    window on the display. */
namespace WindowStacking
{
bool isAbove (juce::Component& upper, juce::Component& lower);
}
