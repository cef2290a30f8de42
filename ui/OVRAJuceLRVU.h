#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A lit band between a low and a high fraction of the height, copied from
    a foreground image over a background image. The caller smooths both ends. */
class OVRAJuceLRVU : public juce::Component
{
public:
    OVRAJuceLRVU (juce::Image backgroundImage, juce::Image foregroundImage);
    ~OVRAJuceLRVU() override = default;

    /** Clamps both ends to 0..1; repaints once when either end moved to another row. */
    void setRange (float newLow, float newHigh);
    float getLow() const noexcept { return low; }
    float getHigh() const noexcept { return high; }

    void paint (juce::Graphics&) override;

private:
    /** The band's lower and upper row, counted from the bottom. */
    std::pair<int, int> bandRows() const noexcept;

    float low = 0.0f;
    float high = 0.0f;
    juce::Image backgroundImage;
    juce::Image foregroundImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAJuceLRVU)
};
