#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The program's own look and feel: flat combo boxes in the meter's colours
    and bar sliders where the framework draws them glossy, and a diagnostic log
    line for every slider thumb it paints. Everything else is the framework's
    V2 look. A component's own colours still come first. */
class ZelxLookAndFeel : public juce::LookAndFeel_V2
{
public:
    ZelxLookAndFeel();
    ~ZelxLookAndFeel() override = default;

    void drawComboBox (juce::Graphics&, int width, int height, bool isMouseButtonDown, int buttonX,
                       int buttonY, int buttonW, int buttonH, juce::ComboBox&) override;

    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                           float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                           juce::Slider&) override;

    void drawLinearSliderThumb (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                juce::Slider&) override;

    /** A bar drawn flat in baseColour with a half-black outline; nothing when
        it is no taller than the outline. */
    void drawFlatBarShape (juce::Graphics&, float x, float y, float w, float h, float maxCornerSize,
                           juce::Colour baseColour, float strokeWidth);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZelxLookAndFeel)
};
