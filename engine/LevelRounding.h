#pragma once

#include <cmath>

/** The one rounding rule for every published, logged or compared loudness
    and true-peak value: floor (x * 10 + 0.5) / 10 in single precision, so
    -23.04 gives -23.0 and -23.06 gives -23.1.
*/
inline float roundToOneDecimal (float x) noexcept { return std::floor (x * 10.0f + 0.5f) / 10.0f; }

/** Level that stands for "no value" in meters, histograms and reports. */
constexpr float levelFloor = -70.0f;
