#pragma once

#include "OVRAAudioFifo.h"
#include "OVRATruePeakMeter.h"
#include "RelaxedAtomic.h"
#include "Slots.h"

#include <juce_core/juce_core.h>

#include <map>
#include <memory>

/** Carries the processor's routed six-channel audio to the vectroscope: a
    FIFO of 16384 frames without overlap, written on the audio thread and read
    in blocks on the vectroscope's thread, plus the two slots it shows. The
    true-peak meter base serves the vectroscope's logarithmic mode.

        feed.fifo->write (workBuffer);                  // audio thread
        if (feed.fifo->getNumReady() >= 64)
            feed.readLatest (xy, 64);                   // vectroscope thread
*/
class ScopeFeed : public OVRATruePeakMeter
{
public:
    static constexpr int fifoCapacity = 16384;

    ScopeFeed();
    ~ScopeFeed();

    //==============================================================================
    /** Chooses the slot of each axis by its name in Slots::names; any other
        name picks slot 0. */
    void setXChannel (const juce::String& name);
    void setYChannel (const juce::String& name);

    /** Slot of a channel name, 0 for a name that is not one of the six. */
    int slotForName (const juce::String& name) const;

    /** Reader thread: reads n frames (missing ones zero) and puts the x slot
        into output channel 0 and the y slot into channel 1. Allocates only
        when n or the output's shape changes. */
    void readLatest (juce::AudioBuffer<float>& output, int numFrames);

    //==============================================================================
    /** Filled once by the constructor and only read afterwards, so that the
        message thread may look names up while the vectroscope reads. */
    std::map<juce::String, int> channelIndexByName;
    RelaxedAtomic<int> xChannel { 0 };
    RelaxedAtomic<int> yChannel { 1 };
    std::unique_ptr<OVRAAudioFifo> fifo;

private:
    juce::AudioBuffer<float> scratch;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ScopeFeed)
};
