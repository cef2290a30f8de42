#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** An arrow image that slides over a scale image, centred on the level height
    (0 at the bottom edge, 1 at the top). The caller smooths the level. */
class OVRAJuceArrowVU : public juce::Component
{
public:
    OVRAJuceArrowVU (juce::Image backgroundImage, juce::Image arrowImage);
    ~OVRAJuceArrowVU() override = default;

    /** Clamps to 0..1; repaints only when the arrow moves to another row. */
    void setLevel (float value);
    float getLevel() const noexcept { return level; }

    void paint (juce::Graphics&) override;

private:
    /** Where paint puts the arrow image. */
    juce::Rectangle<int> arrowArea() const noexcept;

    float level = 0.0f;
    juce::Image backgroundImage;
    juce::Image arrowImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAJuceArrowVU)
};
