#pragma once

#include "MeterBallistics.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** A vertical level bar drawn from images, with its own smoothing, peak hold
    and an accelerating peak fall. Levels are fractions of the height, 0 at the
    bottom and 1 at the top; the editor's timer calls setLevel on every tick.

    The colour form generates its bar image (lowColour below splitPosition,
    highColour above); the two-image form draws the given foreground as it is,
    without peak marker or smoothing. */
class OVRAJuceVU : public juce::Component
{
public:
    OVRAJuceVU (juce::Image backgroundImage, juce::Colour lowColour, juce::Colour highColour,
                float splitPosition);
    OVRAJuceVU (juce::Image backgroundImage, juce::Image foregroundImage);
    ~OVRAJuceVU() override;

    /** Moves the colour change of the generated bar; redraws it only on a new value. */
    void setSplitPosition (float newSplitPosition);
    void updateImage();

    void setLevel (float value);

    void setHoldTicks (int ticks) { holdTicks = ticks; }

    /** Smoothing of the level; off at construction. */
    void setAttack (float newAttack) { ballistics.setAttack (newAttack); }
    void setReleaseTime (float seconds) { ballistics.setReleaseTime (seconds); }
    void setBallistics (bool on) { ballistics.setEnabled (on); }
    void setSampleRate (double rate) { ballistics.setSampleRate (rate); }
    double getSampleRate() const noexcept { return ballistics.getSampleRate(); }

    float getLevel() const noexcept { return level; }
    float getSplitPosition() const noexcept { return splitPosition; }
    int getHoldTicks() const noexcept { return holdTicks; }

    void paint (juce::Graphics&) override;

private:
    /** What paint lights, in rows from the bottom: the bar and the peak marker. */
    struct Rows
    {
        int lit = 0, peak = 0;
    };

    void runPeakHold() noexcept;
    Rows drawnRows() const noexcept;
    void repaintChangedRows (Rows before, Rows after);

    bool falling = false;
    int holdTicks = 20;
    int holdCounter = 0;
    float fallStep = 0.005f;
    int showPeak = 1;
    float level = 0.0f;
    float envelope = 0.0f;
    float peak = 0.0f;
    float splitPosition = 0.0f;
    MeterBallistics ballistics { false, 0.0 };
    juce::Colour lowColour, highColour;
    juce::Image backgroundImage;
    juce::Image foregroundImage;
    bool generatedForeground = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAJuceVU)
};
