#include "OVRATruePeakMeter.h"

#include "LevelRounding.h"
#include "VectorPath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Phases 2 and 3 are phases 1 and 0 reversed.
const std::array<OVRATruePeakMeter::Phase, OVRATruePeakMeter::numPhases>
    OVRATruePeakMeter::interpolationPhases {
        { { 0.0017089843750, 0.0109863281250, -0.0196533203125, 0.0332031250000, -0.0594482421875,
            0.1373291015625, 0.9721679687500, -0.1022949218750, 0.0476074218750, -0.0266113281250,
            0.0148925781250, -0.0083007812500 },
          { -0.0291748046875, 0.0292968750000, -0.0517578125000, 0.0891113281250, -0.1665039062500,
            0.4650878906250, 0.7797851562500, -0.2003173828125, 0.1015625000000, -0.0582275390625,
            0.0330810546875, -0.0189208984375 },
          { -0.0189208984375, 0.0330810546875, -0.0582275390625, 0.1015625000000, -0.2003173828125,
            0.7797851562500, 0.4650878906250, -0.1665039062500, 0.0891113281250, -0.0517578125000,
            0.0292968750000, -0.0291748046875 },
          { -0.0083007812500, 0.0148925781250, -0.0266113281250, 0.0476074218750, -0.1022949218750,
            0.9721679687500, 0.1373291015625, -0.0594482421875, 0.0332031250000, -0.0196533203125,
            0.0109863281250, 0.0017089843750 } }
    };

