#include "LevelRounding.h"
#include "OVRALoudnessHistogram.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
int totalCount (const OVRALoudnessHistogram& histogram)
{
    float total = 0.0f;
    for (int i = 0; i < OVRALoudnessHistogram::numBins; ++i)
        total += histogram.getCount (i);
    return (int) total;
}

int binOf (float loudness) { return (int) std::lround ((double) loudness * 10.0) + 700; }

/** Energy mean of a set of loudness values, in LUFS, in double precision. */
double energyMean (const std::vector<float>& values)
{
    double sum = 0.0;
    for (auto v : values)
        sum += std::pow (10.0, v / 10.0);
    return 10.0 * std::log10 (sum / (double) values.size());
}

std::vector<float> roundedAtOrAbove (const std::vector<float>& values, double gate)
{
    std::vector<float> kept;
    for (auto v : values)
        if (v >= gate)
            kept.push_back (v);
    return kept;
}

struct Range
{
    float range, low, high;
};

Range rangeOf (const OVRALoudnessHistogram& histogram)
{
    Range r {};
    histogram.getLoudnessRange (r.range, r.low, r.high);
    return r;
}
} // namespace

TEST (OVRALoudnessHistogram, BinsCoverMinusSeventyToZeroInTenthsAndValuesRoundToTheNearest)
{
    OVRALoudnessHistogram histogram;

    for (int i = 0; i < OVRALoudnessHistogram::numBins; ++i)
        ASSERT_EQ (histogram.getBinLoudness (i), (float) ((i - 700) / 10.0)) << "bin " << i;

    // Nothing below the floor, and no NaN, is counted.
    for (float v : { -80.0f, -70.01f, std::nanf (""), -std::numeric_limits<float>::infinity() })
        histogram.add (v);
    EXPECT_EQ (totalCount (histogram), 0);

    for (float v : { -70.0f, -69.96f })
        histogram.add (v);
    EXPECT_EQ (histogram.getCount (0), 2.0f);

    for (float v : { -23.04f, -23.05f, -22.96f })
        histogram.add (v);
    EXPECT_EQ (histogram.getCount (binOf (-23.0f)), 3.0f);
    EXPECT_EQ (histogram.getBinLoudness (binOf (-23.0f)), -23.0f);

    // Values above the top bin, which the meter never produces, count there.
    for (float v : { 0.0f, 0.04f, 3.0f })
        histogram.add (v);
    EXPECT_EQ (histogram.getCount (OVRALoudnessHistogram::numBins - 1), 3.0f);
    EXPECT_EQ (totalCount (histogram), 8);

    // Every tenth from -70.0 to 0.0, computed the way the meter computes
    // values, lands in its own bin.
    OVRALoudnessHistogram tenths;
    for (int i = 0; i < OVRALoudnessHistogram::numBins; ++i)
        tenths.add (roundToOneDecimal (-70.0f + (float) i * 0.1f));
    for (int i = 0; i < OVRALoudnessHistogram::numBins; ++i)
        ASSERT_EQ (tenths.getCount (i), 1.0f) << "bin " << i;

    // Clearing zeroes the counts and keeps the gating switch.
    tenths.gatingEnabled = false;
    tenths.clear();
    EXPECT_EQ (totalCount (tenths), 0);
    EXPECT_FALSE (tenths.gatingEnabled.get());
}

TEST (OVRALoudnessHistogram, EmptyAndSingleBinHistograms)
{
    OVRALoudnessHistogram histogram;
    for (bool gating : { true, false })
    {
        histogram.gatingEnabled = gating;
        EXPECT_EQ (histogram.getIntegratedLoudness(), levelFloor);
        const auto r = rangeOf (histogram);
        EXPECT_EQ (r.range, 0.0f);
        EXPECT_EQ (r.low, levelFloor);
        EXPECT_EQ (r.high, levelFloor);
    }

    for (int i = 0; i < 5; ++i)
        histogram.add (-31.2f);
    for (bool gating : { true, false })
    {
        histogram.gatingEnabled = gating;
        EXPECT_NEAR (histogram.getIntegratedLoudness(), -31.2f, 1e-4f);
        const auto r = rangeOf (histogram);
        EXPECT_EQ (r.range, 0.0f);
        EXPECT_EQ (r.low, -31.2f);
        EXPECT_EQ (r.high, -31.2f);
    }
}

