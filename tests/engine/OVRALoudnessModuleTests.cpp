#include "LoudnessModuleRig.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
constexpr int L = 0, C = 2, LFE = 3, LS = 4;
constexpr float minusInfinity = -std::numeric_limits<float>::infinity();

LoudnessModuleRig::Generator sineOn (int channel, double frequency, double rate, float amplitude)
{
    return [=] (juce::AudioBuffer<float>& block, int64_t start) {
        TestSignals::writeSine (block, channel, frequency, rate, amplitude, start);
    };
}

/** Momentary loudness of one second of a full-scale 997 Hz sine on one channel. */
float calibrationLevel (double rate, int channel, int numChannels = 6)
{
    LoudnessModuleRig rig (rate, 1, numChannels);
    rig.push ((int) rate, sineOn (channel, 997.0, rate, 1.0f), 1024);
    return rig.module.results.momentaryLoudness.get();
}
} // namespace

TEST (OVRALoudnessModule, WindowsAndHopsAtEveryRate)
{
    struct Row
    {
        double rate;
        int momentaryWindow, momentaryHop, shortTermWindow, shortTermHop;
    };

    // The short-term hop is one frame under a fifth of the window wherever the
    // window is a multiple of five (1.0f - 0.8f is just below 0.2).
    const Row rows[] = {
        { 44100.0, 17640, 4410, 132300, 26459 },    { 48000.0, 19200, 4800, 144000, 28799 },
        { 88200.0, 35280, 8820, 264600, 52919 },    { 96000.0, 38400, 9600, 288000, 57599 },
        { 176400.0, 70560, 17640, 529200, 105839 }, { 192000.0, 76800, 19200, 576000, 115199 },
        { 50000.0, 20000, 5000, 150000, 29999 },
    };

    // The first value needs a whole window, each next one a whole hop.
    const auto expectFirstTwoValues = [] (double rate, int window, int hop,
                                          std::vector<LoudnessModuleRig::Value> LoudnessModuleRig::*values) {
        LoudnessModuleRig rig (rate);
        rig.pushSilence (window - 1, window);
        rig.pushSilence (1);
        rig.pushSilence (hop - 1, hop);
        rig.pushSilence (1);
        const auto& produced = rig.*values;
        ASSERT_EQ (produced.size(), 2u);
        EXPECT_EQ (produced[0].framesPushed, window);
        EXPECT_EQ (produced[1].framesPushed, window + hop);
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.rate);
        {
            LoudnessModuleRig rig (row.rate);
            EXPECT_EQ (rig.module.momentaryWindowLength, row.momentaryWindow);
            EXPECT_EQ (rig.module.shortTermWindowLength, row.shortTermWindow);
        }
        expectFirstTwoValues (row.rate, row.momentaryWindow, row.momentaryHop, &LoudnessModuleRig::momentary);
        expectFirstTwoValues (row.rate, row.shortTermWindow, row.shortTermHop, &LoudnessModuleRig::shortTerm);
    }
}

TEST (OVRALoudnessModule, FullScaleSineCalibration)
{
    // BS.1770: a 0 dBFS 997 Hz sine in one front channel reads -3.0 at every rate.
    for (double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0, 50000.0 })
        EXPECT_NEAR (calibrationLevel (rate, L), -3.0f, 0.1f) << rate;

    // The surrounds weigh 1.41 (+1.49 dB), the LFE nothing.
    const float front = calibrationLevel (48000.0, L);
    EXPECT_NEAR (calibrationLevel (48000.0, LS), front + 10.0f * std::log10 (1.41f), 0.1f);
    EXPECT_NEAR (calibrationLevel (48000.0, C), front, 0.05f);
    EXPECT_EQ (calibrationLevel (48000.0, LFE), levelFloor);

    // A stereo input measures the same.
    EXPECT_EQ (calibrationLevel (48000.0, L, 2), front);

    // The per-channel levels carry neither the -0.691 offset nor the rounding.
    LoudnessModuleRig rig (48000.0);
    rig.push (48000, [] (auto& block, int64_t start) {
        TestSignals::writeSine (block, L, 997.0, 48000.0, 1.0f, start);
        TestSignals::writeSine (block, LS, 997.0, 48000.0, 0.5f, start);
        TestSignals::writeSine (block, LFE, 50.0, 48000.0, 1.0f, start);
    });
    const auto& levels = rig.module.channelMomentaryLevels;
    EXPECT_NEAR (levels[L].get(), front + 0.691f, 0.06f);
    EXPECT_NEAR (levels[LS].get() - levels[L].get(), 10.0f * std::log10 (1.41f * 0.25f), 0.01f);
    EXPECT_EQ (levels[LFE].get(), minusInfinity);
    EXPECT_EQ (levels[1].get(), minusInfinity);
    const float sum = std::pow (10.0f, levels[L].get() / 10.0f) + std::pow (10.0f, levels[LS].get() / 10.0f);
    EXPECT_NEAR (rig.module.results.momentaryLoudness.get(), 10.0f * std::log10 (sum) - 0.691f, 0.051f);
}

