// The loudness module and the true-peak meter against libebur128, on the same
// ten minutes of six-channel pink noise at 48 kHz in 512-frame blocks, both
// single-threaded.
//
// The module gets every block and one measurement pass per 100 ms of audio,
// the true-peak meter every block. libebur128 measures M, S, I, LRA and true
// peak, with M and S read every 100 ms. Only the processing is timed: the
// noise is generated (and, for libebur128, interleaved) outside the clock.

#include "OVRALoudnessModule.h"
#include "OVRATruePeakMeter.h"
#include "TestSignals.h"

#include <ebur128.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int numChannels = 6;
constexpr double seconds = 600.0;
constexpr int64_t totalFrames = (int64_t) (seconds * sampleRate);
constexpr int framesPerPass = (int) (sampleRate / 10);

using Clock = std::chrono::steady_clock;

double secondsSince (Clock::time_point start)
{
    return std::chrono::duration<double> (Clock::now() - start).count();
}
} // namespace

int main()
{
    std::vector<TestSignals::PinkNoise> noise;
    for (int c = 0; c < numChannels; ++c)
        noise.emplace_back ((uint32_t) (c + 1));

    juce::AudioBuffer<float> block (numChannels, blockSize);

    OVRALoudnessModule module;
    module.sampleRate = sampleRate;
    module.setupKWeighting();
    module.prepare();
    module.inputBuffer.setSize (numChannels, blockSize);
    module.setIntegrating (1);

    OVRATruePeakMeter truePeak;
    truePeak.prepare (sampleRate, blockSize);

    auto* reference = ebur128_init ((unsigned) numChannels, (unsigned long) sampleRate,
                                    EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA
                                        | EBUR128_MODE_TRUE_PEAK);
    const int channelMap[] = { EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED,
                               EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND };
    for (int c = 0; c < numChannels; ++c)
        ebur128_set_channel (reference, (unsigned) c, channelMap[c]);

    double moduleSeconds = 0.0, referenceSeconds = 0.0;
    double referenceMomentary = 0.0, referenceShortTerm = 0.0;
    int64_t framesSincePass = 0;

    for (int64_t done = 0; done < totalFrames; done += blockSize)
    {
        for (int c = 0; c < numChannels; ++c)
            for (int i = 0; i < blockSize; ++i)
                block.setSample (c, i, noise[(size_t) c].next (0.25f));
        const auto interleaved = TestSignals::interleave (block);

        framesSincePass += blockSize;
        const bool passDue = framesSincePass >= framesPerPass;
        if (passDue)
            framesSincePass -= framesPerPass;

        auto start = Clock::now();
        module.inputBuffer.makeCopyOf (block, true);
        module.pushSamples();
        truePeak.workBuffer.makeCopyOf (block, true);
        truePeak.processBlock();
        if (passDue)
            module.computeLoudness();
        moduleSeconds += secondsSince (start);

        start = Clock::now();
        ebur128_add_frames_float (reference, interleaved.data(), (size_t) blockSize);
        if (passDue)
        {
            ebur128_loudness_momentary (reference, &referenceMomentary);
            ebur128_loudness_shortterm (reference, &referenceShortTerm);
        }
        referenceSeconds += secondsSince (start);
    }

    double referenceIntegrated = 0.0, referenceRange = 0.0;
    ebur128_loudness_global (reference, &referenceIntegrated);
    ebur128_loudness_range (reference, &referenceRange);
    ebur128_destroy (&reference);

    const double moduleSpeed = seconds / moduleSeconds;
    const double referenceSpeed = seconds / referenceSeconds;

    std::printf ("loudness module + true-peak meter: %8.0f x real time\n", moduleSpeed);
    std::printf ("libebur128 (M S I LRA true peak):  %8.0f x real time\n", referenceSpeed);
    std::printf ("throughput ratio:                  %8.2f\n", moduleSpeed / referenceSpeed);
    std::printf ("integrated loudness: module %.2f LUFS, libebur128 %.2f LUFS\n",
                 (double) module.results.integratedLoudness.get(), referenceIntegrated);
    std::printf ("last momentary:      module %.1f LUFS, libebur128 %.2f LUFS\n",
                 (double) module.results.momentaryLoudness.get(), referenceMomentary);
    std::printf ("loudness range:      module %.1f LU, libebur128 %.2f LU\n",
                 (double) module.results.loudnessRange.get(), referenceRange);
    return 0;
}
