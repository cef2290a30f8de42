#pragma once

/** The same exponential map as MeterScale, in double precision and for any
    range; the vectroscope's logarithmic mode uses -60 to +5 dB.

        ExponentialScale scale;
        scale.setRange (-60.0, 5.0);
        auto p = scale.levelToPosition (-1.0);   // 0 at -60, 1 at +5
*/
struct ExponentialScale
{
    double min = 0.0, max = 0.0, range = 0.0;
    double mapMin = 0.0, mapMax = 0.0, mapRange = 0.0;

    /** Sets the bottom and top in dB; the top must lie above the bottom. */
    void setRange (double newMin, double newMax) noexcept;

    /** exp (level / range) * exp (range), the map both ends are taken through. */
    double map (double level) const noexcept;

    /** Position of a level: 0 at min, 1 at max, not clamped. */
    double levelToPosition (double level) const noexcept;
};
