#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The user's lock of the editor: a translucent layer that takes every mouse
    click over the controls under it, with a banner saying how to unlock. */
class LockComponent : public juce::Component
{
public:
    LockComponent();
    ~LockComponent() override = default;

    void paint (juce::Graphics&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LockComponent)
};
