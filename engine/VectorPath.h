#pragma once

/** Which vector instructions the measurement loops use: AVX where the
    processor has it, SSE2 (every x86-64) otherwise. Decided once when the
    program starts; ZELX_NO_AVX=1 in the environment forces SSE2, so that
    both paths can be checked on one machine. Both give identical results.

        if (VectorPath::useAvx())
            runWithAvx();
*/
class VectorPath
{
public:
    /** Any thread, without locking. */
    static bool useAvx() noexcept { return avx; }

private:
    static const bool avx;
};
