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

    /** Transposes four vectors of four in place: four channels' runs of four
        samples become the four frames of those channels, and back. */
    static inline __attribute__ ((always_inline)) void transpose (Floats4 (&rows)[4]) noexcept
    {
        using Ints4 = int __attribute__ ((vector_size (16)));
        const Floats4 t0 = __builtin_shuffle (rows[0], rows[1], Ints4 { 0, 4, 1, 5 });
        const Floats4 t1 = __builtin_shuffle (rows[0], rows[1], Ints4 { 2, 6, 3, 7 });
        const Floats4 t2 = __builtin_shuffle (rows[2], rows[3], Ints4 { 0, 4, 1, 5 });
        const Floats4 t3 = __builtin_shuffle (rows[2], rows[3], Ints4 { 2, 6, 3, 7 });
        rows[0] = __builtin_shuffle (t0, t2, Ints4 { 0, 1, 4, 5 });
        rows[1] = __builtin_shuffle (t0, t2, Ints4 { 2, 3, 6, 7 });
        rows[2] = __builtin_shuffle (t1, t3, Ints4 { 0, 1, 4, 5 });
        rows[3] = __builtin_shuffle (t1, t3, Ints4 { 2, 3, 6, 7 });
    }

private:
    static const bool avx;
};
