#include "../processor/ProcessorTestHelpers.h"
#include "HostTestHelpers.h"
#include "OVRAVectroscope.h"
#include "RepaintRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace
{
const juce::Colour green (0xff81ca2f), axisBlue (0xff3050ff), black (0xff000000);

// A 200 x 200 scope, so radius 100 and centre (100, 100), on a real
// processor's feed, Y on "L" (block channel 0) and X on "R" (channel 1).
struct ScopeRig
{
    ScopeRig()
    {
        processor->setInputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
        scope.setYChannel ("L");
        scope.setXChannel ("R");
        scope.setSize (200, 200);
    }

    ~ScopeRig() { thread.stopThread (1000); }

    /** One block of 64 frames through the processor; fill writes each slot's samples. */
    template <typename Fill>
    void process (Fill&& fill)
    {
        auto block = ProcessorTestHelpers::silentBlock (6, OVRAVectroscope::blockSize);
        fill (block);
        ProcessorTestHelpers::process (*processor, block);
    }

    void processConstant (int slot, float value)
    {
        process ([&] (auto& b) {
            juce::FloatVectorOperations::fill (b.getWritePointer (slot), value, b.getNumSamples());
        });
    }

    /** Reads everything waiting: at a display tick in the linear mode, on
        the scope's own thread in the logarithmic one, then takes it off the thread. */
    void drain()
    {
        scope.refresh();
        if (! thread.isThreadRunning())
            thread.startThread();
        thread.addTimeSliceClient (&scope);
        EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
            [&] { return processor->scopeFeed.fifo->getNumReady() < OVRAVectroscope::blockSize; }));
        // Returns only once a slice in progress has finished.
        thread.removeTimeSliceClient (&scope);
    }

    juce::Image snapshot() { return scope.createComponentSnapshot (scope.getLocalBounds(), true, 1.0f); }

    std::unique_ptr<OvrajuceLoudnessAudioProcessor> processor = ProcessorTestHelpers::makePreparedProcessor();
    OVRAVectroscope scope { &processor->scopeFeed, green, axisBlue, black };
    juce::TimeSliceThread thread { "vectroscope test" };
};

std::vector<juce::Point<int>> changedPixels (const juce::Image& before, const juce::Image& after)
{
    std::vector<juce::Point<int>> changed;
    for (int y = 0; y < after.getHeight(); ++y)
        for (int x = 0; x < after.getWidth(); ++x)
            if (before.getPixelAt (x, y) != after.getPixelAt (x, y))
                changed.push_back ({ x, y });
    return changed;
}
} // namespace

// x and y are the samples of X ("R") and Y ("L"). A point is
// (100 + 70.71 (x - y), 100 - 70.71 (x + y)) with 70.71 = 100 cos 45, each
// sample first clamped to [-1, 1], then truncated to a pixel.
TEST (OVRAVectroscope, PlacesEachFrameByItsPairRotatedAndClamped)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct
    {
        const char* what;
        float x, y;
        juce::Point<int> pixel;
    } cases[] = {
        { "mono", 0.5f, 0.5f, { 100, 29 } },         // (100, 29.29)
        { "anti-phase", 0.5f, -0.5f, { 170, 100 } }, // (170.71, 100)
        { "X alone: 45 degree end", 1.0f, 0.0f, { 170, 29 } },
        { "Y alone: 135 degree end", 0.0f, 1.0f, { 29, 29 } },
        { "X beyond full scale", 3.0f, 0.0f, { 170, 29 } },
        { "Y beyond full scale, negative: 315 degree end", 0.0f, -2.0f, { 170, 170 } },
        { "NaN on X reads as silence", nan, 0.5f, { 64, 64 } }, // (64.64, 64.64)
    };

    for (const auto& c : cases)
    {
        ScopeRig rig;
        const auto before = rig.snapshot();
        rig.process ([&] (auto& b) {
            juce::FloatVectorOperations::fill (b.getWritePointer (1), c.x, b.getNumSamples());
            juce::FloatVectorOperations::fill (b.getWritePointer (0), c.y, b.getNumSamples());
        });
        rig.drain();
        const auto after = rig.snapshot();

        const auto changed = changedPixels (before, after);
        ASSERT_EQ (1u, changed.size()) << c.what;
        EXPECT_EQ (c.pixel, changed[0]) << c.what;
        EXPECT_EQ (green, after.getPixelAt (c.pixel.x, c.pixel.y)) << c.what;
    }
}

