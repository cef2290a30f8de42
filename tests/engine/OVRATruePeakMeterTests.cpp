#include "LevelRounding.h"
#include "OVRATruePeakMeter.h"
#include "TestSignals.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace
{
constexpr int numTaps = OVRATruePeakMeter::numTaps;
const auto& phases = OVRATruePeakMeter::interpolationPhases;

/** Outputs of the call that takes a lone 1.0 after silence and of the calls after it. */
std::vector<float> impulseResponse (OVRATruePeakMeter& meter, int channel, int length = numTaps + 1)
{
    std::vector<float> out;
    for (int i = 0; i < length; ++i)
        out.push_back (meter.processSample (i == 0 ? 1.0f : 0.0f, channel));
    return out;
}

/** The largest |coefficient| at each tap over the given phase rows. */
std::vector<double> largestCoefficients (std::initializer_list<int> rows)
{
    std::vector<double> largest ((size_t) numTaps, 0.0);
    for (int row : rows)
        for (size_t k = 0; k < (size_t) numTaps; ++k)
            largest[k] = std::max (largest[k], std::abs (phases[(size_t) row][k]));
    return largest;
}

/** Runs one block of a full-scale quarter-rate sine at 45 degrees through a fresh meter. */
std::unique_ptr<OVRATruePeakMeter> quarterRateSine (double rate, int channel)
{
    auto meter = std::make_unique<OVRATruePeakMeter>();
    meter->prepare (rate, 480);
    meter->workBuffer.clear();
    TestSignals::writeSine (meter->workBuffer, channel, rate / 4.0, rate, 1.0f, 0,
                            juce::MathConstants<double>::pi / 4.0);
    meter->processBlock();
    return meter;
}

} // namespace

TEST (OVRATruePeakMeter, FilterTableHasThePublishedShape)
{
    EXPECT_EQ (phases[0][0], 0.0017089843750);
    EXPECT_EQ (phases[1][0], -0.0291748046875);
    EXPECT_EQ (phases[2][0], -0.0189208984375);
    EXPECT_EQ (phases[3][0], -0.0083007812500);

    for (size_t k = 0; k < (size_t) numTaps; ++k)
    {
        EXPECT_EQ (phases[2][k], phases[1][(size_t) numTaps - 1 - k]) << k;
        EXPECT_EQ (phases[3][k], phases[0][(size_t) numTaps - 1 - k]) << k;
    }

    // Every phase passes a constant at close to unity gain: a wrongly typed
    // coefficient shows up here long before it shows up in a level.
    for (const auto& phase : phases)
    {
        double sum = 0.0;
        for (double c : phase)
            sum += c;
        EXPECT_NEAR (sum, 1.0, 0.03);
    }
}

TEST (OVRATruePeakMeter, ImpulseAt48kHzGivesTheLargestCoefficientPerTap)
{
    OVRATruePeakMeter meter;
    meter.prepare (48000.0, 64);
    EXPECT_EQ ((int) meter.tableSet, 1);
    EXPECT_EQ ((int) meter.phaseCount, 4);

    const auto out = impulseResponse (meter, 0);
    const auto expected = largestCoefficients ({ 0, 1, 2, 3 });

    for (size_t k = 0; k < (size_t) numTaps; ++k)
        EXPECT_EQ (out[k], (float) expected[k]) << "tap " << k;

    EXPECT_EQ (out[0], 0.0291748046875f);
    EXPECT_EQ (out[11], 0.0291748046875f);
    EXPECT_EQ (out[5], 0.9721679687500f);
    EXPECT_EQ (out[6], 0.9721679687500f);
    EXPECT_EQ (out[12], 0.0f) << "the impulse has left the 12-sample delay line";

    // Each channel has its own delay line.
    EXPECT_EQ (meter.processSample (0.0f, 1), 0.0f);
    const auto other = impulseResponse (meter, 5);
    for (size_t k = 0; k < (size_t) numTaps; ++k)
        EXPECT_EQ (other[k], out[k]) << "tap " << k;

    // 44.1 kHz uses the same four phases.
    OVRATruePeakMeter at44k;
    at44k.prepare (44100.0, 64);
    EXPECT_EQ (impulseResponse (at44k, 3), out);
}

