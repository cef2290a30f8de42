#pragma once

#include <array>
#include <cmath>

/** A loudness standard the meter follows: its name, the unit word of its
    absolute levels, the offset that turns them into LU, the preset that
    choosing it writes, and the zones of the integrated read-out. One row per
    standard in the order of the settings' measurementStandard value; the
    unit words shared by all of them stand beside.

        if (const auto index = LoudnessStandard::indexOf (settings.measurementStandard); index >= 0)
            shown = level + LoudnessStandard::all[(size_t) index].luOffset;   // in LU

    Constant data: any thread.
*/
struct LoudnessStandard
{
    enum Index
    {
        ebu,
        atsc,
        arib
    };

    static constexpr int count = 3;

    /** The unit of levels relative to the target, and of the loudness range. */
    static constexpr const char* relativeUnit = "LU";
    /** The unit of true-peak levels. */
    static constexpr const char* truePeakUnit = "dBTP";

    /** Where an integrated level lies against the target. */
    enum class Zone
    {
        onTarget,
        withinTolerance,
        outside
    };

    //==============================================================================
    const char* name; // as the mode read-out shows it
    const char* unit; // of absolute levels
    float luOffset;   // added to an absolute level to read it in LU: the target, negated

    // The preset that choosing the standard writes into the settings.
    float truePeakRefLevel; // the settings' value: 0 the -18 face, 1 the -20 face
    float truePeakMaxLevel; // dBTP
    float shortTermMaxLevel;

    // The integrated read-out's zones, absolute levels from the top down.
    float upperTolerance, upperTarget, lowerTarget, lowerTolerance;

    //==============================================================================
    Zone zoneOf (float integrated) const noexcept
    {
        if (lowerTarget <= integrated && integrated <= upperTarget)
            return Zone::onTarget;

        if ((upperTarget < integrated && integrated <= upperTolerance)
            || (lowerTolerance <= integrated && integrated < lowerTarget))
            return Zone::withinTolerance;

        return Zone::outside;
    }

    /** The row of a measurementStandard setting taken to the nearest whole
        number; -1 for a value outside the three (a restored state may hold one). */
    static int indexOf (float measurementStandard) noexcept
    {
        const auto index = (int) std::lround (measurementStandard);
        return index >= 0 && index < count ? index : -1;
    }

    static const std::array<LoudnessStandard, count> all;

    /** EBU's row, or the row that ATSC and ARIB share for everything but
        their names. */
    static const LoudnessStandard& rowOf (bool ebuMode) noexcept { return all[ebuMode ? ebu : atsc]; }
};

// clang-format off
inline const std::array<LoudnessStandard, LoudnessStandard::count> LoudnessStandard::all { {
    //  name    unit    LU   ref  TP max  ST max   upper tol. / target, lower target / tol.
    { "EBU",  "LUFS", 23.0f, 0.0f, -1.0f, -18.0f,  -20.6f, -22.0f, -24.0f, -28.4f },
    { "ATSC", "LKFS", 24.0f, 1.0f, -2.0f, -10.0f,  -20.6f, -22.0f, -26.0f, -28.4f },
    { "ARIB", "LKFS", 24.0f, 1.0f, -2.0f, -10.0f,  -20.6f, -22.0f, -26.0f, -28.4f },
} };
// clang-format on