// Logarithmic: a steady full-scale X has a true peak of 0 dB, at
// (e^0 - e^(-60/65)) / (e^(5/65) - e^(-60/65)) = 0.6027 / 0.6826 = 0.8829 of
// the -60 .. +5 dB scale, so 62.43 px along each screen axis from the centre.
TEST (OVRAVectroscope, LogarithmicModePlacesByTruePeakLevelWithTheSamplesSign)
{
    const struct
    {
        float x;
        juce::Point<int> pixel;
    } cases[] = { { 1.0f, { 162, 37 } }, { -1.0f, { 37, 162 } } };

    for (const auto& c : cases)
    {
        ScopeRig rig;
        rig.scope.setLogarithmic (true);
        const auto before = rig.snapshot();
        rig.processConstant (1, c.x);
        rig.drain();
        const auto after = rig.snapshot();

        EXPECT_EQ (green, after.getPixelAt (c.pixel.x, c.pixel.y)) << c.x;
        // The interpolator's first frames still rise towards the level, along the same diagonal.
        for (auto p : changedPixels (before, after))
            EXPECT_NEAR (p.x - 100, 100 - p.y, 1) << p.x << ", " << p.y;
    }
}

TEST (OVRAVectroscope, MonoStandsVerticalAndAntiPhaseLiesHorizontal)
{
    for (const float ySign : { 1.0f, -1.0f })
    {
        ScopeRig rig;
        const auto before = rig.snapshot();
        // 750 Hz: 64 frames hold one full period, so the dots span the whole line.
        rig.process ([&] (auto& b) {
            TestSignals::writeSine (b, 1, 750.0, ProcessorTestHelpers::sampleRate, 0.5f, 0);
            TestSignals::writeSine (b, 0, 750.0, ProcessorTestHelpers::sampleRate, 0.5f * ySign, 0);
        });
        rig.drain();

        int low = 200, high = -1;
        for (auto p : changedPixels (before, rig.snapshot()))
        {
            EXPECT_EQ (100, ySign > 0 ? p.x : p.y) << p.x << ", " << p.y;
            low = std::min (low, ySign > 0 ? p.y : p.x);
            high = std::max (high, ySign > 0 ? p.y : p.x);
        }
        // 100 -/+ 70.71
        EXPECT_EQ (29, low);
        EXPECT_EQ (170, high);
    }
}

TEST (OVRAVectroscope, KeepsSixteenBlocksFadingFromTheNewest)
{
    ScopeRig rig;
    const auto before = rig.snapshot();

    // Block b has one mono dot at (100, 100 - 141.42 * 0.04 (b + 1)), every
    // other frame of it at the centre.
    for (int b = 0; b < 17; ++b)
        rig.process ([&] (auto& block) {
            block.setSample (0, 0, 0.04f * (float) (b + 1));
            block.setSample (1, 0, 0.04f * (float) (b + 1));
        });
    rig.drain();
    const auto after = rig.snapshot();

    // Green (129, 202, 47) at alpha 1 - 0.0625 k over black, k = 16 - b.
    const struct
    {
        int b, y;
        juce::Colour expected;
    } cases[] = {
        { 0, 94, black },                                // the 17th block back is gone
        { 1, 88, juce::Colour::fromRGB (8, 13, 3) },     // alpha 0.0625
        { 8, 49, juce::Colour::fromRGB (64, 101, 23) },  // alpha 0.5
        { 15, 9, juce::Colour::fromRGB (121, 189, 44) }, // alpha 0.9375
        { 16, 3, green },                                // newest, opaque
    };
    for (const auto& c : cases)
    {
        const auto pixel = after.getPixelAt (100, c.y);
        EXPECT_NEAR (c.expected.getRed(), pixel.getRed(), 2) << "block " << c.b;
        EXPECT_NEAR (c.expected.getGreen(), pixel.getGreen(), 2) << "block " << c.b;
        EXPECT_NEAR (c.expected.getBlue(), pixel.getBlue(), 2) << "block " << c.b;
    }
    EXPECT_EQ (16u + 1u, changedPixels (before, after).size()) << "16 dots and the centre";
}

// At 192 kHz a display tick brings 150 blocks: one refresh deals with all
// that waits, the last block newest.
TEST (OVRAVectroscope, OneRefreshCatchesUpWithEverythingWaiting)
{
    ScopeRig rig;
    const auto before = rig.snapshot();

    for (int b = 0; b < 64; ++b)
        rig.processConstant (0, b == 63 ? 0.5f : 0.0f);
    rig.scope.refresh();

    EXPECT_LT (rig.processor->scopeFeed.fifo->getNumReady(), OVRAVectroscope::blockSize);
    // The newest block's dots, Y = 0.5: (100 - 35.36, 100 - 35.36), opaque.
    const auto dot = rig.snapshot().getPixelAt (64, 64);
    EXPECT_EQ (green.getARGB(), dot.getARGB());
    EXPECT_EQ (2u, changedPixels (before, rig.snapshot()).size()) << "the newest dot and the centre";
}

