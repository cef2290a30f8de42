#pragma once

#include <cmath>

/** What the bars, the correlation meters and the sound field share in their
    smoothing: the release coefficient, and when a new value counts as a
    change at all. */
namespace MeterSmoothing
{
/** e^(-1 / (release time x sample rate)); 0, so that each value is taken at
    once, while either is not positive. */
inline float releaseCoefficient (float releaseSeconds, double sampleRate) noexcept
{
    const double samples = (double) releaseSeconds * sampleRate;
    return samples > 0.0 ? (float) std::exp (-1.0 / samples) : 0.0f;
}

/** The two stages: an envelope that follows a rise at once and falls by the
    release coefficient, then a weighted step from the previous value towards
    it (attack is the previous value's weight). Returns the new value. */
inline float smooth (float input, float& envelope, float previous, float attack,
                     float releaseCoefficient) noexcept
{
    const float released = (1.0f - releaseCoefficient) * input + releaseCoefficient * envelope;
    envelope = input > released ? input : released;
    return (1.0f - attack) * envelope + attack * previous;
}

/** A value changes when |old - new| > |old| x 1e-8. */
inline bool differs (float stored, float value) noexcept
{
    return std::abs ((double) stored - (double) value) > std::abs ((double) stored) * 1.0e-8;
}
} // namespace MeterSmoothing