TEST (OVRALoudnessModule, DigitalSilence)
{
    LoudnessModuleRig rig (48000.0);
    for (auto& level : rig.module.channelMomentaryLevels)
        EXPECT_EQ (level.get(), levelFloor);

    rig.pushSilence (4 * 48000);
    ASSERT_FALSE (rig.momentary.empty());
    ASSERT_FALSE (rig.shortTerm.empty());

    const auto& results = rig.module.results;
    EXPECT_EQ (results.momentaryLoudness.get(), levelFloor);
    EXPECT_EQ (results.shortTermLoudness.get(), levelFloor);
    EXPECT_EQ (results.integratedLoudness.get(), levelFloor);
    EXPECT_EQ (results.loudnessRange.get(), 0.0f);
    EXPECT_EQ (results.loudnessRangeLow.get(), levelFloor);
    EXPECT_EQ (results.loudnessRangeHigh.get(), levelFloor);
    for (auto& level : rig.module.channelMomentaryLevels)
        EXPECT_EQ (level.get(), minusInfinity);
}

TEST (OVRALoudnessModule, IntegratedLoudnessWithAndWithoutGating)
{
    // Alternating 2 s of loud, quiet and silence: with gating off every
    // momentary value counts in a plain energy mean, floor values included;
    // with gating on the absolute gate drops the floor values of the silence.
    const auto programme = [] (juce::AudioBuffer<float>& block, int64_t start) {
        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const auto frame = start + i;
            const int segment = (int) (frame / 96000) % 3;
            const float amplitude = segment == 0 ? 0.5f : (segment == 1 ? 0.02f : 0.0f);
            const double phase = juce::MathConstants<double>::twoPi * 997.0 * (double) frame / 48000.0;
            block.setSample (0, i, amplitude * (float) std::sin (phase));
        }
    };

    for (bool gating : { false, true })
    {
        SCOPED_TRACE (gating);
        LoudnessModuleRig rig (48000.0);
        rig.module.momentaryHistogram.gatingEnabled = gating;
        rig.module.shortTermHistogram.gatingEnabled = gating;
        rig.push (18 * 48000, programme);

        std::vector<float> values;
        int onTheFloor = 0;
        for (const auto& v : rig.momentary)
        {
            if (v.loudness > levelFloor || ! gating)
                values.push_back (v.loudness);
            if (v.loudness <= levelFloor)
                ++onTheFloor;
        }

        double energy = 0.0;
        for (float v : values)
            energy += std::pow (10.0, v / 10.0);
        const double ungated = 10.0 * std::log10 (energy / (double) values.size());

        double expected = ungated;
        if (gating)
        {
            double keptEnergy = 0.0;
            int kept = 0;
            for (float v : values)
                if (v >= roundToOneDecimal ((float) ungated - 10.0f) - 1e-3)
                {
                    keptEnergy += std::pow (10.0, v / 10.0);
                    ++kept;
                }
            expected = 10.0 * std::log10 (keptEnergy / kept);
        }

        ASSERT_GT (onTheFloor, 0);
        EXPECT_NEAR (rig.module.results.integratedLoudness.get(), expected, 0.002);
        EXPECT_GT (rig.module.results.loudnessRange.get(), 0.0f);
    }
}

