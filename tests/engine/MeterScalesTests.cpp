#include "ExponentialScale.h"
#include "MeterScales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
// The closed form of every scale: (e^t - 1) / (e - 1) with t = (level - bottom) / span.
double closedFormPosition (double level, double bottom, double top)
{
    const double t = (level - bottom) / (top - bottom);
    return (std::exp (t) - 1.0) / (std::exp (1.0) - 1.0);
}

struct RowCase
{
    float standard, scale;
    int expectedRow;
};
} // namespace

TEST (MeterScales, RowsHaveTheirRangesAndMatchTheClosedForm)
{
    const MeterScales scales;

    for (int row = 0; row < MeterScales::numRows; ++row)
    {
        SCOPED_TRACE (row);
        const auto& s = scales[row];
        EXPECT_EQ (s.minDb, MeterScales::ranges[(size_t) row].minDb);
        EXPECT_EQ (s.maxDb, MeterScales::ranges[(size_t) row].maxDb);
        EXPECT_FLOAT_EQ (s.mapRange, s.mapMax - s.mapMin);

        EXPECT_NEAR (scales.positionOnRow (s.minDb, row), 0.0f, 1.0e-6f);
        EXPECT_NEAR (scales.positionOnRow (s.maxDb, row), 1.0f, 1.0e-6f);
        EXPECT_EQ (MeterScales::positionToPixels (scales.positionOnRow (s.minDb, row)), 0);
        EXPECT_EQ (MeterScales::positionToPixels (scales.positionOnRow (s.maxDb, row)),
                   MeterScales::meterHeight);

        // The middle of the span sits low: the exponential spreads the top.
        const float middle = 0.5f * (s.minDb + s.maxDb);
        EXPECT_NEAR (scales.positionOnRow (middle, row), 0.3775, 1.0e-4);

        for (float level = s.minDb - 15.0f; level <= s.maxDb + 10.0f; level += 0.7f)
            EXPECT_NEAR (scales.positionOnRow (level, row), closedFormPosition (level, s.minDb, s.maxDb),
                         2.0e-5)
                << "level " << level;
    }
}

TEST (MeterScales, PixelCountsOfTheFiveRows)
{
    const MeterScales scales;
    auto pixels = [&] (float level, int tp, float standard, float scale) {
        return scales.levelToPixels (level, tp, standard, scale);
    };

    // EBU wide.
    EXPECT_EQ (pixels (-59.0f, 0, 0.0f, 0.0f), 0);
    EXPECT_EQ (pixels (-5.0f, 0, 0.0f, 0.0f), 569);
    EXPECT_EQ (pixels (-23.0f, 0, 0.0f, 0.0f), 314);
    EXPECT_NEAR (scales.levelToPosition (-23.0f, 0, 0.0f, 0.0f), 0.5516f, 1.0e-4f);
    EXPECT_NEAR ((float) pixels (-23.0f, 0, 0.0f, 0.0f) / MeterScales::meterHeight, 0.5518f, 1.0e-4f);
    EXPECT_EQ (pixels (-70.0f, 0, 0.0f, 0.0f), -60);
    EXPECT_EQ (pixels (0.0f, 0, 0.0f, 0.0f), 656);

    // The narrow rows and the ATSC/ARIB rows put their targets at the same height.
    EXPECT_EQ (pixels (-23.0f, 0, 0.0f, 1.0f), 314);
    EXPECT_EQ (pixels (-24.0f, 0, 1.0f, 0.0f), 314);
    EXPECT_EQ (pixels (-24.0f, 0, 2.0f, 1.0f), 314);

    // True peak, whatever the standard and scale.
    for (float standard : { 0.0f, 1.0f, 2.0f })
    {
        for (float scale : { 0.0f, 1.0f })
        {
            EXPECT_EQ (pixels (-60.0f, 1, standard, scale), 0);
            EXPECT_EQ (pixels (5.0f, 1, standard, scale), 569);
            EXPECT_EQ (pixels (-1.0f, 1, standard, scale), 490);
            EXPECT_EQ (pixels (0.0f, 1, standard, scale), 502);
            EXPECT_EQ (pixels (-70.0f, 1, standard, scale), -46);
        }
    }
}

