#include "LogTestFiles.h"
#include "PrintedOutput.h"
#include "ProcessorTestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace ProcessorTestHelpers;

// Resets a measurement again and again while an audio thread runs back-to-back
// 64-frame blocks of a loud tone with a log running and a loudness pass runs
// as fast as windows fill. In the first blocks after a reset (fewer frames
// than one momentary window, so no new value can exist yet) every reading,
// the sample counter and the log's maxima must show the reset, never a value
// from before it.
TEST (ProcessorResetRace, NoValueFromBeforeAResetComesBack)
{
    constexpr int frames = 64;
    constexpr int resets = 400;
    const int momentaryWindow = (int) (sampleRate * 0.4);

    LogTestFiles::TemporaryFolder folder;
    OvrajuceLoudnessAudioProcessor processor;
    processor.setPlayConfigDetails (6, 6, sampleRate, frames);
    processor.setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor.settings.logFilePath = folder.get().getFullPathName();
    processor.prepareToPlay (sampleRate, frames);

    PrintedOutput::startCapture();
    processor.setParameterValue (0, 1.0f);

    std::atomic<bool> running { true };
    std::atomic<int> resetsBegun { 0 }, resetsDone { 0 };
    std::atomic<int> checkedBlocks { 0 };
    std::atomic<int> stale { 0 };
    juce::String firstStale;

    std::thread loudness ([&] {
        while (running)
            processor.loudnessModule.computeLoudness();
    });

    std::thread audio ([&] {
        juce::AudioBuffer<float> block (6, frames);
        juce::MidiBuffer midi;
        int begunResets = 0;
        int64_t sinceReset = -1;
        const auto& display = processor.displaySnapshot;
        const auto& log = processor.measurementLog;

        for (int64_t start = 0; running; start += frames)
        {
            const int doneAtStart = resetsDone.load();

            block.clear();
            TestSignals::writeSine (block, 0, 997.0, sampleRate, 0.5f, start);
            processor.processBlock (block, midi);

            // Frames are counted from the first block that ended after a reset
            // was called, an upper bound on the frames after it; readings are
            // checked in blocks that began after it returned.
            if (const int begun = resetsBegun.load(); begun != begunResets)
            {
                begunResets = begun;
                sinceReset = 0;
            }

            if (sinceReset < 0)
                continue;

            sinceReset += frames;

            // The block in flight at the reset may have pushed one block more.
            if (doneAtStart != begunResets || sinceReset > momentaryWindow - 2 * frames)
                continue;

            const float readings[] = { display.momentaryLoudness, display.shortTermLoudness,
                                       display.programLoudness,   display.loudnessRange,
                                       log.maxMomentaryLoudness,  log.maxShortTermLoudness };

            bool whole = display.processedSamplesCounter.get() <= (double) sinceReset;

            for (float reading : readings)
                whole = whole && reading == levelFloor;

            if (! whole && stale++ == 0)
                firstStale << "after " << (int) sinceReset << " frames: momentary " << readings[0]
                           << ", short-term " << readings[1] << ", integrated " << readings[2] << ", range "
                           << readings[3] << ", maxima " << readings[4] << " " << readings[5] << ", counter "
                           << display.processedSamplesCounter.get();

            ++checkedBlocks;
        }
    });

    // Every wait is bounded, and the whole run too, for slow (sanitised, loaded) machines.
    const auto waitFor = [] (auto&& condition) {
        const auto start = juce::Time::getMillisecondCounter();

        while (! condition() && juce::Time::getMillisecondCounter() - start < 2000)
            std::this_thread::yield();
    };

    const auto deadline = juce::Time::getMillisecondCounter() + 20000;
    int made = 0;

    for (; made < resets && juce::Time::getMillisecondCounter() < deadline; ++made)
    {
        // New values published and logged again, for a block in flight to put back.
        waitFor ([&] { return processor.displaySnapshot.programLoudness.get() != levelFloor; });

        ++resetsBegun;
        processor.resetMeasurement();
        ++resetsDone;

        // Checked in at least one block after it, however slowly the audio thread runs.
        const int checked = checkedBlocks;
        waitFor ([&] { return checkedBlocks.load() > checked; });
    }

    running = false;
    audio.join();
    loudness.join();
    processor.setParameterValue (0, 0.0f);
    processor.releaseResources();
    PrintedOutput::captured();

    EXPECT_GE (checkedBlocks.load(), made);
    EXPECT_EQ (stale.load(), 0) << firstStale;
}

// A reset handed to the audio thread just before the device stops (a JACK
// server that goes away stops it from its own thread) is carried out by the
// stop, not left waiting for a block that may never come.
TEST (ProcessorResetRace, AResetPendingWhenTheAudioStopsIsCarriedOut)
{
    auto processor = makePreparedProcessor();
    processor->prepareToPlay (sampleRate, blockSize);
    auto& display = processor->displaySnapshot;
    display.programLoudness = -10.0f; // a stop alone keeps it
    processor->measurementLog.maxMomentaryLoudness = -10.0f;

    processor->resetMeasurement();
    std::thread stopping ([&] { processor->releaseResources(); });
    stopping.join();

    EXPECT_EQ (display.programLoudness.get(), levelFloor);
    EXPECT_EQ (processor->measurementLog.maxMomentaryLoudness.get(), levelFloor);
}
