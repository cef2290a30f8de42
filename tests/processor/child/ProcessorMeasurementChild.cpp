// Measures pink noise through the processor, with the loudness thread and a
// measurement log running, until it is killed. The processor tests kill it
// with SIGKILL and check that what it leaves on disk is whole.
//
//     processor_measurement_child <log folder> <CSV bytes before saying "running">

#include "OvrajuceLoudnessAudioProcessor.h"
#include "TestSignals.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main (int argc, char* argv[])
{
    if (argc < 3)
        return 2;

    const juce::File folder (juce::String::fromUTF8 (argv[1]));
    const juce::int64 bytesBeforeRunning = std::atoll (argv[2]);

    // The processor is a timer and owns threads.
    juce::ScopedJuceInitialiser_GUI juce;

    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    OvrajuceLoudnessAudioProcessor processor;
    processor.setPlayConfigDetails (6, 6, sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
    processor.setInputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
    processor.settings.logFilePath = folder.getFullPathName();
    processor.setParameterValue (0, 1.0f);

    juce::AudioBuffer<float> block (6, blockSize);
    juce::MidiBuffer midi;
    TestSignals::PinkNoise noise;
    bool saidRunning = false;

    for (int n = 0;; ++n)
    {
        for (int c = 0; c < block.getNumChannels(); ++c)
            for (int i = 0; i < blockSize; ++i)
                block.setSample (c, i, noise.next (0.2f + 0.1f * (float) (n % 7)));

        processor.processBlock (block, midi);

        // About twice as fast as a device, so the loudness passes keep up.
        std::this_thread::sleep_for (std::chrono::milliseconds (5));

        if (! saidRunning && n % 16 == 0)
        {
            const auto logs = folder.findChildFiles (juce::File::findFiles, false, "*.csv");

            if (logs.size() == 1 && logs[0].getSize() > bytesBeforeRunning)
            {
                std::printf ("running\n");
                std::fflush (stdout);
                saidRunning = true;
            }
        }
    }
}
