#include "ChannelCorrelation.h"

#include "VectorPath.h"

#include <cmath>
#include <cstring>

namespace
{
constexpr float correlationFloorRms = 0.0001f;

/** The reading from a pair's single-precision sums of squares and products. */
float correlationFromSums (float sll, float srr, float slr, int numSamples) noexcept
{
    const float rmsL = std::sqrt (sll / (float) numSamples);
    const float rmsR = std::sqrt (srr / (float) numSamples);

    // The comparisons are false for NaN, which therefore reads as uncorrelated
    // silence rather than a NaN on the meter.
    if (! (rmsL >= correlationFloorRms && rmsR >= correlationFloorRms))
        return 1.0f;

    const float correlation = slr / std::sqrt (sll * srr);

    // Sums that overflowed to infinity give NaN here; read them the same way.
    if (std::isnan (correlation))
        return 1.0f;

    return juce::jlimit (-1.0f, 1.0f, correlation);
}

/** Lanes of the pairs' sums: the six pairs, padded to two whole SSE2 vectors. */
constexpr int pairLanes = 8;

static_assert (ChannelCorrelation::numPairs <= pairLanes && Slots::count == 6);

using Floats4 = VectorPath::Floats4;
using Ints4 = int __attribute__ ((vector_size (16)));

/** A lane's left or right channel, which is also its index in a frame's two
    vectors, channels (0 1 2 3) and (4 5 4 5). The spare lanes repeat the
    first pair and are not read. */
constexpr int frameIndex (int lane, bool second) noexcept
{
    const auto pair = Slots::correlationPairs[(size_t) (lane < ChannelCorrelation::numPairs ? lane : 0)];
    return second ? pair.second : pair.first;
}

/** Adds n samples of six channels to each lane's sums of l * l, r * r and
    l * r, each in sample order. Four frames at a time are turned from six
    channel runs into frame vectors, from which each lane picks its pair. */
inline __attribute__ ((always_inline)) void addPairProducts (const float* const* channels, int n,
                                                             float* sums) noexcept
{
    constexpr Ints4 firstLow { frameIndex (0, false), frameIndex (1, false), frameIndex (2, false),
                               frameIndex (3, false) };
    constexpr Ints4 firstHigh { frameIndex (4, false), frameIndex (5, false), frameIndex (6, false),
                                frameIndex (7, false) };
    constexpr Ints4 secondLow { frameIndex (0, true), frameIndex (1, true), frameIndex (2, true),
                                frameIndex (3, true) };
    constexpr Ints4 secondHigh { frameIndex (4, true), frameIndex (5, true), frameIndex (6, true),
                                 frameIndex (7, true) };

    Floats4 ll[2], rr[2], lr[2];
    std::memcpy (ll, sums, sizeof (ll));
    std::memcpy (rr, sums + pairLanes, sizeof (rr));
    std::memcpy (lr, sums + 2 * pairLanes, sizeof (lr));

    const auto addFrame = [&] (Floats4 front, Floats4 back) {
        const Floats4 l[2] = { __builtin_shuffle (front, back, firstLow),
                               __builtin_shuffle (front, back, firstHigh) };
        const Floats4 r[2] = { __builtin_shuffle (front, back, secondLow),
                               __builtin_shuffle (front, back, secondHigh) };

        for (int v = 0; v < 2; ++v)
        {
            ll[v] = ll[v] + l[v] * l[v];
            rr[v] = rr[v] + r[v] * r[v];
            lr[v] = lr[v] + l[v] * r[v];
        }
    };

    int i = 0;

    for (; i + 4 <= n; i += 4)
    {
        Floats4 front[4], back[2];

        for (int ch = 0; ch < 4; ++ch)
            std::memcpy (&front[ch], channels[ch] + i, sizeof (Floats4));

        for (int ch = 0; ch < 2; ++ch)
            std::memcpy (&back[ch], channels[4 + ch] + i, sizeof (Floats4));

        // Channels 0 to 3 transposed into frames; 4 and 5 paired per frame.
        VectorPath::transpose (front);
        const Floats4 u0 = __builtin_shuffle (back[0], back[1], Ints4 { 0, 4, 1, 5 });
        const Floats4 u1 = __builtin_shuffle (back[0], back[1], Ints4 { 2, 6, 3, 7 });

        addFrame (front[0], __builtin_shuffle (u0, Ints4 { 0, 1, 0, 1 }));
        addFrame (front[1], __builtin_shuffle (u0, Ints4 { 2, 3, 2, 3 }));
        addFrame (front[2], __builtin_shuffle (u1, Ints4 { 0, 1, 0, 1 }));
        addFrame (front[3], __builtin_shuffle (u1, Ints4 { 2, 3, 2, 3 }));
    }

    for (; i < n; ++i)
        addFrame (Floats4 { channels[0][i], channels[1][i], channels[2][i], channels[3][i] },
                  Floats4 { channels[4][i], channels[5][i], channels[4][i], channels[5][i] });

    std::memcpy (sums, ll, sizeof (ll));
    std::memcpy (sums + pairLanes, rr, sizeof (rr));
    std::memcpy (sums + 2 * pairLanes, lr, sizeof (lr));
}

using PairProductAdder = void (*) (const float* const*, int, float*) noexcept;

void addPairProductsSse2 (const float* const* channels, int n, float* sums) noexcept
{
    addPairProducts (channels, n, sums);
}

__attribute__ ((target ("avx"))) void addPairProductsAvx (const float* const* channels, int n,
                                                          float* sums) noexcept
{
    addPairProducts (channels, n, sums);
}
} // namespace

//==============================================================================
float ChannelCorrelation::calculate (const float* left, const float* right, int numSamples) noexcept
{
    if (numSamples <= 0)
        return 1.0f;

    // Single precision and in sample order throughout, as the meter defines
    // its reading.
    float sll = 0.0f, srr = 0.0f, slr = 0.0f;

    for (int i = 0; i < numSamples; ++i)
    {
        const float l = left[i], r = right[i];
        sll += l * l;
        srr += r * r;
        slr += l * r;
    }

    return correlationFromSums (sll, srr, slr, numSamples);
}

float ChannelCorrelation::calculate (const juce::AudioBuffer<float>& pair) noexcept
{
    if (pair.getNumChannels() < 2)
        return 1.0f;

    return calculate (pair.getReadPointer (0), pair.getReadPointer (1), pair.getNumSamples());
}

ChannelCorrelation::Readings ChannelCorrelation::measurePairs (const juce::AudioBuffer<float>& slots) noexcept
{
    Readings readings;
    const int numSamples = slots.getNumSamples();

    if (numSamples <= 0)
    {
        readings.fill (1.0f);
        return readings;
    }

    // All pairs at once, one per lane: each pair's sums are formed in sample
    // order, exactly as calculate forms them.
    const PairProductAdder add = VectorPath::useAvx() ? addPairProductsAvx : addPairProductsSse2;
    const float* channels[Slots::count];
    float sums[3 * pairLanes] {};

    for (int ch = 0; ch < Slots::count; ++ch)
        channels[ch] = slots.getReadPointer (ch);

    add (channels, numSamples, sums);

    for (size_t pair = 0; pair < readings.size(); ++pair)
        readings[pair] =
            correlationFromSums (sums[pair], sums[pairLanes + pair], sums[2 * pairLanes + pair], numSamples);

    return readings;
}