TEST (MeterScales, RowChoiceRoundsStandardAndScale)
{
    const RowCase cases[] = {
        { 0.0f, 0.0f, 0 },  { 0.0f, 1.0f, 1 }, { 1.0f, 0.0f, 2 },  { 1.0f, 1.0f, 3 }, { 2.0f, 0.0f, 2 },
        { 2.0f, 1.0f, 3 },  { 1.0f, 0.4f, 2 }, { 1.0f, 2.0f, 0 },  { 2.0f, 2.0f, 0 }, { 0.0f, 2.0f, 0 },
        { 0.6f, 0.0f, 2 },  { 0.6f, 1.0f, 3 }, { 0.4f, 1.0f, 1 },  { 0.0f, 0.6f, 1 }, { 1.0f, -1.0f, 0 },
        { 0.0f, -1.0f, 0 }, { 3.0f, 1.2f, 3 }, { -1.0f, 0.0f, 2 },
    };

    const MeterScales scales;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "standard " << c.standard << ", scale " << c.scale);
        EXPECT_EQ (MeterScales::chooseRow (0, c.standard, c.scale), c.expectedRow);
        EXPECT_EQ (MeterScales::chooseRow (1, c.standard, c.scale), MeterScales::truePeakRow);
        EXPECT_EQ (MeterScales::chooseRow (-3, c.standard, c.scale), MeterScales::truePeakRow);

        // Both public maps follow the row they choose.
        EXPECT_EQ (scales.levelToPosition (-20.0f, 0, c.standard, c.scale),
                   scales.positionOnRow (-20.0f, c.expectedRow));
        EXPECT_EQ (scales.levelToPixels (-20.0f, 0, c.standard, c.scale),
                   MeterScales::positionToPixels (scales.positionOnRow (-20.0f, c.expectedRow)));
    }
}

TEST (MeterScales, UnboundedLevelsGiveDefinedPixelCounts)
{
    const MeterScales scales;
    const float inf = std::numeric_limits<float>::infinity();

    EXPECT_GT (scales.levelToPixels (inf, 1, 0.0f, 0.0f), 569);
    EXPECT_GT (scales.levelToPixels (1000.0f, 0, 0.0f, 0.0f), 569);
    EXPECT_EQ (scales.levelToPixels (std::nanf (""), 0, 0.0f, 0.0f), 0);

    // A silent channel's minus infinity lands where any very low level does.
    EXPECT_EQ (scales.levelToPixels (-inf, 1, 0.0f, 0.0f), scales.levelToPixels (-5000.0f, 1, 0.0f, 0.0f));
    EXPECT_LT (scales.levelToPixels (-inf, 1, 0.0f, 0.0f), scales.levelToPixels (-70.0f, 1, 0.0f, 0.0f));
}

TEST (ExponentialScale, MapsLikeTheTruePeakRowInDoublePrecision)
{
    ExponentialScale scale;
    scale.setRange (-60.0, 5.0);

    EXPECT_EQ (scale.min, -60.0);
    EXPECT_EQ (scale.max, 5.0);
    EXPECT_EQ (scale.range, 65.0);
    EXPECT_EQ (scale.mapMin, std::exp (-60.0 / 65.0) * std::exp (65.0));
    EXPECT_EQ (scale.mapMax, std::exp (5.0 / 65.0) * std::exp (65.0));
    EXPECT_EQ (scale.mapRange, scale.mapMax - scale.mapMin);

    EXPECT_NEAR (scale.levelToPosition (-60.0), 0.0, 1.0e-12);
    EXPECT_NEAR (scale.levelToPosition (5.0), 1.0, 1.0e-12);

    const MeterScales scales;
    for (double level = -80.0; level <= 10.0; level += 1.25)
    {
        EXPECT_NEAR (scale.levelToPosition (level), closedFormPosition (level, -60.0, 5.0), 1.0e-12);
        EXPECT_NEAR (scale.levelToPosition (level),
                     scales.positionOnRow ((float) level, MeterScales::truePeakRow), 2.0e-5);
    }

    // Any range works, not just the vectroscope's.
    scale.setRange (-41.0, -14.0);
    EXPECT_NEAR (scale.levelToPosition (-23.0), closedFormPosition (-23.0, -41.0, -14.0), 1.0e-12);
    EXPECT_LT (scale.levelToPosition (-50.0), 0.0);
    EXPECT_GT (scale.levelToPosition (0.0), 1.0);
}
