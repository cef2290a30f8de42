#pragma once

#include "RelaxedAtomic.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>

/** Per-channel true peak by polyphase interpolation with the 48-tap,
    four-phase filter of BS.1770 Annex 2: four phases at 44.1 and 48 kHz, two
    at 88.2 and 96 kHz, the sample magnitude itself at 176.4 and 192 kHz.

        meter.prepare (48000.0, 512);
        // fill meter.workBuffer with the block
        meter.processBlock();          // meter.levels now holds dBTP per channel

    One thread drives an instance; prepare must not overlap processing.
*/
class OVRATruePeakMeter
{
public:
    static constexpr int numChannels = 6;
    static constexpr int numTaps = 12;
    static constexpr int numPhases = 4;

    OVRATruePeakMeter();

    //==============================================================================
    /** Loads the phase table for a new rate (a rate outside the six known ones
        keeps the previous configuration) and sizes workBuffer. */
    void prepare (double newSampleRate, int blockSize);

    /** True-peak magnitude (linear) of one sample on a channel 0..5. */
    float processSample (float sample, int channel) noexcept;

    /** Replaces every workBuffer sample by its true-peak magnitude and sets
        levels to each channel's block peak in dBTP (minus infinity for
        silence). */
    void processBlock() noexcept;

    //==============================================================================
    double sampleRate = 0.0;
    int tableSet = 0;
    int phaseCount = 0;
    juce::AudioBuffer<float> workBuffer;

    /** dBTP of each channel's last block; -70 before the first block. The
        audio thread writes them, the editor may read them. */
    std::array<RelaxedAtomic<float>, numChannels> levels;

private:
    std::array<std::array<double, numTaps>, numChannels> delayLines {};
    std::array<std::array<double, numTaps>, numPhases> phaseTable {};
};
