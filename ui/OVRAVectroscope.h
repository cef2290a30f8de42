#pragma once

#include "ExponentialScale.h"
#include "ScopeFeed.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <atomic>
#include <list>
#include <vector>

/** The X/Y scope of one channel pair: every frame becomes a dot, rotated by
    45 degrees so that mono stands vertical and each channel alone runs along
    a diagonal. The dots of the last 16 blocks of 64 frames stay, fading with
    age.

        OVRAVectroscope scope (&processor.scopeFeed, green, white, black);
        scope.setYChannel ("L");
        scope.setXChannel ("R");
        vectorThread.addTimeSliceClient (&scope);   // reads the feed there
        // every display tick on the message thread:
        scope.repaint();

    The owner removes it from its thread before destroying it. Setters, layout
    and painting belong to the message thread; useTimeSlice to one reader
    thread, the feed's only reader.
*/
class OVRAVectroscope : public juce::Component, public juce::TimeSliceClient, public juce::Timer
{
public:
    OVRAVectroscope (ScopeFeed* feed, juce::Colour trailColour, juce::Colour axisColour,
                     juce::Colour backgroundColour);
    ~OVRAVectroscope() override;

    //==============================================================================
    /** Picks the slot drawn on each axis by its name in Slots::names (any
        other name shows slot 0) and names the axis. */
    void setXChannel (const juce::String& name);
    void setYChannel (const juce::String& name);

    /** Dots placed by true-peak level on a -60 .. +5 dB scale instead of by
        sample value. */
    void setLogarithmic (bool shouldBeLogarithmic);

    void resized() override;
    void paint (juce::Graphics&) override;
    void visibilityChanged() override;

    /** Reader thread: turns the whole blocks of 64 waiting frames into the
        trail, the last one read becoming its newest block; in the linear mode
        those older than the trail's length are skipped. */
    int useTimeSlice() override;

    void timerCallback() override;

    //==============================================================================
    static constexpr bool startOwnTimer = false;
    /** The trail is painted every 50 ms and the audio comes in device blocks:
        a slice every 10 ms keeps it as fresh as the display needs, where a
        slice every millisecond kept the thread waking a thousand times a second. */
    static constexpr int waitMs = 10;
    /** While hidden the trail is kept current at the display's pace only. */
    static constexpr int hiddenWaitMs = 50;
    static constexpr int timerIntervalMs = 50;
    static constexpr int blockSize = 64;
    static constexpr int trailLength = 16;

    /** The axes' directions, in the order of axisEnds: 135, 45, 225 and 315 degrees. */
    static constexpr std::array<float, 4> axisAngles { 2.3561945f, 0.7853982f, 3.9269910f, 5.4977875f };

    /** trailColour at alpha 1, 0.9375, ... 0.0625 from the newest block to the oldest. */
    const std::vector<juce::Colour> trailColours;

    const juce::Colour backgroundColour, axisColour, trailColour;

private:
    std::atomic<bool> logarithmic { false };
    std::atomic<bool> visible { false };

    // Written by resized; radius and centre are read by the reader thread,
    // so those change only under the lock.
    int width = 0, height = 0;
    float radius = 0.0f, centreX = 0.0f, centreY = 0.0f;
    std::array<juce::Point<float>, 4> axisEnds;

    juce::Image background;
    juce::String xName, yName;
    ScopeFeed* const feed;

    juce::CriticalSection lock;
    std::list<std::vector<juce::Point<float>>> trail; // newest first

    // Reader thread only.
    juce::AudioBuffer<float> block;
    std::vector<juce::Point<float>> nextPoints;
    ExponentialScale levelScale;

    void rebuildBackground();
    void readBlock();
    float toUnit (float sample, int channel) noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAVectroscope)
};
