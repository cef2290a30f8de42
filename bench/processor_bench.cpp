// The whole audio processor against libebur128 in its live pattern, on the
// same ten minutes of six-channel pink noise at 48 kHz in 512-frame blocks.
//
// The processor routes, measures loudness and true peak, feeds the scope,
// publishes, correlates and passes the audio through; its loudness pass runs
// in the same thread after every 100 ms of audio. libebur128 measures M, S, I,
// LRA and true peak, with M and S read every 100 ms. Only the processing is
// timed: the noise is generated (and, for libebur128, interleaved) outside.

#include "OvrajuceLoudnessAudioProcessor.h"
#include "TestSignals.h"

#include <ebur128.h>

#include <array>
#include <cstdio>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int numChannels = 6;
constexpr double seconds = 600.0;
constexpr int64_t totalFrames = (int64_t) (seconds * sampleRate);
constexpr int framesPerRead = (int) (sampleRate / 10);

/** Six independent pink-noise channels, the same for every run. */
class Source
{
public:
    Source()
    {
        for (int c = 0; c < numChannels; ++c)
            noise.emplace_back ((uint32_t) (c + 1));
    }

    void fill (juce::AudioBuffer<float>& block)
    {
        for (int c = 0; c < numChannels; ++c)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (c, i, noise[(size_t) c].next (0.5f));
    }

private:
    std::vector<TestSignals::PinkNoise> noise;
};

double elapsedSeconds (juce::int64 ticks)
{
    return juce::Time::highResolutionTicksToSeconds (ticks);
}

struct Result
{
    double processingSeconds = 0.0;
    double integrated = 0.0;
};

Result runProcessor()
{
    OvrajuceLoudnessAudioProcessor processor;
    processor.setPlayConfigDetails (numChannels, numChannels, sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
    processor.releaseResources(); // the loudness pass runs here, not on its thread

    ChannelLayout all;
    all.channels = { 0, 1, 2, 3, 4, 5 };
    processor.setInputLayout (all);
    processor.setOutputLayout (all);
    processor.setParameterValue (0, 1.0f);

    Source source;
    juce::AudioBuffer<float> block (numChannels, blockSize);
    juce::MidiBuffer midi;
    juce::int64 ticks = 0;
    int sinceRead = 0;

    for (int64_t done = 0; done < totalFrames; done += blockSize)
    {
        source.fill (block);
        const auto start = juce::Time::getHighResolutionTicks();
        processor.processBlock (block, midi);
        sinceRead += blockSize;

        if (sinceRead >= framesPerRead)
        {
            processor.loudnessModule.computeLoudness();
            sinceRead -= framesPerRead;
        }

        ticks += juce::Time::getHighResolutionTicks() - start;
    }

    return { elapsedSeconds (ticks), (double) processor.loudnessModule.results.integratedLoudness.get() };
}

Result runLibebur128()
{
    auto* state = ebur128_init (numChannels, (unsigned long) sampleRate,
                                EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA
                                    | EBUR128_MODE_TRUE_PEAK);
    Source source;
    juce::AudioBuffer<float> block (numChannels, blockSize);
    std::vector<float> interleaved ((size_t) (numChannels * blockSize));
    juce::int64 ticks = 0;
    int sinceRead = 0;
    double momentary = 0.0, shortTerm = 0.0, sink = 0.0;

    for (int64_t done = 0; done < totalFrames; done += blockSize)
    {
        source.fill (block);

        for (int i = 0; i < blockSize; ++i)
            for (int c = 0; c < numChannels; ++c)
                interleaved[(size_t) (i * numChannels + c)] = block.getSample (c, i);

        const auto start = juce::Time::getHighResolutionTicks();
        ebur128_add_frames_float (state, interleaved.data(), blockSize);
        sinceRead += blockSize;

        if (sinceRead >= framesPerRead)
        {
            ebur128_loudness_momentary (state, &momentary);
            ebur128_loudness_shortterm (state, &shortTerm);
            sink += momentary + shortTerm;
            sinceRead -= framesPerRead;
        }

        ticks += juce::Time::getHighResolutionTicks() - start;
    }

    Result result { elapsedSeconds (ticks), 0.0 };
    ebur128_loudness_global (state, &result.integrated);

    double range = 0.0, peak = 0.0;
    ebur128_loudness_range (state, &range);
    ebur128_true_peak (state, 0, &peak);
    ebur128_destroy (&state);

    if (sink == 1.0) // keeps the reads from being optimised away
        std::printf (" ");

    return result;
}
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI juce;

    const auto processor = runProcessor();
    const auto reference = runLibebur128();

    const double processorSpeed = seconds / processor.processingSeconds;
    const double referenceSpeed = seconds / reference.processingSeconds;

    std::printf ("processBlock, 6 channels, 48 kHz, 512-frame blocks, %.0f s of pink noise\n", seconds);
    std::printf ("  processor   %8.1f x real time   (integrated %.1f LUFS)\n", processorSpeed,
                 processor.integrated);
    std::printf ("  libebur128  %8.1f x real time   (integrated %.1f LUFS)\n", referenceSpeed,
                 reference.integrated);
    std::printf ("  ratio       %8.2f (goal: at least 2)\n", processorSpeed / referenceSpeed);
    return 0;
}
