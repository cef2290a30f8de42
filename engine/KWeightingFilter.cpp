#include "KWeightingFilter.h"

#include "VectorPath.h"

#include <cstring>

namespace
{
/** One stage's coefficients spread over the lanes, and its state. */
template <typename Floats>
struct StageLanes
{
    Floats c0, c1, c2, c3, c4;
    Floats v1, v2;
};

/** Both stages over n samples of `width` channels, in place, one channel per
    lane, each as IIRFilterBase::processSamples computes a sample; the states
    are read from and written back to the stages' arrays without snapping.
    Four frames at a time are transposed in from the channels' runs and back
    out, in the time the recursion's latency leaves. */
template <typename Floats, int width>
inline __attribute__ ((always_inline)) void runStages (const float* const* inputs, float* const* outputs,
                                                       int n, const float* const* coefficients,
                                                       float* const* v1, float* const* v2) noexcept
{
    using Floats4 = VectorPath::Floats4;
    constexpr int lanesPerVector = (int) (sizeof (Floats) / sizeof (float));
    constexpr int vectors = width / lanesPerVector;
    constexpr int quads = width / 4;
    static_assert (width % lanesPerVector == 0 && width % 4 == 0
                   && (lanesPerVector == 4 || lanesPerVector == 8));

    StageLanes<Floats> stage[2][vectors];

    for (int s = 0; s < 2; ++s)
    {
        for (int g = 0; g < vectors; ++g)
        {
            auto& lanes = stage[s][g];
            const float* c = coefficients[s];
            lanes.c0 = Floats {} + c[0];
            lanes.c1 = Floats {} + c[1];
            lanes.c2 = Floats {} + c[2];
            lanes.c3 = Floats {} + c[3];
            lanes.c4 = Floats {} + c[4];
            std::memcpy (&lanes.v1, v1[s] + g * lanesPerVector, sizeof (Floats));
            std::memcpy (&lanes.v2, v2[s] + g * lanesPerVector, sizeof (Floats));
        }
    }

    // One frame of every lane through both stages.
    const auto filterFrame = [&stage] (Floats (&frame)[vectors]) {
        for (int g = 0; g < vectors; ++g)
        {
            Floats in = frame[g];

            for (int s = 0; s < 2; ++s)
            {
                auto& st = stage[s][g];
                const Floats out = st.c0 * in + st.v1;
                st.v1 = st.c1 * in - st.c3 * out + st.v2;
                st.v2 = st.c2 * in - st.c4 * out;
                in = out;
            }

            frame[g] = in;
        }
    };

    int i = 0;

    for (; i + 4 <= n; i += 4)
    {
        // quad[q][k]: lanes 4q..4q+3 of frame i + k, once transposed.
        Floats4 quad[quads][4];

        for (int q = 0; q < quads; ++q)
        {
            for (int k = 0; k < 4; ++k)
                std::memcpy (&quad[q][k], inputs[q * 4 + k] + i, sizeof (Floats4));

            VectorPath::transpose (quad[q]);
        }

        for (int k = 0; k < 4; ++k)
        {
            Floats frame[vectors];

            if constexpr (lanesPerVector == 4)
                for (int g = 0; g < vectors; ++g)
                    frame[g] = quad[g][k];
            else
                for (int g = 0; g < vectors; ++g)
                    frame[g] =
                        __builtin_shufflevector (quad[2 * g][k], quad[2 * g + 1][k], 0, 1, 2, 3, 4, 5, 6, 7);

            filterFrame (frame);

            if constexpr (lanesPerVector == 4)
                for (int g = 0; g < vectors; ++g)
                    quad[g][k] = frame[g];
            else
                for (int g = 0; g < vectors; ++g)
                {
                    quad[2 * g][k] = __builtin_shufflevector (frame[g], frame[g], 0, 1, 2, 3);
                    quad[2 * g + 1][k] = __builtin_shufflevector (frame[g], frame[g], 4, 5, 6, 7);
                }
        }

        for (int q = 0; q < quads; ++q)
        {
            VectorPath::transpose (quad[q]);

            for (int k = 0; k < 4; ++k)
                std::memcpy (outputs[q * 4 + k] + i, &quad[q][k], sizeof (Floats4));
        }
    }

    for (; i < n; ++i)
    {
        float samples[width];
        Floats frame[vectors];

        for (int lane = 0; lane < width; ++lane)
            samples[lane] = inputs[lane][i];

        std::memcpy (frame, samples, sizeof (frame));
        filterFrame (frame);
        std::memcpy (samples, frame, sizeof (frame));

        for (int lane = 0; lane < width; ++lane)
            outputs[lane][i] = samples[lane];
    }

    for (int s = 0; s < 2; ++s)
    {
        for (int g = 0; g < vectors; ++g)
        {
            std::memcpy (v1[s] + g * lanesPerVector, &stage[s][g].v1, sizeof (Floats));
            std::memcpy (v2[s] + g * lanesPerVector, &stage[s][g].v2, sizeof (Floats));
        }
    }
}

using StageRunner = void (*) (const float* const*, float* const*, int, const float* const*, float* const*,
                              float* const*) noexcept;

template <int width>
void runStagesSse2 (const float* const* inputs, float* const* outputs, int n,
                    const float* const* coefficients, float* const* v1, float* const* v2) noexcept
{
    runStages<VectorPath::Floats4, width> (inputs, outputs, n, coefficients, v1, v2);
}

template <int width>
__attribute__ ((target ("avx"))) void runStagesAvx (const float* const* inputs, float* const* outputs, int n,
                                                    const float* const* coefficients, float* const* v1,
                                                    float* const* v2) noexcept
{
    runStages<VectorPath::Floats8, width> (inputs, outputs, n, coefficients, v1, v2);
}

/** What the framework's filter does to its state at the end of a block. */
void snapToZero (float& value) noexcept { JUCE_SNAP_TO_ZERO (value); }
} // namespace