TEST (OVRALoudnessModule, UpdateFlagsLastFromThePassThatMadeTheValueToTheNext)
{
    LoudnessModuleRig rig (48000.0);
    auto& module = rig.module;

    rig.pushSilence (19200, 19200, false);
    EXPECT_FALSE (module.momentaryUpdated.load());
    module.computeLoudness();
    EXPECT_TRUE (module.momentaryUpdated.load());
    EXPECT_FALSE (module.shortTermUpdated.load());

    // Audio blocks in between see the value as new; the next pass with no
    // complete window clears the flag.
    rig.pushSilence (512, 512, false);
    rig.pushSilence (512, 512, false);
    EXPECT_TRUE (module.momentaryUpdated.load());
    module.computeLoudness();
    EXPECT_FALSE (module.momentaryUpdated.load());

    // At most one window of each kind per pass: a backlog drains pass by pass.
    // The momentary window keeps all of it, everything after the first hop.
    rig.pushSilence (144000 - 19200 - 1024, 144000, false);
    const int held = 144000 - 4800;
    const auto momentaryReady = [&module] {
        return module.windowFifo->getNumReady (OVRALoudnessModule::momentaryReader);
    };
    EXPECT_EQ (momentaryReady(), held);
    int passesWithMomentary = 0;
    for (int i = 0; i < 40 && momentaryReady() >= module.momentaryWindowLength; ++i)
    {
        module.computeLoudness();
        passesWithMomentary += module.momentaryUpdated.load() ? 1 : 0;
        EXPECT_EQ (module.shortTermUpdated.load(), i == 0);
    }
    const int expectedPasses = (held - module.momentaryWindowLength) / 4800 + 1;
    EXPECT_EQ (passesWithMomentary, expectedPasses);
}

TEST (OVRALoudnessModule, StartingAndStoppingAMeasurementRestartsTheWindows)
{
    LoudnessModuleRig rig (48000.0, 0);
    auto& results = rig.module.results;

    // Values are shown while no measurement runs, but never counted.
    rig.push (4 * 48000, sineOn (L, 997.0, 48000.0, 1.0f));
    EXPECT_NEAR (results.momentaryLoudness.get(), -3.0f, 0.1f);
    EXPECT_EQ (results.integratedLoudness.get(), levelFloor);
    EXPECT_EQ (results.loudnessRange.get(), levelFloor);

    // Starting empties both windows: the first value of the measurement comes
    // a whole window later and holds only the measurement's own audio.
    rig.module.setIntegrating (1);
    const auto start = rig.framesPushed;
    const auto quiet = sineOn (L, 997.0, 48000.0, 0.01f);
    rig.push (19200 - 100, quiet, 4800);
    EXPECT_NEAR (results.momentaryLoudness.get(), -3.0f, 0.1f);
    const auto countBefore = rig.momentary.size();
    rig.push (100, quiet, 100);
    ASSERT_EQ (rig.momentary.size(), countBefore + 1);
    EXPECT_EQ (rig.momentary.back().framesPushed - start, 19200);
    EXPECT_NEAR (results.momentaryLoudness.get(), -43.0f, 0.1f);
    EXPECT_NEAR (results.integratedLoudness.get(), -43.0f, 0.1f);

    rig.push (3 * 48000, quiet);
    EXPECT_NEAR (results.integratedLoudness.get(), -43.0f, 0.1f);
    EXPECT_NEAR (results.shortTermLoudness.get(), -43.0f, 0.1f);
    EXPECT_EQ (results.loudnessRange.get(), 0.0f);

    // Stopping keeps the long-term values while momentary values go on.
    rig.module.setIntegrating (0);
    rig.push (2 * 48000, sineOn (L, 997.0, 48000.0, 1.0f));
    EXPECT_NEAR (results.momentaryLoudness.get(), -3.0f, 0.1f);
    EXPECT_NEAR (results.integratedLoudness.get(), -43.0f, 0.1f);

    // The same value passed again changes nothing.
    const auto shown = rig.momentary.size();
    rig.module.setIntegrating (0);
    rig.push (4800, sineOn (L, 997.0, 48000.0, 1.0f));
    EXPECT_EQ (rig.momentary.size(), shown + 1);
}

