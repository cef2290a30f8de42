// The loudness module and the true-peak meter against libebur128, on the same
// ten minutes of six-channel pink noise at 48 kHz in 512-frame blocks, both
// single-threaded.
//
// The module gets every block and one measurement pass per 100 ms of audio,
// the true-peak meter every block.

#include "BenchSupport.h"
#include "OVRALoudnessModule.h"
#include "OVRATruePeakMeter.h"

#include <cstdio>

using namespace BenchSupport;

int main()
{
    OVRALoudnessModule module;
    module.sampleRate = sampleRate;
    module.setupKWeighting();
    module.prepare();
    module.inputBuffer.setSize (numChannels, blockSize);
    module.setIntegrating (1);

    OVRATruePeakMeter truePeak;
    truePeak.prepare (sampleRate, blockSize);

    ReferenceMeter reference;

    const auto timings =
        runSideBySide (0.25f, reference, [&] (const juce::AudioBuffer<float>& block, bool passDue) {
            module.inputBuffer.makeCopyOf (block, true);
            module.pushSamples();
            truePeak.workBuffer.makeCopyOf (block, true);
            truePeak.processBlock();

            if (passDue)
                module.computeLoudness();
        });

    const double moduleSpeed = seconds / timings.tested;
    const double referenceSpeed = seconds / timings.reference;

    std::printf ("loudness module + true-peak meter: %8.0f x real time\n", moduleSpeed);
    std::printf ("libebur128 (M S I LRA true peak):  %8.0f x real time\n", referenceSpeed);
    std::printf ("throughput ratio:                  %8.2f\n", moduleSpeed / referenceSpeed);
    std::printf ("integrated loudness: module %.2f LUFS, libebur128 %.2f LUFS\n",
                 (double) module.results.integratedLoudness.get(), reference.integrated());
    std::printf ("last momentary:      module %.1f LUFS, libebur128 %.2f LUFS\n",
                 (double) module.results.momentaryLoudness.get(), reference.momentary);
    std::printf ("loudness range:      module %.1f LU, libebur128 %.2f LU\n",
                 (double) module.results.loudnessRange.get(), reference.range());
    return 0;
}
