#include "LoudnessStandard.h"

#include <gtest/gtest.h>

#include <cmath>

TEST (LoudnessStandard, EachTargetReadsZeroLuInTheMiddleOfItsZones)
{
    using Zone = LoudnessStandard::Zone;

    for (const auto& standard : LoudnessStandard::all)
    {
        const float target = -standard.luOffset;
        EXPECT_EQ (Zone::onTarget, standard.zoneOf (target)) << standard.name;
        EXPECT_EQ (Zone::onTarget, standard.zoneOf (standard.upperTarget)) << standard.name;
        EXPECT_EQ (Zone::onTarget, standard.zoneOf (standard.lowerTarget)) << standard.name;
        EXPECT_EQ (Zone::withinTolerance, standard.zoneOf (std::nextafter (standard.upperTarget, 0.0f)))
            << standard.name;
        EXPECT_EQ (Zone::withinTolerance, standard.zoneOf (standard.lowerTolerance)) << standard.name;
        EXPECT_EQ (Zone::outside, standard.zoneOf (std::nextafter (standard.upperTolerance, 0.0f)))
            << standard.name;
        EXPECT_EQ (Zone::outside, standard.zoneOf (std::nextafter (standard.lowerTolerance, -100.0f)))
            << standard.name;
    }
}

TEST (LoudnessStandard, SettingsOutsideTheThreeHaveNoRow)
{
    for (int index = 0; index < LoudnessStandard::count; ++index)
    {
        EXPECT_EQ (index, LoudnessStandard::indexOf ((float) index));
        EXPECT_EQ (index, LoudnessStandard::indexOf ((float) index + 0.4f));
    }

    for (float setting : { -1.0f, -0.6f, 2.5f, 3.0f, 1.0e6f })
        EXPECT_EQ (-1, LoudnessStandard::indexOf (setting)) << setting;
}
