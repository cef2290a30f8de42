#pragma once

#include "ExponentialScale.h"
#include "MeterBallistics.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <deque>

/** The sound field: the front pair's levels as a filled triangle, L up-left and
    R up-right, over concentric dB circles on an exponential scale. The five
    main channels' energy centroid decides when it repaints. Message thread only.

        OVRADrawVectorscope field (background, text, level, alarm, font);
        field.setScale (10);
        field.setLevels (l, r, c, lfe, ls, rs);   // positions 0 .. 1
        field.pushLevels();
*/
class OVRADrawVectorscope : public juce::Component
{
public:
    OVRADrawVectorscope (juce::Colour backgroundColour, juce::Colour textColour, juce::Colour levelColour,
                         juce::Colour alarmColour, const juce::Font& font);
    ~OVRADrawVectorscope() override;

    /** Selects the dB range and the circles; an id outside the table removes
        the circles and keeps the range. */
    void setScale (int id);
    void setLevels (float l, float r, float c, float lfe, float ls, float rs);
    /** The smoothed levels, L, R, C, LFE, LS, RS. */
    std::array<float, 6> getLevels() const noexcept { return levels; }
    void pushLevels();
    /** Repaints the level triangle where it moved since the last request;
        nothing when its corners stand where they did. */
    void repaintLevels();
    void setAlarmLevel (float dB);

    void setSampleRate (double rate) { ballistics.setSampleRate (rate); }
    double getSampleRate() const noexcept { return ballistics.getSampleRate(); }
    /** Weight of the new value in the second smoothing stage. */
    void setAttack (float newAttack) { ballistics.setAttack (newAttack); }
    void setReleaseTime (float seconds) { ballistics.setReleaseTime (seconds); }

    /** Pixel radius of a level on the current scale, clamped to it. */
    int dbToRadius (float dB);
    /** Pixel radius of a level on the fixed -60 .. +5 dB scale. */
    int levelToRadius (float dB);

    void paint (juce::Graphics&) override;

private:
    friend struct OVRADrawVectorscopeProbe; // the tests read the smoothed state

    enum Channel
    {
        left,
        right,
        centreChannel,
        lfe,
        leftSurround,
        rightSurround,
        numChannels
    };

    void setRange (float min, float max);
    void drawGrid();
    /** The triangle's L and R corners as paint draws them. */
    std::pair<juce::Point<float>, juce::Point<float>> levelCorners() const noexcept;

    const int size = 283;
    int range = 0;
    int radiusPx = 0;
    int minDb = 0, maxDb = 0;
    const float centre = (float) (size / 2);
    const float radius = (float) (size / 2 - 12);
    const float segmentOpacity = 1.0f;
    const float fillAlpha = 0.5f;
    ExponentialScale scale, alarmScale;
    float alarmRadius = 95.0f;
    std::array<double, 8> directions;
    juce::Colour backgroundColour, textColour, levelColour, alarmColour;
    const juce::Colour fillColour { 0xff008000 };
    juce::Path outerCircle, levelShape, gridCircles;
    const juce::PathStrokeType outerStroke { 2.0f, juce::PathStrokeType::curved, juce::PathStrokeType::butt };
    const juce::PathStrokeType gridStroke { 0.4f, juce::PathStrokeType::curved, juce::PathStrokeType::butt };
    juce::Image grid;
    /** The corners of the last repainted triangle, in the renderer's 1/256 pixel steps. */
    std::array<int, 4> drawnCorners {};
    bool alarmZone = false;
    std::array<juce::Label, 5> channelLabels;
    std::array<juce::Label, 6> tickLabels;
    juce::Font font;
    std::deque<int> ticks;
    std::deque<float> xHistory, yHistory, previousX, previousY;
    MeterBallistics ballistics { true, 48000.0 };
    std::array<float, numChannels> levels {};
    std::array<float, numChannels> envelopes {};
    int scaleId = -3;
    float alarmLevel = -20.0f;
    const int historyLength = 30;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRADrawVectorscope)
};