namespace
{
/** The phases one table set evaluates, as rows of interpolationPhases. */
struct PhaseSelection
{
    int count;
    std::array<int, OVRATruePeakMeter::numPhases> rows;
};

// Table set 0 (nothing prepared yet) and 4 (176.4 and 192 kHz) interpolate nothing.
PhaseSelection selectionFor (int tableSet) noexcept
{
    switch (tableSet)
    {
        case 1:
            return { 4, { 0, 1, 2, 3 } };
        case 2:
            return { 2, { 1, 3, 0, 0 } };
        default:
            return { 0, { 0, 0, 0, 0 } };
    }
}

constexpr int numTaps = OVRATruePeakMeter::numTaps;
constexpr int historyLength = numTaps - 1;

/** Interpolates numVectors vectors of frames from frame i on into samples
    and raises largest to the largest output. Each phase's sum is formed tap
    by tap as processSample forms it, one output per lane; the sums of the
    vectors and phases are independent chains that the processor overlaps. */
template <typename Doubles, typename Floats, int numRows, int numVectors>
inline __attribute__ ((always_inline)) void interpolateVectors (const double* line, float* samples, int i,
                                                                const Doubles (&coefficients)[numRows][numTaps],
                                                                Floats& largest) noexcept
{
    constexpr int lanes = (int) (sizeof (Doubles) / sizeof (double));
    Doubles sums[numRows][numVectors];

#pragma GCC unroll 12
    for (int k = 0; k < numTaps; ++k)
    {
        Doubles taps[numVectors];

#pragma GCC unroll 4
        for (int v = 0; v < numVectors; ++v)
            std::memcpy (&taps[v], line + historyLength + i + v * lanes - k, sizeof (Doubles));

#pragma GCC unroll 4
        for (int r = 0; r < numRows; ++r)
#pragma GCC unroll 4
            for (int v = 0; v < numVectors; ++v)
                sums[r][v] = k == 0 ? coefficients[r][0] * taps[v] : sums[r][v] + coefficients[r][k] * taps[v];

        // Left alone, the compiler emits one chain after another, and a chain
        // of a dozen dependent adds waits on each one. Holding every sum here
        // after each tap keeps the chains interleaved.
#pragma GCC unroll 4
        for (int r = 0; r < numRows; ++r)
#pragma GCC unroll 4
            for (int v = 0; v < numVectors; ++v)
                asm volatile ("" : "+x"(sums[r][v]));
    }

#pragma GCC unroll 4
    for (int v = 0; v < numVectors; ++v)
    {
        // The peak starts at +0 and only a larger magnitude replaces it, so
        // neither the sign of a zero sum nor the phase order can change the
        // result: clearing the sign bit gives the same peak as negating.
        using Bits = decltype (Doubles {} < 0.0);
        const Bits allButSign = ~(Bits) (-Doubles {});
        Doubles peak {};

#pragma GCC unroll 4
        for (int r = 0; r < numRows; ++r)
        {
            const Doubles magnitude = (Doubles) ((Bits) sums[r][v] & allButSign);
            peak = magnitude > peak ? magnitude : peak;
        }

        const Floats result = __builtin_convertvector(peak, Floats);
        std::memcpy (samples + i + v * lanes, &result, sizeof (Floats));
        largest = result > largest ? result : largest;
    }
}

/** Writes the magnitudes of n interpolated source samples into samples (the
    source itself or another run) and returns the largest. line holds the
    historyLength samples before them; the source follows there in double, a
    NaN or infinity as 0. rows are the coefficients of the phases to evaluate. */
template <typename Doubles, typename Floats, int numRows>
inline __attribute__ ((always_inline)) float interpolate (double* line, const float* source, float* samples,
                                                          int n, const double* const* rows) noexcept
{
    constexpr int lanes = (int) (sizeof (Doubles) / sizeof (double));

    {
        int i = 0;

        for (; i + lanes <= n; i += lanes)
        {
            Floats x;
            std::memcpy (&x, source + i, sizeof (Floats));
            x = (x - x) == 0.0f ? x : Floats {}; // false for NaN and infinities
            const Doubles wide = __builtin_convertvector(x, Doubles);
            std::memcpy (line + historyLength + i, &wide, sizeof (Doubles));
        }

        for (; i < n; ++i)
            line[historyLength + i] = std::isfinite (source[i]) ? (double) source[i] : 0.0;
    }

    // Coefficients spread over the lanes once, not in every step.
    Doubles coefficients[numRows][numTaps];

    for (int r = 0; r < numRows; ++r)
        for (int k = 0; k < numTaps; ++k)
            coefficients[r][k] = Doubles {} + rows[r][k];

    // Every output is +0 or more, so the largest does not depend on the order.
    Floats largest {};
    int i = 0;

    // Vectors per step as measured fastest: SSE2 with two phases wants four,
    // to keep eight sums going; AVX runs slower with four than with two.
    constexpr int numVectors = lanes == 2 && numRows == 2 ? 4 : 2;

    for (; i + numVectors * lanes <= n; i += numVectors * lanes)
        interpolateVectors<Doubles, Floats, numRows, numVectors> (line, samples, i, coefficients, largest);

    for (; i + lanes <= n; i += lanes)
        interpolateVectors<Doubles, Floats, numRows, 1> (line, samples, i, coefficients, largest);

    float blockPeak = 0.0f;

    for (int lane = 0; lane < lanes; ++lane)
        blockPeak = std::max (blockPeak, largest[lane]);

    for (; i < n; ++i)
    {
        double peak = 0.0;

        for (int r = 0; r < numRows; ++r)
        {
            double y = rows[r][0] * line[historyLength + i];

            for (int k = 1; k < numTaps; ++k)
                y = y + rows[r][k] * line[historyLength + i - k];

            const double magnitude = y < 0.0 ? -y : y;
            peak = magnitude > peak ? magnitude : peak;
        }

        samples[i] = (float) peak;
        blockPeak = std::max (blockPeak, samples[i]);
    }

    return blockPeak;
}

using Interpolator = float (*) (double*, const float*, float*, int, const double* const*) noexcept;

template <int numRows>
float interpolateSse2 (double* line, const float* source, float* samples, int n,
                       const double* const* rows) noexcept
{
    return interpolate<VectorPath::Doubles2, VectorPath::Floats2, numRows> (line, source, samples, n, rows);
}

template <int numRows>
__attribute__ ((target ("avx"))) float interpolateAvx (double* line, const float* source, float* samples,
                                                       int n, const double* const* rows) noexcept
{
    return interpolate<VectorPath::Doubles4, VectorPath::Floats4, numRows> (line, source, samples, n, rows);
}

/** The loop for a number of phases (2 or 4) on this machine. */
Interpolator interpolatorFor (int count) noexcept
{
    if (VectorPath::useAvx())
        return count == 4 ? interpolateAvx<4> : interpolateAvx<2>;

    return count == 4 ? interpolateSse2<4> : interpolateSse2<2>;
}

/** Table set for a rate; 0 when the rate is none of the six known ones. */
int tableSetFor (double rate) noexcept
{
    if (rate == 44100.0 || rate == 48000.0)
        return 1;
    if (rate == 88200.0 || rate == 96000.0)
        return 2;
    if (rate == 176400.0 || rate == 192000.0)
        return 4;
    return 0;
}
} // namespace

