#pragma once

#include "MeterScale.h"

#include <array>
#include <cstddef>

/** The processor's five fixed meter scales and the level-to-position maps:
    EBU wide and narrow, ATSC/ARIB wide and narrow, and true peak. Their
    ranges are written here once; the history drawer, the sound field and the
    vectroscope read them too. Positions are not clamped; meters limit what
    they draw.

        MeterScales scales;
        auto p = scales.levelToPosition (-23.0f, 0, standard, scale);
        auto pixels = scales.levelToPixels (-23.0f, 0, standard, scale);   // of 569
*/
class MeterScales
{
public:
    static constexpr int meterHeight = 569;
    static constexpr int ebuWideRow = 0, ebuNarrowRow = 1, atscWideRow = 2, atscNarrowRow = 3,
                         truePeakRow = 4;
    static constexpr int numRows = 5;

    /** A scale's bottom and top. */
    struct Range
    {
        float minDb, maxDb;
    };

    /** The rows' ranges in dB. */
    static constexpr std::array<Range, numRows> ranges { {
        { -59.0f, -5.0f },  // EBU wide
        { -41.0f, -14.0f }, // EBU narrow
        { -60.0f, -6.0f },  // ATSC/ARIB wide
        { -42.0f, -15.0f }, // ATSC/ARIB narrow
        { -60.0f, 5.0f },   // true peak
    } };

    /** The narrow and the wide loudness scales in LU: each standard's rows
        moved so that its target level reads 0. */
    static constexpr Range relativeNarrow { -18.0f, 9.0f }, relativeWide { -36.0f, 18.0f };

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

    /** Position on one row, for callers that already know the row. */
    float positionOnRow (float level, int row) const noexcept;

    /** Whole pixels of a 569-pixel meter for a position. */
    static int positionToPixels (float position) noexcept;

    const MeterScale& operator[] (int row) const noexcept { return scales[(std::size_t) row]; }

private:
    static float mapForRow (int row, float level) noexcept;

    std::array<MeterScale, numRows> scales;
};
