// The whole audio processor against libebur128 in its live pattern, on the
// same ten minutes of six-channel pink noise at 48 kHz in 512-frame blocks.
//
// The processor routes, measures loudness and true peak, feeds the scope,
// publishes, correlates and passes the audio through; its loudness pass runs
// in the same thread after every 100 ms of audio. Another thread reads the
// scope feed in 64-frame blocks meanwhile, as the vectroscope does.

#include "BenchSupport.h"
#include "OvrajuceLoudnessAudioProcessor.h"
#include "VectorPath.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace BenchSupport;

int main()
{
    juce::ScopedJuceInitialiser_GUI juce;

    OvrajuceLoudnessAudioProcessor processor;
    processor.setPlayConfigDetails (numChannels, numChannels, sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
    processor.releaseResources(); // the loudness pass runs here, not on its thread

    ChannelLayout all;
    all.channels = { 0, 1, 2, 3, 4, 5 };
    processor.setInputLayout (all);
    processor.setOutputLayout (all);

    // A measurement runs, as live, so its log is fed too; its files go to a
    // scratch folder rather than the user's own.
    const auto logFolder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                               .getNonexistentChildFile ("zelx_bench_logs", {}, false);
    processor.settings.logFilePath = logFolder.getFullPathName();
    processor.setParameterValue (0, 1.0f);
    std::printf ("\n");

    std::atomic<bool> benchmarkRunning { true };
    std::thread scopeReader ([&] {
        constexpr int scopeBlockSize = 64;
        juce::AudioBuffer<float> xy (2, scopeBlockSize);

        while (benchmarkRunning.load())
        {
            if (processor.scopeFeed.fifo->getNumReady() >= scopeBlockSize)
                processor.scopeFeed.readLatest (xy, scopeBlockSize);
            else
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    });

    ReferenceMeter reference;
    juce::MidiBuffer midi;

    const auto timings = runSideBySide (0.5f, reference, [&] (juce::AudioBuffer<float>& block, bool passDue) {
        processor.processBlock (block, midi);

        if (passDue)
            processor.loudnessModule.computeLoudness();
    });

    benchmarkRunning = false;
    scopeReader.join();

    const double processorSpeed = seconds / timings.tested;
    const double referenceSpeed = seconds / timings.reference;

    std::printf ("processBlock, 6 channels, 48 kHz, 512-frame blocks, %.0f s of pink noise\n", seconds);
    std::printf ("  processor   %8.1f x real time   (integrated %.1f LUFS)\n", processorSpeed,
                 (double) processor.loudnessModule.results.integratedLoudness.get());
    std::printf ("  libebur128  %8.1f x real time   (integrated %.1f LUFS, last M %.1f, S %.1f)\n",
                 referenceSpeed, reference.integrated(), reference.momentary, reference.shortTerm);
    // ZELX_NO_AVX=1 runs the SSE2 path, with a goal of its own.
    const bool avx = VectorPath::useAvx();
    std::printf ("  ratio       %8.2f (%s path, goal: at least %d)\n", processorSpeed / referenceSpeed,
                 avx ? "AVX" : "SSE2", avx ? 9 : 6);

    processor.setParameterValue (0, 0.0f);
    logFolder.deleteRecursively();
    return 0;
}
