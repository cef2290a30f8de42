#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cstdint>
#include <vector>

/** Signal generators shared by the tests and the benchmarks. Every generator
    is deterministic, so a failing case can be replayed. */
namespace TestSignals
{
/** Writes amplitude * sin (2 pi f t + phase) into one channel, starting at
    sample index startFrame of an endless signal (so consecutive blocks join
    without a seam). */
void writeSine (juce::AudioBuffer<float>& buffer, int channel, double frequency, double sampleRate,
                float amplitude, int64_t startFrame = 0, double phaseRadians = 0.0);

/** Deterministic white noise in [-amplitude, amplitude]. */
class WhiteNoise
{
public:
    explicit WhiteNoise (uint32_t seed = 1) : state (seed == 0 ? 1u : seed) {}
    float next (float amplitude) noexcept;

private:
    uint32_t state;
};

/** Deterministic pink noise (-3 dB per octave) by the Voss-McCartney
    filter bank of Paul Kellet, roughly within [-amplitude, amplitude]. */
class PinkNoise
{
public:
    explicit PinkNoise (uint32_t seed = 1) : white (seed) {}
    float next (float amplitude) noexcept;

private:
    WhiteNoise white;
    float b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
};

/** The buffer's frames as one interleaved array (frame by frame, channel by
    channel), the layout that reference libraries take. */
std::vector<float> interleave (const juce::AudioBuffer<float>& buffer);

/** Linear gain for a level in dB. */
inline float dbToGain (float db) { return juce::Decibels::decibelsToGain (db, -1000.0f); }
} // namespace TestSignals