//==============================================================================
void KWeightingFilter::setCoefficients (const juce::IIRCoefficients& shelf,
                                        const juce::IIRCoefficients& highPass) noexcept
{
    const juce::IIRCoefficients* sources[] = { &shelf, &highPass };

    for (size_t s = 0; s < stages.size(); ++s)
        std::copy (std::begin (sources[s]->coefficients), std::end (sources[s]->coefficients),
                   stages[s].coefficients.begin());

    active = true;
}

void KWeightingFilter::process (const juce::AudioBuffer<float>& source, juce::AudioBuffer<float>& destination,
                                int start1, int size1, int start2, int size2, int channels) noexcept
{
    channels = juce::jlimit (
        0, juce::jmin (numChannels, source.getNumChannels(), destination.getNumChannels()), channels);
    const int numSamples = size1 + size2;
    jassert (numSamples <= source.getNumSamples() && start1 + size1 <= destination.getNumSamples()
             && start2 + size2 <= destination.getNumSamples());

    if (channels == 0 || numSamples <= 0)
        return;

    // Where source frame i goes.
    const auto destinationIndex = [=] (int i) { return i < size1 ? start1 + i : start2 + i - size1; };

    if (! active)
    {
        // Left as they are, as a block filtered in place without coefficients.
        if (&source != &destination || start1 != 0)
        {
            for (int ch = 0; ch < channels; ++ch)
            {
                destination.copyFrom (ch, start1, source, ch, 0, size1);
                if (size2 > 0)
                    destination.copyFrom (ch, start2, source, ch, size1, size2);
            }
        }

        return;
    }

    // Lanes without a channel run on a scratch run of their own; their
    // states are put back afterwards, so they never change.
    auto kept = stages;

    const float* coefficients[] = { stages[0].coefficients.data(), stages[1].coefficients.data() };
    float* v1[] = { stages[0].v1.data(), stages[1].v1.data() };
    float* v2[] = { stages[0].v2.data(), stages[1].v2.data() };
    const StageRunner run = VectorPath::useAvx() ? runStagesAvx<lanes> : runStagesSse2<lanes>;

    const float* inputs[lanes];
    float* outputs[lanes];

    // Chunks never straddle the end of the first run; the states run on
    // through them unchanged.
    for (int start = 0, n = 0; start < numSamples; start += n)
    {
        n = juce::jmin (chunkLength, (start < size1 ? size1 : numSamples) - start);

        for (int ch = 0; ch < lanes; ++ch)
        {
            // The read pointer first: for a block filtered in place the write
            // pointer clears its "cleared" flag.
            inputs[ch] = ch < channels ? source.getReadPointer (ch, start) : discarded.data();
            outputs[ch] =
                ch < channels ? destination.getWritePointer (ch, destinationIndex (start)) : discarded.data();
        }

        std::fill (discarded.begin(), discarded.begin() + n, 0.0f);
        run (inputs, outputs, n, coefficients, v1, v2);
    }

    for (auto& stage : stages)
    {
        for (int ch = 0; ch < lanes; ++ch)
        {
            snapToZero (stage.v1[(size_t) ch]);
            snapToZero (stage.v2[(size_t) ch]);
        }
    }

    for (size_t s = 0; s < stages.size(); ++s)
    {
        for (int ch = channels; ch < lanes; ++ch)
        {
            stages[s].v1[(size_t) ch] = kept[s].v1[(size_t) ch];
            stages[s].v2[(size_t) ch] = kept[s].v2[(size_t) ch];
        }
    }
}

void KWeightingFilter::reset() noexcept
{
    for (auto& stage : stages)
    {
        stage.v1.fill (0.0f);
        stage.v2.fill (0.0f);
    }
}

void KWeightingFilter::resetChannel (int channel) noexcept
{
    if (! juce::isPositiveAndBelow (channel, numChannels))
        return;

    for (auto& stage : stages)
    {
        stage.v1[(size_t) channel] = 0.0f;
        stage.v2[(size_t) channel] = 0.0f;
    }
}
