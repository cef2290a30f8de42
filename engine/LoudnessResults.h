#pragma once

#include "LevelRounding.h"
#include "RelaxedAtomic.h"

/** The loudness module's result block. Written on the loudness thread, copied
    whole by the audio thread on every block.

    Momentary and short-term loudness are already rounded to 0.1 LUFS; the
    integrated loudness, the range (LU) and the range's ends (LUFS) are not.
*/
struct LoudnessResults
{
    RelaxedAtomic<float> momentaryLoudness { levelFloor };
    RelaxedAtomic<float> shortTermLoudness { levelFloor };
    RelaxedAtomic<float> integratedLoudness { levelFloor };
    RelaxedAtomic<float> loudnessRange { levelFloor };
    RelaxedAtomic<float> loudnessRangeLow { levelFloor };
    RelaxedAtomic<float> loudnessRangeHigh { levelFloor };

    void reset() noexcept { *this = LoudnessResults(); }
};
