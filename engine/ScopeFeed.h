#pragma once

#include "OVRAAudioFifo.h"
#include "OVRATruePeakMeter.h"
#include "RelaxedAtomic.h"

#include <juce_core/juce_core.h>

#include <map>

/** Carries the processor's routed six-channel audio to the vectroscope: a
    FIFO of 16384 frames without overlap, written on the audio thread and read
    in blocks on the vectroscope's thread, plus the two slots it shows. The
    true-peak meter base serves the vectroscope's logarithmic mode.
*/
class ScopeFeed : public OVRATruePeakMeter
{
public:
    static constexpr int fifoCapacity = 16384;

    ScopeFeed();
    ~ScopeFeed();

    //==============================================================================
    /** Chooses the slot of each axis by name: "L", "R", "C", "LFE", "LS", "RS". */
    void setXChannel (const juce::String& name);
    void setYChannel (const juce::String& name);

    /** Reader thread: reads n frames (missing ones zero) and puts the x slot
        into output channel 0 and the y slot into channel 1. */
    void readLatest (juce::AudioBuffer<float>& output, int numFrames);

    //==============================================================================
    std::map<juce::String, int> channelIndexByName;
    RelaxedAtomic<int> xChannel { 0 };
    RelaxedAtomic<int> yChannel { 1 };
    std::unique_ptr<OVRAAudioFifo> fifo;

private:
    juce::AudioBuffer<float> scratch;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ScopeFeed)
};