TEST (OVRALoudnessModule, MeasurementResetClearsEverythingAndRestartsTheWindows)
{
    LoudnessModuleRig rig (48000.0);
    auto& module = rig.module;
    rig.push (5 * 48000, sineOn (L, 997.0, 48000.0, 0.5f));
    ASSERT_NEAR (module.results.integratedLoudness.get(), -9.0f, 0.1f);

    module.resetMeasurement();
    EXPECT_FALSE (module.momentaryUpdated.load());
    EXPECT_FALSE (module.shortTermUpdated.load());
    for (float value : { module.results.momentaryLoudness.get(), module.results.shortTermLoudness.get(),
                         module.results.integratedLoudness.get(), module.results.loudnessRange.get(),
                         module.results.loudnessRangeLow.get(), module.results.loudnessRangeHigh.get() })
        EXPECT_EQ (value, levelFloor);
    EXPECT_EQ (module.momentaryHistogram.getIntegratedLoudness(), levelFloor);
    EXPECT_EQ (module.windowFifo->getNumReady (OVRALoudnessModule::momentaryReader), 0);
    EXPECT_EQ (module.windowFifo->getNumReady (OVRALoudnessModule::shortTermReader), 0);

    // The next window is made of post-reset audio only.
    const auto start = rig.framesPushed;
    rig.push (4 * 48000, sineOn (L, 997.0, 48000.0, 0.05f));
    ASSERT_FALSE (rig.momentary.empty());
    const auto firstAfter = std::find_if (rig.momentary.begin(), rig.momentary.end(),
                                          [start] (const auto& v) { return v.framesPushed > start; });
    ASSERT_NE (firstAfter, rig.momentary.end());
    EXPECT_EQ (firstAfter->framesPushed - start, 19200);
    EXPECT_NEAR (module.results.integratedLoudness.get(), -29.0f, 0.1f);
    EXPECT_NEAR (module.shortTermHistogram.getIntegratedLoudness(), -29.0f, 0.1f);
}

TEST (OVRALoudnessModule, ACorruptSampleNeverReachesThePublishedValues)
{
    LoudnessModuleRig rig (48000.0);
    const auto tone = sineOn (L, 997.0, 48000.0, 1.0f);
    rig.push (48000, tone);

    for (float bad : { std::nanf (""), std::numeric_limits<float>::infinity() })
    {
        rig.push (480, [&] (auto& block, int64_t start) {
            tone (block, start);
            block.setSample (L, 100, bad);
        });
        rig.push (4 * 48000, tone);

        EXPECT_NEAR (rig.module.results.momentaryLoudness.get(), -3.0f, 0.1f);
        EXPECT_NEAR (rig.module.results.shortTermLoudness.get(), -3.0f, 0.2f);
        EXPECT_TRUE (std::isfinite (rig.module.results.integratedLoudness.get()));
        for (const auto* values : { &rig.momentary, &rig.shortTerm })
            for (const auto& v : *values)
                ASSERT_TRUE (std::isfinite (v.loudness)) << "after " << v.framesPushed << " frames";
        EXPECT_NEAR (rig.module.channelMomentaryLevels[L].get(), -3.0f + 0.691f, 0.1f);
    }
}

// The windows' FIFO holds 12 s at 48 kHz. A programme filtered into it across
// the end of its store, a block split there, measures bit for bit as it
// does from the start of the store.
TEST (OVRALoudnessModule, AProgrammeMeasuresTheSameAcrossTheEndOfTheWindowsFifo)
{
    constexpr int blockSize = 4800;

    /** Each channel's unrounded momentary levels, pass by pass, of five
        seconds of tones from the next frame pushed on. */
    const auto measure = [] (LoudnessModuleRig& rig) {
        const auto start = rig.framesPushed;
        const LoudnessModuleRig::Generator tones = [start] (juce::AudioBuffer<float>& block, int64_t at) {
            for (int ch = 0; ch < 6; ++ch)
                TestSignals::writeSine (block, ch, 100.0 + 731.0 * ch, 48000.0, 0.1f + 0.15f * (float) ch,
                                        at - start);
        };
        std::vector<std::array<float, 6>> levels;

        for (int done = 0; done < 5 * 48000; done += blockSize)
        {
            rig.push (blockSize, tones, blockSize, false);
            rig.module.computeLoudness();

            if (rig.module.momentaryUpdated.load())
            {
                levels.emplace_back();
                for (size_t ch = 0; ch < 6; ++ch)
                    levels.back()[ch] = rig.module.channelMomentaryLevels[ch].get();
            }
        }

        return levels;
    };

    LoudnessModuleRig fromStart (48000.0);
    const auto expected = measure (fromStart);

    // The store's end falls 1000 frames into the fifth block after a reset.
    LoudnessModuleRig acrossEnd (48000.0);
    const int capacity = acrossEnd.module.windowFifo->getCapacity();
    acrossEnd.pushSilence (capacity - 4 * blockSize - 1000);
    acrossEnd.module.resetMeasurement();

    ASSERT_GT (expected.size(), 40u);
    EXPECT_EQ (measure (acrossEnd), expected);
}