TEST (OVRAVectroscope, ChannelChangeRenamesTheAxisAndReadsTheNewSlot)
{
    ScopeRig rig;
    const auto withR = rig.snapshot();

    rig.scope.setXChannel ("LS");
    const auto withLS = rig.snapshot();

    // X is named in the 20 x 20 box above the 45 degree end, Y in the one above the 135 degree end.
    const juce::Rectangle<int> xBox (170, 9, 22, 22), yBox (9, 9, 22, 22);
    const auto changed = changedPixels (withR, withLS);
    ASSERT_FALSE (changed.empty());
    for (auto p : changed)
        EXPECT_TRUE (xBox.contains (p)) << p.x << ", " << p.y;

    rig.scope.setYChannel ("R");
    for (auto p : changedPixels (withLS, rig.snapshot()))
        EXPECT_TRUE (yBox.contains (p)) << p.x << ", " << p.y;

    // LS (slot 4) alone now lands on the X axis's end.
    const auto named = rig.snapshot();
    rig.processConstant (4, 1.0f);
    rig.drain();
    const std::vector<juce::Point<int>> xEnd { { 170, 29 } };
    EXPECT_EQ (xEnd, changedPixels (named, rig.snapshot()));
}

// In the logarithmic mode the scope's thread reads the feed while an audio
// thread writes it and the message thread paints, and stops in time with
// the writer still running.
TEST (OVRAVectroscope, ThreadStopsInTimeWhileTheFeedIsWritten)
{
    ScopeRig rig;
    rig.scope.setLogarithmic (true);
    const auto before = rig.snapshot();

    std::atomic<bool> writing { true };
    std::thread audio ([&] {
        for (int64_t start = 0; writing; start += 256)
        {
            auto block = ProcessorTestHelpers::silentBlock (6, 256);
            TestSignals::writeSine (block, 0, 997.0, ProcessorTestHelpers::sampleRate, 0.5f, start);
            TestSignals::writeSine (block, 1, 331.0, ProcessorTestHelpers::sampleRate, 0.5f, start);
            ProcessorTestHelpers::process (*rig.processor, block);
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    });

    rig.thread.startThread();
    rig.thread.addTimeSliceClient (&rig.scope);
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
        [&] { return changedPixels (before, rig.snapshot()).size() > 100; }));
    for (int i = 0; i < 20; ++i)
    {
        rig.scope.setXChannel (i % 2 == 0 ? "LS" : "R");
        rig.snapshot();
    }

    EXPECT_TRUE (rig.thread.stopThread (1000));
    rig.thread.removeTimeSliceClient (&rig.scope);
    writing = false;
    audio.join();
}

// The linear mode is read at the display's ticks: its thread sleeps, and a
// scope that is not on screen only drops what waits, so that the feed, which
// drops the newest audio once full, holds what is new when it shows again.
TEST (OVRAVectroscope, ALinearScopeWakesNoThreadAndShowsTheNewestAudioWhenShownAgain)
{
    ScopeRig rig;
    rig.processConstant (0, 0.25f);
    EXPECT_EQ (OVRAVectroscope::idleWaitMs, rig.scope.useTimeSlice());
    EXPECT_EQ (OVRAVectroscope::blockSize, rig.processor->scopeFeed.fifo->getNumReady()) << "read by a slice";

    // Off screen for more audio than the feed holds, dropped tick by tick;
    // then Y = 0.5 arrives and the scope shows again.
    const auto before = rig.snapshot();
    constexpr int blocksPerTick = 40;
    for (int b = 0; b < 2 * ScopeFeed::fifoCapacity / OVRAVectroscope::blockSize; ++b)
    {
        rig.processConstant (0, 0.25f);
        if (b % blocksPerTick == 0)
            rig.scope.skipWaitingAudio();
    }
    EXPECT_TRUE (changedPixels (before, rig.snapshot()).empty()) << "nothing drawn while off screen";
    rig.processConstant (0, 0.5f);
    rig.scope.refresh();

    // Y = 0.5 at (64, 64), newest and opaque; Y = 0.25 at (82, 82), an older block.
    const auto after = rig.snapshot();
    EXPECT_EQ (green.getARGB(), after.getPixelAt (64, 64).getARGB());
    EXPECT_NE (green.getARGB(), after.getPixelAt (82, 82).getARGB());
}

TEST (OVRAVectroscope, RepaintsWhereDotsCameOrWent)
{
    ScopeRig rig;
    auto& repaints = RepaintRecorder::attachTo (rig.scope);

    // A quiet pair near the centre, then a loud one: each repaint covers
    // every pixel that changed, the quiet one a small part of the scope.
    const struct
    {
        float level;
        int widest;
    } steps[] = { { 0.1f, 40 }, { 0.1f, 40 }, { 0.9f, 200 }, { 0.0f, 200 } };
    for (const auto& step : steps)
    {
        const auto before = rig.snapshot();
        repaints.clear();
        for (int b = 0; b < OVRAVectroscope::trailLength; ++b)
            rig.process ([&] (auto& block) {
                TestSignals::writeSine (block, 1, 750.0, ProcessorTestHelpers::sampleRate, step.level, 0);
                TestSignals::writeSine (block, 0, 1500.0, ProcessorTestHelpers::sampleRate, step.level, 0);
            });
        rig.scope.refresh();

        for (auto p : changedPixels (before, rig.snapshot()))
            ASSERT_TRUE (repaints.area.contains (p)) << step.level << ": " << p.x << ", " << p.y;
        EXPECT_LE (repaints.area.getWidth(), step.widest) << step.level;
    }
}
