#pragma once

#include "MeterScale.h"

#include <array>

/** The processor's five fixed meter scales and the level-to-position maps.

    Rows: 0 EBU wide (-59..-5), 1 EBU narrow (-41..-14), 2 ATSC/ARIB wide
    (-60..-6), 3 ATSC/ARIB narrow (-42..-15), 4 true peak (-60..+5).
    Positions are not clamped; meters limit what they draw.
*/
class MeterScales
{
public:
    static constexpr int meterHeight = 569;
    static constexpr int truePeakRow = 4;

    MeterScales();

    //==============================================================================
    static float mapScale54 (float level) noexcept;
    static float mapScale27 (float level) noexcept;
    static float mapScale65 (float level) noexcept;

    /** Row for a true-peak flag and the settings' standard and scale (each
        rounded to the nearest integer). */
    static int chooseRow (int truePeakFlag, float measurementStandard, float measurementScale) noexcept;

    /** (map (level) - mapMin) / mapRange on the chosen row. */
    float levelToPosition (float level, int truePeakFlag, float measurementStandard,
                           float measurementScale) const noexcept;

    /** The position in whole pixels of a 569-pixel meter: (int) (p * 569 + 0.5). */
    int levelToPixels (float level, int truePeakFlag, float measurementStandard,
                       float measurementScale) const noexcept;

    const MeterScale& operator[] (int row) const noexcept { return scales[(size_t) row]; }

private:
    std::array<MeterScale, 5> scales;
};