TEST (OVRATruePeakMeter, QuarterRateSineAt45Degrees)
{
    // Four-times oversampling finds the inter-sample overshoot of the ±0.7071 samples.
    const auto at48k = quarterRateSine (48000.0, 0);
    EXPECT_NEAR (std::pow (10.0f, at48k->levels[0] / 20.0f), 1.0096f, 1.0e-4f);
    EXPECT_EQ (roundToOneDecimal (at48k->levels[0]), 0.1f);

    // The work buffer now holds magnitudes, none above the block's level.
    const float peak = at48k->workBuffer.getMagnitude (0, 0, at48k->workBuffer.getNumSamples());
    EXPECT_FLOAT_EQ (20.0f * std::log10 (peak), at48k->levels[0]);
    EXPECT_GE (at48k->workBuffer.findMinMax (0, 0, at48k->workBuffer.getNumSamples()).getStart(), 0.0f);

    // Without interpolation the samples themselves are the peak.
    const auto at176k = quarterRateSine (176400.0, 2);
    EXPECT_EQ (roundToOneDecimal (at176k->levels[2]), -3.0f);
    EXPECT_NEAR (at176k->levels[2], 20.0f * std::log10 (std::sqrt (0.5f)), 1.0e-4f);
    for (int i = 0; i < at176k->workBuffer.getNumSamples(); ++i)
        ASSERT_NEAR (at176k->workBuffer.getSample (2, i), std::sqrt (0.5f), 1.0e-6f) << i;
}

TEST (OVRATruePeakMeter, DoubleRatesUseOnlyTheSecondAndFourthPhase)
{
    for (double rate : { 88200.0, 96000.0 })
    {
        SCOPED_TRACE (rate);
        OVRATruePeakMeter meter;
        meter.prepare (rate, 64);
        EXPECT_EQ ((int) meter.tableSet, 2);
        EXPECT_EQ ((int) meter.phaseCount, 2);

        const auto out = impulseResponse (meter, 0);
        const auto expected = largestCoefficients ({ 1, 3 });
        for (size_t k = 0; k < (size_t) numTaps; ++k)
            EXPECT_EQ (out[k], (float) expected[k]) << "tap " << k;

        // Tap 6 tells the pairs apart: the first or third phase would give 0.972.
        EXPECT_EQ (out[6], (float) std::abs (phases[1][6]));
        EXPECT_LT (out[6], 0.9f);
    }
}

TEST (OVRATruePeakMeter, HighRatesTakeTheSampleMagnitudeAndLeaveDelayLinesAlone)
{
    OVRATruePeakMeter meter;
    meter.prepare (192000.0, 64);
    EXPECT_EQ ((int) meter.tableSet, 4);
    EXPECT_EQ ((int) meter.phaseCount, 0);

    TestSignals::WhiteNoise noise (7);
    for (int i = 0; i < 100; ++i)
    {
        const float x = noise.next (1.0f);
        ASSERT_EQ (meter.processSample (x, i % OVRATruePeakMeter::numChannels), std::abs (x));
    }

    // Had the noise reached the delay lines, a 48 kHz impulse would carry it.
    meter.prepare (48000.0, 64);
    OVRATruePeakMeter fresh;
    fresh.prepare (48000.0, 64);
    for (int ch = 0; ch < OVRATruePeakMeter::numChannels; ++ch)
        EXPECT_EQ (impulseResponse (meter, ch), impulseResponse (fresh, ch)) << "channel " << ch;
}

TEST (OVRATruePeakMeter, UnknownRateKeepsThePreviousConfiguration)
{
    OVRATruePeakMeter first;
    first.prepare (32000.0, 256);
    EXPECT_EQ (first.sampleRate, 32000.0);
    EXPECT_EQ ((int) first.tableSet, 0);
    EXPECT_EQ ((int) first.phaseCount, 0);
    EXPECT_EQ (first.processSample (-0.25f, 0), 0.25f);
    EXPECT_EQ (first.workBuffer.getNumSamples(), 256);

    OVRATruePeakMeter later;
    later.prepare (48000.0, 256);
    later.prepare (32000.0, 256);
    EXPECT_EQ (later.sampleRate, 32000.0);
    EXPECT_EQ ((int) later.tableSet, 1);
    EXPECT_EQ ((int) later.phaseCount, 4);
    EXPECT_EQ (impulseResponse (later, 0)[5], 0.9721679687500f);

    later.prepare (96000.0, 256);
    later.prepare (22050.0, 256);
    EXPECT_EQ ((int) later.phaseCount, 2);
}

TEST (OVRATruePeakMeter, PrepareAtTheSameRateOnlyResizes)
{
    OVRATruePeakMeter meter, reference;
    meter.prepare (48000.0, 512);
    reference.prepare (48000.0, 512);
    EXPECT_EQ (meter.workBuffer.getNumChannels(), OVRATruePeakMeter::numChannels);
    EXPECT_EQ (meter.workBuffer.getNumSamples(), 512);

    TestSignals::WhiteNoise noise (3);
    std::vector<float> signal (200);
    for (auto& x : signal)
        x = noise.next (0.8f);

    for (size_t i = 0; i < 100; ++i)
        ASSERT_EQ (meter.processSample (signal[i], 2), reference.processSample (signal[i], 2));

    meter.prepare (48000.0, 1024);
    EXPECT_EQ (meter.workBuffer.getNumChannels(), OVRATruePeakMeter::numChannels);
    EXPECT_EQ (meter.workBuffer.getNumSamples(), 1024);
    EXPECT_EQ ((int) meter.tableSet, 1);
    EXPECT_EQ ((int) meter.phaseCount, 4);

    // The history carries on as if nothing had happened.
    for (size_t i = 100; i < signal.size(); ++i)
        ASSERT_EQ (meter.processSample (signal[i], 2), reference.processSample (signal[i], 2)) << i;
}

