#pragma once

/** The same exponential map as MeterScale, in double precision and for any
    range; the vectroscope's logarithmic mode uses -60 to +5 dB. */
struct ExponentialScale
{
    double min = 0.0, max = 0.0, range = 0.0;
    double mapMin = 0.0, mapMax = 0.0, mapRange = 0.0;

    void setRange (double newMin, double newMax) noexcept;

    /** Position of a level: 0 at min, 1 at max, not clamped. */
    double levelToPosition (double level) const noexcept;
};