OVRATruePeakMeter::OVRATruePeakMeter()
{
    for (auto& level : levels)
        level = levelFloor;
}

//==============================================================================
void OVRATruePeakMeter::prepare (double newSampleRate, int blockSize)
{
    if (newSampleRate != sampleRate)
    {
        sampleRate = newSampleRate;

        // Any other rate keeps the previous configuration; the delay lines
        // keep their history either way.
        if (const int set = tableSetFor (newSampleRate); set != 0)
        {
            tableSet = set;
            phaseCount = selectionFor (set).count;
        }
    }

    workBuffer.setSize (numChannels, juce::jmax (0, blockSize));
}

float OVRATruePeakMeter::processSample (float sample, int channel) noexcept
{
    // One load decides which phases run, so a prepare on another thread
    // never leaves this call with a half-changed configuration.
    const auto selection = selectionFor (tableSet.get());

    // A NaN or infinity is no level: it would stay in the delay line for a
    // dozen samples and hold an infinite peak until the next reset.
    if (! std::isfinite (sample))
        sample = 0.0f;

    if (selection.count == 0)
        return std::abs (sample);

    jassert (channel >= 0 && channel < numChannels);
    auto& line = delayLines[(size_t) juce::jlimit (0, numChannels - 1, channel)];
    std::copy_backward (line.begin(), line.end() - 1, line.end());
    line[0] = (double) sample;

    double peak = 0.0;
    for (int i = 0; i < selection.count; ++i)
    {
        const auto& phase = interpolationPhases[(size_t) selection.rows[(size_t) i]];
        double y = 0.0;
        for (size_t k = 0; k < (size_t) numTaps; ++k)
            y += phase[k] * line[k];
        peak = std::max (peak, std::abs (y));
    }

    return (float) peak;
}

void OVRATruePeakMeter::processBlock() noexcept { process (workBuffer); }

void OVRATruePeakMeter::processBlock (const juce::AudioBuffer<float>& source) noexcept
{
    workBuffer.setSize (source.getNumChannels(), source.getNumSamples(), false, false, true);
    process (source);
}

void OVRATruePeakMeter::process (const juce::AudioBuffer<float>& source) noexcept
{
    const int channels = juce::jmin (source.getNumChannels(), workBuffer.getNumChannels(), numChannels);
    const int numSamples = juce::jmin (source.getNumSamples(), workBuffer.getNumSamples());

    // One configuration for the whole block.
    const auto selection = selectionFor (tableSet.get());
    const double* rows[numPhases];

    for (int r = 0; r < selection.count; ++r)
        rows[r] = interpolationPhases[(size_t) selection.rows[(size_t) r]].data();

    const auto interpolator = interpolatorFor (selection.count);

    for (int ch = 0; ch < channels; ++ch)
    {
        // Read before the write pointer is taken: for workBuffer itself the
        // write pointer marks the buffer as not cleared.
        const auto* input = source.getReadPointer (ch);
        auto* data = workBuffer.getWritePointer (ch);
        auto& delayLine = delayLines[(size_t) ch];
        float blockPeak = 0.0f;

        for (int start = 0; start < numSamples; start += chunkLength)
        {
            const int n = juce::jmin (chunkLength, numSamples - start);
            const float* in = input + start;
            float* samples = data + start;

            if (selection.count == 0)
            {
                for (int i = 0; i < n; ++i)
                {
                    samples[i] = std::isfinite (in[i]) ? std::abs (in[i]) : 0.0f;
                    blockPeak = std::max (blockPeak, samples[i]);
                }

                continue;
            }

            // The delay line holds the newest sample first; the scratch line
            // runs oldest first, the history and then this chunk.
            for (int k = 0; k < historyLength; ++k)
                scratchLine[(size_t) (historyLength - 1 - k)] = delayLine[(size_t) k];

            blockPeak = std::max (blockPeak, interpolator (scratchLine.data(), in, samples, n, rows));

            for (int k = 0; k < numTaps; ++k)
                delayLine[(size_t) k] = scratchLine[(size_t) (historyLength - 1 + n - k)];
        }

        // Silence gives log10 (0), minus infinity: the caller decides the floor.
        levels[(size_t) ch] = 20.0f * std::log10 (blockPeak);
    }
}
