#include "TestSignals.h"

#include <cmath>

namespace TestSignals
{
void writeSine (juce::AudioBuffer<float>& buffer, int channel, double frequency, double sampleRate,
                float amplitude, int64_t startFrame, double phaseRadians)
{
    auto* out = buffer.getWritePointer (channel);
    const double step = juce::MathConstants<double>::twoPi * frequency / sampleRate;
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        out[i] = amplitude * (float) std::sin (step * (double) (startFrame + i) + phaseRadians);
}

float WhiteNoise::next (float amplitude) noexcept
{
    // xorshift32: fast, deterministic, good enough for test programmes.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return amplitude * ((float) (state >> 8) / 8388608.0f - 1.0f);
}

float PinkNoise::next (float amplitude) noexcept
{
    const float w = white.next (1.0f);
    b0 = 0.99886f * b0 + w * 0.0555179f;
    b1 = 0.99332f * b1 + w * 0.0750759f;
    b2 = 0.96900f * b2 + w * 0.1538520f;
    b3 = 0.86650f * b3 + w * 0.3104856f;
    b4 = 0.55000f * b4 + w * 0.5329522f;
    b5 = -0.7616f * b5 - w * 0.0168980f;
    const float pink = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362f;
    b6 = w * 0.115926f;
    return amplitude * pink * 0.11f;
}
std::vector<float> interleave (const juce::AudioBuffer<float>& buffer)
{
    using Format = juce::AudioData::Format<juce::AudioData::Float32, juce::AudioData::NativeEndian>;
    std::vector<float> frames ((size_t) buffer.getNumChannels() * (size_t) buffer.getNumSamples());
    const int channels = buffer.getNumChannels();
    juce::AudioData::interleaveSamples (
        juce::AudioData::NonInterleavedSource<Format> { buffer.getArrayOfReadPointers(), channels },
        juce::AudioData::InterleavedDest<Format> { frames.data(), channels }, buffer.getNumSamples());
    return frames;
}
} // namespace TestSignals
