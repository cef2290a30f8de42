#pragma once

#include "OVRALoudnessModule.h"

#include <functional>
#include <vector>

/** Drives a loudness module the way the processor and the loudness thread do,
    on the test's own thread: set up at a rate, push blocks, run passes.

        LoudnessModuleRig rig (48000.0);
        rig.push (48000, [] (auto& block, int64_t start) { ... fill block ... });
*/
class LoudnessModuleRig
{
public:
    /** Fills a block whose first frame is frame `start` of the programme. */
    using Generator = std::function<void (juce::AudioBuffer<float>& block, int64_t start)>;

    explicit LoudnessModuleRig (double rate, int integrating = 1, int channels = 6) : numChannels (channels)
    {
        module.sampleRate = rate;
        module.setupKWeighting();
        module.prepare();
        module.setIntegrating (integrating);
    }

    /** Pushes numFrames frames of the programme in blocks; after each block,
        when runPasses is set, runs one pass and records the values it made. */
    void push (int numFrames, const Generator& generate, int blockSize = 4800, bool runPasses = true)
    {
        for (int done = 0; done < numFrames;)
        {
            const int n = juce::jmin (blockSize, numFrames - done);
            module.inputBuffer.setSize (numChannels, n, false, false, true);
            module.inputBuffer.clear();
            generate (module.inputBuffer, framesPushed);
            module.pushSamples();
            framesPushed += n;
            done += n;

            if (runPasses)
                pass();
        }
    }

    void pushSilence (int numFrames, int blockSize = 4800, bool runPasses = true)
    {
        const Generator silence = [] (auto&, int64_t) {};
        push (numFrames, silence, blockSize, runPasses);
    }

    /** One measurement pass; records new values with the frame count at which
        they appeared. */
    void pass()
    {
        module.computeLoudness();
        if (module.momentaryUpdated.load())
            momentary.push_back ({ framesPushed, module.results.momentaryLoudness.get() });
        if (module.shortTermUpdated.load())
            shortTerm.push_back ({ framesPushed, module.results.shortTermLoudness.get() });
    }

    struct Value
    {
        int64_t framesPushed;
        float loudness;
    };

    OVRALoudnessModule module;
    const int numChannels;
    int64_t framesPushed = 0;
    std::vector<Value> momentary, shortTerm;
};
