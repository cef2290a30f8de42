#include "MeterScales.h"

#include <juce_core/juce_core.h>

#include <cmath>

namespace
{
// In single precision and as two exponentials multiplied, so that positions
// match, bit for bit, what the meters draw from the same formula.
float exponentialMap (float level, float span) noexcept { return std::exp (level / span) * std::exp (span); }

} // namespace

MeterScales::MeterScales()
{
    for (int row = 0; row < numRows; ++row)
    {
        auto& s = scales[(size_t) row];
        s.minDb = ranges[(size_t) row].minDb;
        s.maxDb = ranges[(size_t) row].maxDb;
        s.mapMin = mapForRow (row, s.minDb);
        s.mapMax = mapForRow (row, s.maxDb);
        s.mapRange = s.mapMax - s.mapMin;
    }
}

//==============================================================================
float MeterScales::mapScale54 (float level) noexcept { return exponentialMap (level, 54.0f); }
float MeterScales::mapScale27 (float level) noexcept { return exponentialMap (level, 27.0f); }
float MeterScales::mapScale65 (float level) noexcept { return exponentialMap (level, 65.0f); }

float MeterScales::mapForRow (int row, float level) noexcept
{
    switch (row)
    {
        case ebuNarrowRow:
        case atscNarrowRow:
            return mapScale27 (level);
        case truePeakRow:
            return mapScale65 (level);
        default:
            return mapScale54 (level);
    }
}

int MeterScales::chooseRow (int truePeakFlag, float measurementStandard, float measurementScale) noexcept
{
    if (truePeakFlag != 0)
        return truePeakRow;

    const int standard = juce::roundToInt (measurementStandard);
    const int scale = juce::roundToInt (measurementScale);

    // An unknown scale value falls back to the EBU wide row for every standard.
    if (standard == 0)
        return scale == 1 ? ebuNarrowRow : ebuWideRow;

    if (scale == 0)
        return atscWideRow;

    return scale == 1 ? atscNarrowRow : ebuWideRow;
}

//==============================================================================
float MeterScales::positionOnRow (float level, int row) const noexcept
{
    row = juce::jlimit (0, numRows - 1, row);
    const auto& s = scales[(size_t) row];
    return (mapForRow (row, level) - s.mapMin) / s.mapRange;
}

float MeterScales::levelToPosition (float level, int truePeakFlag, float measurementStandard,
                                    float measurementScale) const noexcept
{
    return positionOnRow (level, chooseRow (truePeakFlag, measurementStandard, measurementScale));
}

int MeterScales::positionToPixels (float position) noexcept
{
    const double pixels = position * meterHeight + 0.5;

    // A level of +inf or NaN must not reach the int conversion, which is
    // undefined outside int's range; the meters clip far sooner anyway.
    if (std::isnan (pixels))
        return 0;

    constexpr double limit = 1.0e6;
    return (int) juce::jlimit (-limit, limit, pixels);
}

int MeterScales::levelToPixels (float level, int truePeakFlag, float measurementStandard,
                                float measurementScale) const noexcept
{
    return positionToPixels (levelToPosition (level, truePeakFlag, measurementStandard, measurementScale));
}
