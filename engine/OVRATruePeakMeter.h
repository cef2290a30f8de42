#pragma once

#include "RelaxedAtomic.h"
#include "Slots.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>

/** Per-channel true peak by polyphase interpolation with the 48-tap,
    four-phase filter of BS.1770 Annex 2: four phases at 44.1 and 48 kHz, two
    at 88.2 and 96 kHz, the sample magnitude itself at 176.4 and 192 kHz.

        meter.prepare (48000.0, 512);
        // fill meter.workBuffer with the block
        meter.processBlock();          // meter.levels now holds dBTP per channel

    One thread drives processSample and processBlock on an instance. prepare
    may run on another thread while processSample runs: it publishes the new
    configuration as one atomic value and the coefficients never change. It
    must not overlap processBlock, since it resizes workBuffer.
*/
class OVRATruePeakMeter
{
public:
    static constexpr int numChannels = Slots::count;
    static constexpr int numTaps = 12;
    static constexpr int numPhases = 4;

    using Phase = std::array<double, numTaps>;

    /** The interpolation filter's four phases in the standard's order;
        coefficient k multiplies the sample k steps back. */
    static const std::array<Phase, numPhases> interpolationPhases;

    OVRATruePeakMeter();

    //==============================================================================
    /** Loads the phase table for a new rate (a rate outside the six known ones
        keeps the previous configuration) and sizes workBuffer. */
    void prepare (double newSampleRate, int blockSize);

    /** True-peak magnitude (linear) of one sample on a channel 0..5. A NaN or
        infinite sample counts as silence. */
    float processSample (float sample, int channel) noexcept;

    /** Replaces every workBuffer sample by its true-peak magnitude and sets
        levels to each channel's block peak in dBTP (minus infinity for
        silence). */
    void processBlock() noexcept;

    /** processBlock on a copy of the source without making the copy:
        workBuffer takes the source's shape and receives the magnitudes. */
    void processBlock (const juce::AudioBuffer<float>& source) noexcept;

    //==============================================================================
    double sampleRate = 0.0;

    /** Which phases are loaded: 1 all four, 2 the second and fourth, 4 none
        (0 until a known rate has been prepared). */
    RelaxedAtomic<int> tableSet { 0 };

    /** Phases evaluated per sample: 4, 2 or 0. */
    RelaxedAtomic<int> phaseCount { 0 };

    juce::AudioBuffer<float> workBuffer;

    /** dBTP of each channel's last block; -70 before the first block. The
        audio thread writes them, the editor may read them. */
    std::array<RelaxedAtomic<float>, numChannels> levels;

private:
    /** Frames interpolated per pass through scratchLine. */
    static constexpr int chunkLength = 256;

    std::array<std::array<double, numTaps>, numChannels> delayLines {};
    std::array<double, numTaps - 1 + chunkLength> scratchLine {};

    /** Measures the source into workBuffer, which may be the source itself. */
    void process (const juce::AudioBuffer<float>& source) noexcept;

    JUCE_LEAK_DETECTOR (OVRATruePeakMeter)
};
