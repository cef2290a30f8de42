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

    //==============================================================================
    /** The compiler's vector types the loops are written in: one SSE2 register
        (16 bytes), one AVX register (32 bytes), or half an SSE2 one. */
    using Floats2 = float __attribute__ ((vector_size (8)));
    using Floats4 = float __attribute__ ((vector_size (16)));
    using Floats8 = float __attribute__ ((vector_size (32)));
    using Doubles2 = double __attribute__ ((vector_size (16)));
    using Doubles4 = double __attribute__ ((vector_size (32)));

private:
    static const bool avx;
};
