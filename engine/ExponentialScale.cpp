#include "ExponentialScale.h"

#include <juce_core/juce_core.h>

#include <cmath>

void ExponentialScale::setRange (double newMin, double newMax) noexcept
{
    // An empty range would divide by zero in every map.
    jassert (newMax > newMin);

    min = newMin;
    max = newMax;
    range = max - min;
    mapMin = map (min);
    mapMax = map (max);
    mapRange = mapMax - mapMin;
}

double ExponentialScale::map (double level) const noexcept
{
    // Two exponentials multiplied rather than exp (level / range + range):
    // positions must match the meters drawn from the same formula.
    return std::exp (level / range) * std::exp (range);
}

double ExponentialScale::levelToPosition (double level) const noexcept
{
    return (map (level) - mapMin) / mapRange;
}
