#pragma once

// What the loudness benchmarks share: ten minutes of six-channel pink noise at
// 48 kHz in 512-frame blocks, fed block by block to the meter under test and
// to libebur128 in turn, so that both see the same audio and the same load on
// a shared machine. libebur128 measures M, S, I, LRA and true peak, with M and
// S read every 100 ms. Only the processing is timed: the noise is generated
// and interleaved outside the clock.

#include "Slots.h"
#include "TestSignals.h"

#include <ebur128.h>

#include <cstdint>
#include <vector>

namespace BenchSupport
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int numChannels = Slots::count;
constexpr double seconds = 600.0;
constexpr int64_t totalFrames = (int64_t) (seconds * sampleRate);
constexpr int framesPerPass = (int) (sampleRate / 10);

//==============================================================================
/** Six independent pink-noise channels, the same for every run. */
class PinkNoiseSource
{
public:
    explicit PinkNoiseSource (float amplitudeToUse) : amplitude (amplitudeToUse)
    {
        for (int c = 0; c < numChannels; ++c)
            noise.emplace_back ((uint32_t) (c + 1));
    }

    void fill (juce::AudioBuffer<float>& block)
    {
        for (int c = 0; c < numChannels; ++c)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (c, i, noise[(size_t) c].next (amplitude));
    }

private:
    float amplitude;
    std::vector<TestSignals::PinkNoise> noise;
};

//==============================================================================
/** libebur128 on the slots L, R, C, LFE, LS, RS, the LFE left out. */
class ReferenceMeter
{
public:
    ReferenceMeter()
    {
        state = ebur128_init ((unsigned) numChannels, (unsigned long) sampleRate,
                              EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA
                                  | EBUR128_MODE_TRUE_PEAK);

        const int channelMap[] = { EBUR128_LEFT,   EBUR128_RIGHT,         EBUR128_CENTER,
                                   EBUR128_UNUSED, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND };

        for (int c = 0; c < numChannels; ++c)
            ebur128_set_channel (state, (unsigned) c, channelMap[c]);
    }

    ~ReferenceMeter() { ebur128_destroy (&state); }

    /** Adds interleaved frames; reads M and S when a pass is due. */
    void add (const std::vector<float>& interleaved, bool passDue)
    {
        ebur128_add_frames_float (state, interleaved.data(), interleaved.size() / (size_t) numChannels);

        if (passDue)
        {
            ebur128_loudness_momentary (state, &momentary);
            ebur128_loudness_shortterm (state, &shortTerm);
        }
    }

    double integrated() const
    {
        double value = 0.0;
        ebur128_loudness_global (state, &value);
        return value;
    }

    double range() const
    {
        double value = 0.0;
        ebur128_loudness_range (state, &value);
        return value;
    }

    /** The last M and S read. */
    double momentary = 0.0, shortTerm = 0.0;

private:
    ebur128_state* state = nullptr;

    JUCE_DECLARE_NON_COPYABLE (ReferenceMeter)
};

//==============================================================================
/** Seconds of processing each side took. */
struct Timings
{
    double tested = 0.0, reference = 0.0;
};

/** Runs the noise through measure (block, passDue), the meter under test, and
    through the reference; passDue is true once per 100 ms of audio. */
template <typename Measure>
Timings runSideBySide (float amplitude, ReferenceMeter& reference, Measure&& measure)
{
    PinkNoiseSource source (amplitude);
    juce::AudioBuffer<float> block (numChannels, blockSize);
    juce::int64 testedTicks = 0, referenceTicks = 0;
    int framesSincePass = 0;

    for (int64_t done = 0; done < totalFrames; done += blockSize)
    {
        source.fill (block);
        const auto interleaved = TestSignals::interleave (block);

        framesSincePass += blockSize;
        const bool passDue = framesSincePass >= framesPerPass;

        if (passDue)
            framesSincePass -= framesPerPass;

        auto start = juce::Time::getHighResolutionTicks();
        measure (block, passDue);
        auto end = juce::Time::getHighResolutionTicks();
        testedTicks += end - start;

        start = end;
        reference.add (interleaved, passDue);
        referenceTicks += juce::Time::getHighResolutionTicks() - start;
    }

    return { juce::Time::highResolutionTicksToSeconds (testedTicks),
             juce::Time::highResolutionTicksToSeconds (referenceTicks) };
}
} // namespace BenchSupport
