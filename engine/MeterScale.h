#pragma once

/** One exponential meter scale in single precision: a level in dB maps to
    (map (level) - mapMin) / mapRange, 0 at minDb and 1 at maxDb, through
    map (x) = exp (x / span) * exp (span). */
struct MeterScale
{
    float minDb = 0.0f;
    float maxDb = 0.0f;
    float mapMin = 0.0f;
    float mapMax = 0.0f;
    float mapRange = 0.0f;
};
