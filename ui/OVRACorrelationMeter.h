#pragma once

#include "MeterBallistics.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <deque>
#include <map>
#include <vector>

/** The phase correlation of one channel pair (-1 to +1) as a strip with a
    scrolling trail: every reading adds a line at its column, the newest thick
    and opaque, the older ones thin and fading, each coloured by the zone of its
    column. The scale texts and the pair's name stand under the strip. */
class OVRACorrelationMeter : public juce::Component
{
public:
    OVRACorrelationMeter (int width, juce::Colour backgroundColour, juce::Colour negativeColour,
                          juce::Colour positiveColour, juce::Colour middleColour, juce::Colour frameColour,
                          const juce::Font& font, const juce::String& nameA, const juce::String& nameB);
    ~OVRACorrelationMeter() override;

    /** Smooths the reading and scrolls the trail by one line. */
    void setValue (float correlation);
    void buildColourMap (int columns);

    /** The displayed (smoothed) correlation. */
    float getValue() const noexcept { return value; }

    void setSampleRate (double rate) { ballistics.setSampleRate (rate); }
    double getSampleRate() const noexcept { return ballistics.getSampleRate(); }
    /** Weight of the previous value in the second smoothing stage. */
    void setAttack (float newAttack) { ballistics.setAttack (newAttack); }
    void setReleaseTime (float seconds) { ballistics.setReleaseTime (seconds); }
    /** The pair's name under the strip, "A / B". */
    juce::String getCaption() const { return nameLabel.getText(); }

    void paint (juce::Graphics&) override;

private:
    friend struct OVRACorrelationMeterProbe;

    int columnFor (float correlation) const;
    /** The x range whose pixels the latest reading changed; empty for none. */
    juce::Range<int> changedColumns() const;
    /** Where the trail's line at a place (0 the newest) covers for its column:
        the newest a pixel left of it and thicker, the older ones a pixel right. */
    juce::Range<float> lineSpan (size_t place, float column) const noexcept;

    int width;
    int height = 37;
    int drawWidth;
    int drawHeight;
    juce::Colour frameColour, negativeColour, positiveColour, middleColour, backgroundColour;
    std::vector<juce::Colour> columnColours;
    float olderLineWidth = 1.0f;
    float newestLineWidth = 4.0f;
    juce::Image backgroundImage;
    std::vector<float> columnX;
    std::deque<float> opacities;
    std::deque<float> history;
    std::deque<float> previousHistory;
    std::map<float, int> valueToX;
    int historyLength = 30;
    juce::Label minusOneLabel, zeroLabel, plusOneLabel, nameLabel;
    juce::Font font;
    juce::String nameA, nameB;
    MeterBallistics ballistics { true, 0.0 };
    float value = 1.0f;
    float envelope = 1.0f;
    bool needsRepaint = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRACorrelationMeter)
};
