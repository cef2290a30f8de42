#include "LockComponent.h"

LockComponent::LockComponent()
{
    // A click on the veil must not hand the focus to a control under it: a text
    // editor that had the focus keeps receiving keys.
    setMouseClickGrabsKeyboardFocus (false);
}

void LockComponent::paint (juce::Graphics& g)
{
    const juce::Rectangle<int> banner (210, 0, 500, 110);

    g.setColour (juce::Colours::black);
    g.setOpacity (0.3f);
    g.fillRect (getLocalBounds());

    g.setOpacity (1.0f);
    g.fillRect (banner);

    g.setFont (juce::Font (16.0f, juce::Font::plain));
    g.setColour (juce::Colours::white);
    g.drawText ("To access the interface, please click the unlock button.", banner.toFloat(),
                juce::Justification::centred, true);
}
