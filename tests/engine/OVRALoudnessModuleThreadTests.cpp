#include "LoudnessModuleRig.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 480;
constexpr float loudAmplitude = 0.5f;   // about -9 LUFS on L
constexpr float quietAmplitude = 0.01f; // about -43 LUFS on L

/** The module as the processor runs it: a real loudness thread calls
    useTimeSlice every 50 ms while a second thread, standing in for the audio
    device, pushes blocks of a 997 Hz tone on L. */
class RunningModule
{
public:
    RunningModule()
    {
        module.sampleRate = rate;
        module.setupKWeighting();
        module.prepare();
        loudnessThread.startThread();
        loudnessThread.addTimeSliceClient (&module);
    }

    ~RunningModule()
    {
        loudnessThread.removeTimeSliceClient (&module);
        loudnessThread.stopThread (1000);
    }

    /** Audio thread: pushes numFrames of the tone, never more than two
        windows ahead of the loudness thread so that nothing is dropped. */
    void pushTone (float amplitude, int numFrames)
    {
        for (int done = 0; done < numFrames; done += blockSize)
        {
            // A loudness thread that stops taking windows fails the test
            // instead of hanging it.
            int waited = 0;
            while (module.windowFifo->getNumReady (OVRALoudnessModule::momentaryReader)
                   > 2 * module.momentaryWindowLength)
            {
                ASSERT_LT (++waited, 10000) << "the loudness thread stopped taking windows";
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            }

            module.inputBuffer.setSize (6, blockSize, false, false, true);
            module.inputBuffer.clear();
            TestSignals::writeSine (module.inputBuffer, 0, 997.0, rate, amplitude, framesPushed);
            module.pushSamples();
            framesPushed += blockSize;
        }
    }

    /** Waits until the loudness thread has taken every complete momentary
        window (or gives up after ten seconds, which fails the caller's checks). */
    void waitForLoudnessThread() const
    {
        const auto windowsLeft = [this] {
            return module.windowFifo->getNumReady (OVRALoudnessModule::momentaryReader)
                       >= module.momentaryWindowLength
                   || module.windowFifo->getNumReady (OVRALoudnessModule::shortTermReader)
                          >= module.shortTermWindowLength;
        };
        for (int i = 0; i < 10000 && windowsLeft(); ++i)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        std::this_thread::sleep_for (std::chrono::milliseconds (120));
    }

    OVRALoudnessModule module;
    juce::TimeSliceThread loudnessThread { "test loudness thread" };
    int64_t framesPushed = 0;
};

/** Polls the module's results on its own thread, as the processor's copy of
    them would see them, and keeps every distinct value it saw. */
class ResultWatcher
{
public:
    explicit ResultWatcher (const OVRALoudnessModule& m) : module (m), thread ([this] { run(); }) {}

    ~ResultWatcher() { stop(); }

    void stop()
    {
        running = false;
        if (thread.joinable())
            thread.join();
    }

    std::vector<float> momentary, integrated;

private:
    void run()
    {
        while (running)
        {
            keep (momentary, module.results.momentaryLoudness.get());
            keep (integrated, module.results.integratedLoudness.get());
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
    }

    static void keep (std::vector<float>& seen, float value)
    {
        if (seen.empty() || seen.back() != value)
            seen.push_back (value);
    }

    const OVRALoudnessModule& module;
    std::atomic<bool> running { true };
    std::thread thread;
};

float levelOf (float amplitude) { return 20.0f * std::log10 (amplitude) - 3.0f; }
} // namespace

TEST (OVRALoudnessModuleThreads, MeasurementResetWhileTheLoudnessThreadRuns)
{
    RunningModule running;
    auto& module = running.module;
    module.setIntegrating (1);

    for (int cycle = 0; cycle < 2; ++cycle)
    {
        SCOPED_TRACE (cycle);

        // Loud audio until the loudness thread has counted some of it.
        running.pushTone (loudAmplitude, 30000);
        running.waitForLoudnessThread();
        // (Windows across the quiet-to-loud seam of the previous cycle count too.)
        ASSERT_GT (module.results.integratedLoudness.get(), levelOf (loudAmplitude) - 3.0f);

        // The reset comes from another thread while the pass keeps running;
        // after it no loud value may appear, in the results or the histograms.
        ResultWatcher watcher (module);
        std::thread resetter ([&module] { module.resetMeasurement(); });
        resetter.join();

        running.pushTone (quietAmplitude, 3 * 48000 + 4800);
        running.waitForLoudnessThread();
        watcher.stop();

        ASSERT_FALSE (watcher.momentary.empty());
        // The watcher may have caught the last loud value before the reset.
        const bool startsLoud = std::abs (watcher.momentary.front() - levelOf (loudAmplitude)) < 0.3f;
        for (size_t i = startsLoud ? 1 : 0; i < watcher.momentary.size(); ++i)
        {
            const float v = watcher.momentary[i];
            EXPECT_TRUE (v == levelFloor || std::abs (v - levelOf (quietAmplitude)) < 0.3f) << v;
        }
        for (size_t i = startsLoud ? 1 : 0; i < watcher.integrated.size(); ++i)
        {
            const float v = watcher.integrated[i];
            EXPECT_TRUE (v == levelFloor || std::abs (v - levelOf (quietAmplitude)) < 0.2f) << v;
        }
        EXPECT_NEAR (module.results.integratedLoudness.get(), levelOf (quietAmplitude), 0.2f);
        EXPECT_NEAR (module.shortTermHistogram.getIntegratedLoudness(), levelOf (quietAmplitude), 0.2f);
    }
}

TEST (OVRALoudnessModuleThreads, StartingAMeasurementWhileTheLoudnessThreadRuns)
{
    RunningModule running;
    auto& module = running.module;

    for (int cycle = 0; cycle < 3; ++cycle)
    {
        SCOPED_TRACE (cycle);
        module.resetMeasurement();
        module.setIntegrating (0);

        // Shown but not counted.
        running.pushTone (loudAmplitude, 30000);
        running.waitForLoudnessThread();
        ASSERT_NEAR (module.results.momentaryLoudness.get(), levelOf (loudAmplitude), 0.1f);
        ASSERT_EQ (module.results.integratedLoudness.get(), levelFloor);

        // The audio thread starts the measurement between two blocks, without
        // waiting for the loudness thread, which may be in the middle of a pass.
        ResultWatcher watcher (module);
        module.setIntegrating (1);
        running.pushTone (quietAmplitude, 48000);
        running.waitForLoudnessThread();
        watcher.stop();

        // Every counted value is quiet: the integrated loudness goes from the
        // floor straight to the quiet level.
        for (float v : watcher.integrated)
            EXPECT_TRUE (v == levelFloor || std::abs (v - levelOf (quietAmplitude)) < 0.2f) << v;
        EXPECT_NEAR (module.results.integratedLoudness.get(), levelOf (quietAmplitude), 0.2f);

        // Once the first quiet value is shown no loud window follows it.
        const auto isQuiet = [] (float v) { return std::abs (v - levelOf (quietAmplitude)) < 0.3f; };
        const auto firstQuiet = std::find_if (watcher.momentary.begin(), watcher.momentary.end(), isQuiet);
        ASSERT_NE (firstQuiet, watcher.momentary.end());
        for (auto it = firstQuiet; it != watcher.momentary.end(); ++it)
            EXPECT_NEAR (*it, levelOf (quietAmplitude), 0.3f);
    }
}
