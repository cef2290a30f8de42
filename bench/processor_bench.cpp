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

/** Both meters side by side: each block goes to the processor and to
    libebur128 in turn, so that both see the same audio and the same load on
    a shared machine. */
class SideBySide
{
public:
    SideBySide()
    {
        processor.setPlayConfigDetails (numChannels, numChannels, sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
        processor.releaseResources(); // the loudness pass runs here, not on its thread

        ChannelLayout all;
        all.channels = { 0, 1, 2, 3, 4, 5 };
        processor.setInputLayout (all);
        processor.setOutputLayout (all);
        processor.setParameterValue (0, 1.0f);

        reference = ebur128_init (numChannels, (unsigned long) sampleRate,
                                  EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA
                                      | EBUR128_MODE_TRUE_PEAK);
    }

    ~SideBySide() { ebur128_destroy (&reference); }

    void run()
    {
        Source source;
        juce::AudioBuffer<float> block (numChannels, blockSize);
        std::vector<float> interleaved ((size_t) (numChannels * blockSize));
        juce::MidiBuffer midi;
        int sinceRead = 0;

        for (int64_t done = 0; done < totalFrames; done += blockSize)
        {
            source.fill (block);

            for (int i = 0; i < blockSize; ++i)
                for (int c = 0; c < numChannels; ++c)
                    interleaved[(size_t) (i * numChannels + c)] = block.getSample (c, i);

            sinceRead += blockSize;
            const bool read = sinceRead >= framesPerRead;

            if (read)
                sinceRead -= framesPerRead;

            auto start = juce::Time::getHighResolutionTicks();
            processor.processBlock (block, midi);

            if (read)
                processor.loudnessModule.computeLoudness();

            auto end = juce::Time::getHighResolutionTicks();
            processorTicks += end - start;

            start = end;
            ebur128_add_frames_float (reference, interleaved.data(), blockSize);

            if (read)
            {
                ebur128_loudness_momentary (reference, &momentary);
                ebur128_loudness_shortterm (reference, &shortTerm);
            }

            referenceTicks += juce::Time::getHighResolutionTicks() - start;
        }
    }

    double processorSeconds() const { return juce::Time::highResolutionTicksToSeconds (processorTicks); }
    double referenceSeconds() const { return juce::Time::highResolutionTicksToSeconds (referenceTicks); }

    double processorIntegrated() const { return processor.loudnessModule.results.integratedLoudness.get(); }

    double referenceIntegrated() const
    {
        double integrated = 0.0;
        ebur128_loudness_global (reference, &integrated);
        return integrated;
    }

    double momentary = 0.0, shortTerm = 0.0;

private:
    OvrajuceLoudnessAudioProcessor processor;
    ebur128_state* reference = nullptr;
    juce::int64 processorTicks = 0, referenceTicks = 0;
};
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI juce;

    SideBySide meters;
    meters.run();

    const double processorSpeed = seconds / meters.processorSeconds();
    const double referenceSpeed = seconds / meters.referenceSeconds();

    std::printf ("processBlock, 6 channels, 48 kHz, 512-frame blocks, %.0f s of pink noise\n", seconds);
    std::printf ("  processor   %8.1f x real time   (integrated %.1f LUFS)\n", processorSpeed,
                 meters.processorIntegrated());
    std::printf ("  libebur128  %8.1f x real time   (integrated %.1f LUFS, last M %.1f, S %.1f)\n",
                 referenceSpeed, meters.referenceIntegrated(), meters.momentary, meters.shortTerm);
    std::printf ("  ratio       %8.2f (goal: at least 2)\n", processorSpeed / referenceSpeed);
    return 0;
}
