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
        vectorThread.addTimeSliceClient (&scope);   // reads there in the logarithmic mode
        // every display tick on the message thread, while the scope is on screen:
        scope.refresh();
        // and while it is not:
        scope.skipWaitingAudio();

    Only the newest 16 blocks are ever seen, so the linear mode reads them at
    the display's tick, on the message thread, and repaints only where dots
    came or went: a few microseconds a tick, where waking a thread for them
    costs more. The logarithmic mode, whose level meter must see every frame,
    reads on the owner's thread. The owner removes the scope from its thread
    before destroying it. Setters, layout and painting belong to the message
    thread; the feed's reads take turns under a lock.
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

    /** Message thread, once a display tick while the scope is on screen:
        reads the newest audio into the trail and repaints where dots came or
        went. In the logarithmic mode the thread reads, and the whole scope is
        repainted. */
    void refresh();

    /** Message thread, while the scope is not on screen: drops what waits in
        the feed, so that it holds only recent audio when the scope shows
        again (a full feed drops the newest). */
    void skipWaitingAudio();

    /** Time-slice thread: in the logarithmic mode, reads every whole block
        of 64 waiting frames into the trail; in the linear mode, nothing. */
    int useTimeSlice() override;

    void timerCallback() override;

    //==============================================================================
    static constexpr bool startOwnTimer = false;
    /** The logarithmic mode's slices: the trail is painted every 50 ms and
        the audio comes in device blocks. */
    static constexpr int waitMs = 10;
    /** The linear mode asks for no slices; one comes only after the longest
        wait of a time-slice thread. */
    static constexpr int idleWaitMs = 500;
    static constexpr int timerIntervalMs = 50;
    static constexpr int blockSize = 64;
    static constexpr int trailLength = 16;

    /** The axes' directions, in the order of axisEnds: 135, 45, 225 and 315 degrees. */
    static constexpr std::array<float, 4> axisAngles { 2.3561945f, 0.7853982f, 3.9269910f, 5.4977875f };

    /** trailColour from alpha 1 at the newest block, fading by 1 / trailLength a block. */
    const std::vector<juce::Colour> trailColours;

    const juce::Colour backgroundColour, axisColour, trailColour;

private:
    std::atomic<bool> logarithmic { false };

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

    // Where the dots stood when a repaint was last asked for. Message thread.
    juce::Rectangle<int> shownArea;

    // The feed's reader side, taken by whichever thread reads.
    juce::CriticalSection readLock;
    juce::AudioBuffer<float> block;
    std::vector<juce::Point<float>> nextPoints;
    ExponentialScale levelScale;

    void rebuildBackground();
    /** Reads every whole block waiting, the last one read becoming the
        trail's newest; in the linear mode those older than the trail's
        length are skipped. Returns whether the trail changed. */
    bool readWaitingBlocks();
    void readBlock();
    /** The pixels the trail's dots cover, as paint puts them. */
    juce::Rectangle<int> dotArea() const;
    float toUnit (float sample, int channel) noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAVectroscope)
};
