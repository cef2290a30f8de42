#include "MeterBallistics.h"

#include <cmath>

MeterBallistics::MeterBallistics (bool on, double rate) noexcept : sampleRate (rate), enabled (on) {}

void MeterBallistics::setReleaseTime (float seconds) noexcept
{
    releaseTime = seconds;
    updateReleaseCoefficient();
}

void MeterBallistics::setSampleRate (double rate) noexcept
{
    sampleRate = rate;
    updateReleaseCoefficient();
}

void MeterBallistics::updateReleaseCoefficient() noexcept
{
    // e^(-1 / (release time x sample rate)); 0, so that each value is taken
    // at once, while either is not positive.
    const double samples = (double) releaseTime * sampleRate;
    releaseCoefficient = samples > 0.0 ? (float) std::exp (-1.0 / samples) : 0.0f;
}

//==============================================================================
bool MeterBallistics::differs (float stored, float value) noexcept
{
    return std::abs ((double) stored - (double) value) > std::abs ((double) stored) * 1.0e-8;
}

float MeterBallistics::released (float input, float envelope) const noexcept
{
    return (1.0f - releaseCoefficient) * input + releaseCoefficient * envelope;
}

float MeterBallistics::follow (float input, float& envelope, float current) const noexcept
{
    if (! differs (current, input))
        return current;

    if (! enabled)
        return input;

    const float candidate = released (input, envelope);
    envelope = input > candidate ? input : candidate;
    return (1.0f - attack) * envelope + attack * current;
}

float MeterBallistics::followField (float input, float& envelope, float current) const noexcept
{
    if (! enabled)
        return input;

    const float candidate = released (input, envelope);
    envelope = current > candidate ? input : candidate;
    return (1.0f - attack) * envelope + attack * input;
}
