#include "RepaintGate.h"

RepaintGate::RepaintGate (juce::Component& ownerToGate) noexcept : owner (ownerToGate) {}

void RepaintGate::setOpen (bool shouldBeOpen)
{
    if (shouldBeOpen == open)
        return;

    open = shouldBeOpen;

    // What changed while shut was never drawn; a window shown again may even
    // keep its old picture.
    if (open)
        owner.repaint();
}

void RepaintGate::paint (juce::Graphics& g)
{
    // Only the window paints through here, and only once it can be seen.
    setOpen (true);
    owner.paintEntireComponent (g, false);
}