TEST (OVRALoudnessHistogram, TwoLevelProgrammes)
{
    // With gating on the absolute gate drops the floor value and the relative
    // gates change nothing here; with gating off every counted value takes
    // part, the floor value included. The 95 % rank of twenty values (19)
    // falls in the highest bin.
    const auto tenEach = [] {
        std::vector<float> values;
        for (int i = 0; i < 10; ++i)
            values.insert (values.end(), { -20.0f, -10.0f });
        return values;
    }();

    const struct
    {
        std::vector<float> values;
        bool gating;
        float integrated, low, high, range;
    } cases[] = {
        { tenEach, true, -12.596f, -20.0f, -10.0f, 10.0f },
        { tenEach, false, -12.596f, -20.0f, -10.0f, 10.0f },
        { { -23.0f, -70.0f }, true, -23.0f, -23.0f, -23.0f, 0.0f },
        { { -23.0f, -70.0f }, false, -26.01f, -70.0f, -23.0f, 47.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.values.size() << " values, gating " << c.gating);
        OVRALoudnessHistogram histogram;
        histogram.gatingEnabled = c.gating;
        for (float v : c.values)
            histogram.add (v);

        EXPECT_NEAR (histogram.getIntegratedLoudness(), c.integrated, 0.005f);
        const auto r = rangeOf (histogram);
        EXPECT_EQ (r.low, c.low);
        EXPECT_EQ (r.high, c.high);
        EXPECT_FLOAT_EQ (r.range, c.range);
    }
}

TEST (OVRALoudnessHistogram, RangeEndsAreTheValuesAtTheTenAndNinetyFivePercentRanks)
{
    OVRALoudnessHistogram histogram;
    std::vector<float> values;
    for (int i = 0; i < 100; ++i)
    {
        values.push_back (roundToOneDecimal (-40.0f + 0.2f * (float) i));
        histogram.add (values.back());
    }

    const auto r = rangeOf (histogram);
    EXPECT_EQ (r.low, values[10]);
    EXPECT_EQ (r.high, values[95]);
    EXPECT_EQ (r.low, -38.0f);
    EXPECT_EQ (r.high, -21.0f);
    EXPECT_NEAR (r.range, 17.0f, 1e-4f);
}

TEST (OVRALoudnessHistogram, AVeryQuietProgrammeHasItsGateBelowTheFloor)
{
    // Mostly values just above the floor and a few at -65: the level lies
    // near -69, so both relative gates fall below -70 and change nothing.
    OVRALoudnessHistogram histogram;
    for (int i = 0; i < 40; ++i)
        histogram.add (-69.9f);
    for (int i = 0; i < 3; ++i)
        histogram.add (-65.0f);

    const float gated = histogram.getIntegratedLoudness();
    const auto gatedRange = rangeOf (histogram);
    histogram.gatingEnabled = false;

    EXPECT_EQ (gated, histogram.getIntegratedLoudness());
    const auto plainRange = rangeOf (histogram);
    EXPECT_EQ (gatedRange.low, plainRange.low);
    EXPECT_EQ (gatedRange.high, plainRange.high);
    EXPECT_EQ (gatedRange.low, -69.9f);
}

TEST (OVRALoudnessHistogram, AgreesWithASortedListOnRandomProgrammes)
{
    // A plain reference: with gating, keep every value above the floor, gate
    // by their energy mean, sort, and pick the ranks; without, take every
    // value. The histogram must give the same bins. Programmes centred near
    // -65 put some values on the floor.
    TestSignals::WhiteNoise random (77);

    for (int trial = 0; trial < 20; ++trial)
    {
        OVRALoudnessHistogram histogram;
        std::vector<float> values;
        const int count = 20 + (int) (100.0f * (random.next (0.5f) + 0.5f));
        const float centre = -45.0f + random.next (20.0f);
        const float spread = 2.0f + 12.0f * (random.next (0.5f) + 0.5f);

        for (int i = 0; i < count; ++i)
        {
            const float v = roundToOneDecimal (juce::jlimit (-70.0f, 0.0f, centre + random.next (spread)));
            values.push_back (v);
            histogram.add (v);
        }

        auto counted = roundedAtOrAbove (values, levelFloor + 0.05);
        const double ungated = energyMean (counted);
        const double integratedGate = roundToOneDecimal ((float) ungated - 10.0f) - 1e-3;
        const auto integratedKept = roundedAtOrAbove (counted, integratedGate);
        EXPECT_NEAR (histogram.getIntegratedLoudness(), energyMean (integratedKept), 0.002)
            << "trial " << trial;

        auto rangeKept = roundedAtOrAbove (counted, roundToOneDecimal ((float) ungated - 20.0f) - 1e-3);
        std::sort (rangeKept.begin(), rangeKept.end());
        const auto n = rangeKept.size();
        const auto r = rangeOf (histogram);
        EXPECT_EQ (r.low, rangeKept[(size_t) std::floor ((float) n * 0.1f)]) << "trial " << trial;
        EXPECT_EQ (r.high, rangeKept[(size_t) std::floor ((float) n * 0.95f)]) << "trial " << trial;
        EXPECT_NEAR (r.range, r.high - r.low, 1e-6f);

        histogram.gatingEnabled = false;
        EXPECT_NEAR (histogram.getIntegratedLoudness(), energyMean (values), 0.002) << "trial " << trial;
        std::sort (values.begin(), values.end());
        const auto plain = rangeOf (histogram);
        EXPECT_EQ (plain.low, values[(size_t) std::floor ((float) values.size() * 0.1f)]);
        EXPECT_EQ (plain.high, values[(size_t) std::floor ((float) values.size() * 0.95f)]);
    }
}
