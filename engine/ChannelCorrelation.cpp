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

/** Lanes of the pairs' sums: the six pairs, padded to a whole AVX vector. */
constexpr int pairLanes = 8;

static_assert (ChannelCorrelation::numPairs <= pairLanes);

/** Adds n samples of each lane's pair of channels to the lane's sums of
    l * l, r * r and l * r, each in sample order. The additions' latency
    leaves room to gather the lanes in the same loop. */
template <typename Floats>
inline __attribute__ ((always_inline)) void
addPairProducts (const float* const* lefts, const float* const* rights, int n, float* sums) noexcept
{
    constexpr int lanes = (int) (sizeof (Floats) / sizeof (float));
    constexpr int vectors = pairLanes / lanes;
    Floats ll[vectors], rr[vectors], lr[vectors];
    std::memcpy (ll, sums, sizeof (ll));
    std::memcpy (rr, sums + pairLanes, sizeof (rr));
    std::memcpy (lr, sums + 2 * pairLanes, sizeof (lr));

    for (int i = 0; i < n; ++i)
    {
        for (int v = 0; v < vectors; ++v)
        {
            Floats l, r;

            for (int lane = 0; lane < lanes; ++lane)
            {
                l[lane] = lefts[v * lanes + lane][i];
                r[lane] = rights[v * lanes + lane][i];
            }

            ll[v] = ll[v] + l * l;
            rr[v] = rr[v] + r * r;
            lr[v] = lr[v] + l * r;
        }
    }

    std::memcpy (sums, ll, sizeof (ll));
    std::memcpy (sums + pairLanes, rr, sizeof (rr));
    std::memcpy (sums + 2 * pairLanes, lr, sizeof (lr));
}

using PairProductAdder = void (*) (const float* const*, const float* const*, int, float*) noexcept;

void addPairProductsSse2 (const float* const* lefts, const float* const* rights, int n, float* sums) noexcept
{
    addPairProducts<VectorPath::Floats4> (lefts, rights, n, sums);
}

__attribute__ ((target ("avx"))) void
addPairProductsAvx (const float* const* lefts, const float* const* rights, int n, float* sums) noexcept
{
    addPairProducts<VectorPath::Floats8> (lefts, rights, n, sums);
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
    // order, exactly as calculate forms them. The spare lanes repeat the
    // first pair and are not read.
    const PairProductAdder add = VectorPath::useAvx() ? addPairProductsAvx : addPairProductsSse2;
    const float* lefts[pairLanes];
    const float* rights[pairLanes];
    float sums[3 * pairLanes] {};

    for (size_t lane = 0; lane < (size_t) pairLanes; ++lane)
    {
        const auto pair = Slots::correlationPairs[lane < readings.size() ? lane : 0];
        lefts[lane] = slots.getReadPointer (pair.first);
        rights[lane] = slots.getReadPointer (pair.second);
    }

    add (lefts, rights, numSamples, sums);

    for (size_t pair = 0; pair < readings.size(); ++pair)
        readings[pair] = correlationFromSums (sums[pair], sums[pairLanes + pair], sums[2 * pairLanes + pair],
                                              numSamples);

    return readings;
}
