#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Holds back the repaints of a component and of everything in it while its
    window cannot be seen (minimised or hidden), and repaints it whole once
    the window can be seen again.

    Every repaint of the component or of a child passes through the
    component's cached-image slot on its way to the window; the gate sits
    there and caches nothing: it paints the component straight through. The
    component keeps changing while the gate is shut (meters, read-outs and
    lamps take every reading); only their pictures wait. The window's first
    paint once it shows again opens the gate at once. The component must lie
    inside a window: a window itself is painted past this slot.

        auto* gate = new RepaintGate (editor);
        editor.setCachedComponentImage (gate);        // the editor owns it
        gate->setOpen (editor.isShowing());           // now and then

    Message thread only.
*/
class RepaintGate : public juce::CachedComponentImage
{
public:
    explicit RepaintGate (juce::Component& owner) noexcept;
    ~RepaintGate() override = default;

    /** Opening a shut gate repaints the whole component. */
    void setOpen (bool shouldBeOpen);
    bool isOpen() const noexcept { return open; }

    //==============================================================================
    void paint (juce::Graphics&) override;
    bool invalidateAll() override { return open; }
    bool invalidate (const juce::Rectangle<int>&) override { return open; }
    void releaseResources() override {}

private:
    juce::Component& owner;
    bool open = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RepaintGate)
};