TEST (OVRATruePeakMeter, LevelsBeforeAnyBlockForSilenceAndPerChannel)
{
    OVRATruePeakMeter meter;
    for (const auto& level : meter.levels)
        EXPECT_EQ ((float) level, levelFloor);

    meter.prepare (48000.0, 480);
    meter.workBuffer.clear();
    meter.processBlock();
    for (const auto& level : meter.levels)
    {
        EXPECT_TRUE (std::isinf ((float) level));
        EXPECT_LT ((float) level, 0.0f);
    }

    // A tone on one slot moves only that slot's level.
    meter.workBuffer.clear();
    TestSignals::writeSine (meter.workBuffer, 4, 1000.0, 48000.0, 0.5f);
    meter.processBlock();
    for (int ch = 0; ch < OVRATruePeakMeter::numChannels; ++ch)
    {
        if (ch == 4)
            EXPECT_NEAR ((float) meter.levels[(size_t) ch], -6.02f, 0.05f);
        else
            EXPECT_TRUE (std::isinf ((float) meter.levels[(size_t) ch])) << ch;
    }

    // A buffer with fewer channels leaves the others' levels as they were.
    meter.workBuffer.setSize (2, 480);
    meter.workBuffer.clear();
    meter.processBlock();
    EXPECT_NEAR ((float) meter.levels[4], -6.02f, 0.05f);
}

TEST (OVRATruePeakMeter, BrokenSamplesReadAsSilence)
{
    // Two meters at every kind of rate: one sees NaN and infinities, the other
    // zeros in their place; both must read the same in that block and the next.
    for (const double rate : { 48000.0, 96000.0, 192000.0 })
    {
        OVRATruePeakMeter broken, clean;
        broken.prepare (rate, 480);
        clean.prepare (rate, 480);

        for (int block = 0; block < 2; ++block)
        {
            for (auto* meter : { &broken, &clean })
            {
                meter->workBuffer.clear();
                TestSignals::writeSine (meter->workBuffer, 0, 1000.0, rate, 0.5f, block * 480);
                TestSignals::writeSine (meter->workBuffer, 1, 1000.0, rate, 0.25f, block * 480);
            }

            if (block == 0)
            {
                for (int ch = 0; ch < 2; ++ch)
                {
                    broken.workBuffer.setSample (ch, 100, std::numeric_limits<float>::infinity());
                    broken.workBuffer.setSample (ch, 101, -std::numeric_limits<float>::infinity());
                    broken.workBuffer.setSample (ch, 200, std::numeric_limits<float>::quiet_NaN());
                    clean.workBuffer.setSample (ch, 100, 0.0f);
                    clean.workBuffer.setSample (ch, 101, 0.0f);
                    clean.workBuffer.setSample (ch, 200, 0.0f);
                }
            }

            broken.processBlock();
            clean.processBlock();

            for (size_t ch = 0; ch < 2; ++ch)
            {
                EXPECT_TRUE (std::isfinite (broken.levels[ch].get())) << rate << " block " << block;
                EXPECT_EQ (broken.levels[ch].get(), clean.levels[ch].get()) << rate << " block " << block;
            }
        }
    }
}

TEST (OVRATruePeakMeter, AgreesWithTheReferenceLibraryOnTones)
{
    // Two independent oversampling filters may differ by their ripple, not
    // by more. The second block is compared, past the onset's overshoot.
    const int rate = 48000, blockSize = 4800;
    for (double frequency : { 997.0, 5000.0, 11025.0, 15000.0 })
    {
        SCOPED_TRACE (frequency);
        OVRATruePeakMeter meter;
        meter.prepare (rate, blockSize);
        auto* reference = ebur128_init (1, (unsigned long) rate, EBUR128_MODE_TRUE_PEAK);
        double referencePeak = 0.0;

        for (int block = 0; block < 2; ++block)
        {
            meter.workBuffer.clear();
            TestSignals::writeSine (meter.workBuffer, 0, frequency, rate, 0.5f, block * blockSize, 1.0);
            ebur128_add_frames_float (reference, meter.workBuffer.getReadPointer (0), (size_t) blockSize);
            ebur128_prev_true_peak (reference, 0, &referencePeak);
            meter.processBlock();
        }
        ebur128_destroy (&reference);

        EXPECT_NEAR (meter.levels[0], 20.0 * std::log10 (referencePeak), 0.2);
        EXPECT_NEAR (meter.levels[0], 20.0 * std::log10 (0.5), 0.2);
    }
}
