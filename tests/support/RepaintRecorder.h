#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Records the repaints a visible component asks for, without a window: how
    many, and the area they cover together. Set on the component, which owns it:

        auto& repaints = RepaintRecorder::attachTo (component);
        component.setValue (x);
        EXPECT_TRUE (repaints.area.contains (changedPixel));
*/
struct RepaintRecorder : juce::CachedComponentImage
{
    static RepaintRecorder& attachTo (juce::Component& component)
    {
        auto* recorder = new RepaintRecorder();
        component.setVisible (true);
        component.setCachedComponentImage (recorder);
        recorder->clear();
        return *recorder;
    }

    void clear()
    {
        count = 0;
        area = {};
    }

    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { return add ({ 0, 0, 1 << 20, 1 << 20 }); }
    bool invalidate (const juce::Rectangle<int>& a) override { return add (a); }
    void releaseResources() override {}

    int count = 0;
    juce::Rectangle<int> area;

private:
    bool add (juce::Rectangle<int> a)
    {
        ++count;
        area = area.getUnion (a);
        return false;
    }
};
