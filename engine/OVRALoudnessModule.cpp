#include "OVRALoudnessModule.h"

#include "VectorPath.h"

#include <cmath>
#include <cstring>
#include <immintrin.h>

namespace
{
/** Normalised K-weighting biquads: stage 1 is the high-frequency shelf
    (b0, b1, b2, a1, a2), stage 2 the high-pass with numerator 1, -2, 1. */
struct KWeightingRow
{
    int sampleRate;
    float shelfB0, shelfB1, shelfB2, shelfA1, shelfA2;
    float highPassA1, highPassA2;
};

// The 48000 row is the published BS.1770 filter pair; rates not listed use it.
// clang-format off
constexpr KWeightingRow kWeightingRows[] = {
    { 44100, 1.53084123f, -2.65098f, 1.16907907f, -1.66365516f, 0.712595403f, -1.98916972f, 0.989199042f },
    { 48000, 1.5351249f, -2.69169617f, 1.19839287f, -1.69065928f, 0.732480764f, -1.99004745f, 0.99007225f },
    { 88200, 1.55751538f, -2.90562701f, 1.36133397f, -1.83091998f, 0.844142258f, -1.99457753f, 0.994584858f },
    { 96000, 1.5597142f, -2.9267416f, 1.37826121f, -1.8446095f, 0.855843306f, -1.99501753f, 0.995023787f },
    { 176400, 1.57111537f, -3.03654456f, 1.46887159f, -1.91532934f, 0.918771744f, -1.99728692f, 0.997288764f },
    { 192000, 1.57222724f, -3.04728293f, 1.47797132f, -1.92220223f, 0.925117731f, -1.99750721f, 0.997508764f },
};
// clang-format on
constexpr int defaultKWeightingRow = 1;

constexpr float momentaryWindowSeconds = 0.4f;
constexpr float shortTermWindowSeconds = 3.0f;
constexpr float momentaryOverlap = 0.75f;
constexpr float shortTermOverlap = 0.8f;
constexpr int windowsPerFifo = 4;

// BS.1770: loudness = -0.691 + 10 log10 (sum of weighted mean squares).
constexpr float loudnessOffset = -0.691f;
constexpr int passIntervalMs = 50;

constexpr int numSums = 4;
using SquareSums = std::array<std::array<double, numSums>, OVRALoudnessModule::numChannels>;

/** Frame i of the channels' current run, window frame index + i, added to
    the sums: its square in single precision into sum (index + i) % 4, or
    into sum 0 from groupedEnd on (after the last whole group of four). */
inline void addSquaresOf (const float* const* channels, int i, int index, int groupedEnd,
                          SquareSums& sums) noexcept
{
    const int sum = index + i < groupedEnd ? (index + i) % numSums : 0;

    for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
        sums[(size_t) ch][(size_t) sum] += (double) (channels[ch][i] * channels[ch][i]);
}

/** Adds count frames of every channel to the channels' four running sums,
    the first being window frame `index`. The whole groups of four go through
    addGroups (channels, from, to, sums), which must add each frame as
    addSquaresOf does; the rest go frame by frame. */
template <typename GroupAdder>
inline __attribute__ ((always_inline)) void addSquares (const float* const* channels, int count, int index,
                                                        int groupedEnd, SquareSums& sums,
                                                        GroupAdder&& addGroups) noexcept
{
    int i = 0;

    for (; i < count && (index + i) % numSums != 0; ++i)
        addSquaresOf (channels, i, index, groupedEnd, sums);

    const int groups = juce::jmax (0, juce::jmin (count - i, groupedEnd - index - i) / numSums);

    if (groups > 0)
    {
        addGroups (channels, i, i + groups * numSums, sums);
        i += groups * numSums;
    }

    for (; i < count; ++i)
        addSquaresOf (channels, i, index, groupedEnd, sums);
}

using SquareAdder = void (*) (const float* const*, int, int, int, SquareSums&) noexcept;

// All channels at once: six independent chains keep the adder busy, while
// each lane adds its own frames in order.
void addSquaresSse2 (const float* const* channels, int count, int index, int groupedEnd,
                     SquareSums& sums) noexcept
{
    addSquares (channels, count, index, groupedEnd, sums,
                [] (const float* const* x, int from, int to, SquareSums& s) noexcept {
                    __m128d low[OVRALoudnessModule::numChannels], high[OVRALoudnessModule::numChannels];

                    for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
                    {
                        low[ch] = _mm_loadu_pd (s[(size_t) ch].data());
                        high[ch] = _mm_loadu_pd (s[(size_t) ch].data() + 2);
                    }

                    for (int i = from; i < to; i += numSums)
                    {
#pragma GCC unroll 6
                        for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
                        {
                            const __m128 v = _mm_loadu_ps (x[ch] + i);
                            const __m128 squares = _mm_mul_ps (v, v);
                            low[ch] = _mm_add_pd (low[ch], _mm_cvtps_pd (squares));
                            high[ch] = _mm_add_pd (high[ch], _mm_cvtps_pd (_mm_movehl_ps (squares, squares)));
                        }
                    }

                    for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
                    {
                        _mm_storeu_pd (s[(size_t) ch].data(), low[ch]);
                        _mm_storeu_pd (s[(size_t) ch].data() + 2, high[ch]);
                    }
                });
}

__attribute__ ((target ("avx"))) void addGroupsAvx (const float* const* x, int from, int to,
                                                    SquareSums& s) noexcept
{
    __m256d lanes[OVRALoudnessModule::numChannels];

    for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
        lanes[ch] = _mm256_loadu_pd (s[(size_t) ch].data());

    int i = from;

    // Two groups per load and square: the low four frames are added first.
    for (; i + 2 * numSums <= to; i += 2 * numSums)
    {
#pragma GCC unroll 6
        for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
        {
            const __m256 v = _mm256_loadu_ps (x[ch] + i);
            const __m256 squares = _mm256_mul_ps (v, v);
            lanes[ch] = _mm256_add_pd (lanes[ch], _mm256_cvtps_pd (_mm256_castps256_ps128 (squares)));
            lanes[ch] = _mm256_add_pd (lanes[ch], _mm256_cvtps_pd (_mm256_extractf128_ps (squares, 1)));
        }
    }

    for (; i < to; i += numSums)
    {
#pragma GCC unroll 6
        for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
        {
            const __m128 v = _mm_loadu_ps (x[ch] + i);
            lanes[ch] = _mm256_add_pd (lanes[ch], _mm256_cvtps_pd (_mm_mul_ps (v, v)));
        }
    }

    for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
        _mm256_storeu_pd (s[(size_t) ch].data(), lanes[ch]);
}

void addSquaresAvx (const float* const* channels, int count, int index, int groupedEnd,
                    SquareSums& sums) noexcept
{
    addSquares (channels, count, index, groupedEnd, sums, addGroupsAvx);
}

/** The four running sums of every channel over a window of `length` frames
    that a FIFO holds in two runs of its store. */
SquareSums windowSquareSums (const juce::AudioBuffer<float>& store, int start1, int size1, int start2,
                             int size2, int length) noexcept
{
    const SquareAdder add = VectorPath::useAvx() ? addSquaresAvx : addSquaresSse2;
    const int groupedEnd = length - length % numSums;
    SquareSums sums {};
    const float* run[OVRALoudnessModule::numChannels];

    for (const auto [start, size, index] :
         { std::array<int, 3> { start1, size1, 0 }, { start2, size2, size1 } })
    {
        if (size <= 0)
            continue;

        for (int ch = 0; ch < OVRALoudnessModule::numChannels; ++ch)
            run[ch] = store.getReadPointer (ch, start);

        add (run, size, index, groupedEnd, sums);
    }

    return sums;
}
/** Loudness of the first channels of a window of `length` frames from its
    sums of squares, clamped to -70..0 and rounded, and each channel's
    weighted level. */
float windowLoudness (const SquareSums& sums, int length, int channels,
                      const std::array<float, OVRALoudnessModule::numChannels>& channelWeights,
                      std::array<float, OVRALoudnessModule::numChannels>& levels) noexcept
{
    float sum = 0.0f;

    for (int k = 0; k < channels; ++k)
    {
        // The root in single precision, of the four sums added pairwise.
        const auto& s = sums[(size_t) k];
        const float rms = (float) std::sqrt (((s[0] + s[1]) + (s[2] + s[3])) / (double) length);
        const float weight = channelWeights[(size_t) k];

        // A weight of zero mutes the channel even if its energy overflowed.
        const float energy = weight > 0.0f ? rms * rms * weight : 0.0f;

        sum += energy;
        levels[(size_t) k] = 10.0f * std::log10 (energy);
    }

    const float loudness = 10.0f * std::log10 (sum) + loudnessOffset;
    return roundToOneDecimal (juce::jlimit (levelFloor, 0.0f, loudness));
}

} // namespace

OVRALoudnessModule::OVRALoudnessModule()
{
    for (auto& level : channelMomentaryLevels)
        level = levelFloor;
}

OVRALoudnessModule::~OVRALoudnessModule() = default;

//==============================================================================
void OVRALoudnessModule::setupKWeighting()
{
    const auto rate = (int) sampleRate;
    const KWeightingRow* row = &kWeightingRows[defaultKWeightingRow];

    for (const auto& candidate : kWeightingRows)
        if (candidate.sampleRate == rate)
            row = &candidate;

    const juce::IIRCoefficients shelf (row->shelfB0, row->shelfB1, row->shelfB2, 1.0, row->shelfA1,
                                       row->shelfA2);
    const juce::IIRCoefficients highPass (1.0, -2.0, 1.0, 1.0, row->highPassA1, row->highPassA2);

    kWeighting.setCoefficients (shelf, highPass);
}

void OVRALoudnessModule::prepare()
{
    momentaryWindowLength = (int) std::floor ((float) sampleRate * momentaryWindowSeconds);
    shortTermWindowLength = (int) std::floor ((float) sampleRate * shortTermWindowSeconds);

    // The momentary window reads the audio that the short-term one reads, so
    // both share one FIFO, sized for the longer window.
    static_assert (momentaryReader == 0 && shortTermReader == 1);
    windowFifo =
        std::make_unique<OVRAAudioFifo> (windowsPerFifo * shortTermWindowLength,
                                         std::initializer_list<float> { momentaryOverlap, shortTermOverlap });

    // The new FIFO is empty, so a request made for the old one is void.
    handledRequestGeneration.fill (requestGeneration (resetRequest.get()));
}

void OVRALoudnessModule::setIntegrating (int shouldIntegrate) noexcept
{
    if (shouldIntegrate != integrating.get())
    {
        reset();
        ++nextRequestGeneration;

        resetRequest = packRequest (nextRequestGeneration, shouldIntegrate != 0,
                                    windowFifo != nullptr ? windowFifo->getWritePosition() : 0);
    }

    integrating = shouldIntegrate;
}

void OVRALoudnessModule::pushSamples() noexcept { pushSamples (inputBuffer); }

void OVRALoudnessModule::pushSamples (const juce::AudioBuffer<float>& source) noexcept
{
    if (filterResetRequested.get())
    {
        filterResetRequested = false;
        reset();
    }

    const int channels = juce::jmin (source.getNumChannels(), numChannels);
    const int numSamples = source.getNumSamples();
    pushedChannels = channels;

    // Filters the block into two runs of a buffer. A NaN or infinity turns the
    // rest of a channel's block into NaN, which would reach the published
    // values for a whole window: that channel counts as silence.
    const auto filter = [&] (juce::AudioBuffer<float>& frames, int start1, int size1, int start2, int size2) {
        kWeighting.process (source, frames, start1, size1, start2, size2, channels);
        const int last = size2 > 0 ? start2 + size2 - 1 : start1 + size1 - 1;

        for (int k = 0; k < frames.getNumChannels(); ++k)
        {
            if (k >= channels || ! std::isfinite (frames.getReadPointer (k)[last]))
            {
                juce::FloatVectorOperations::clear (frames.getWritePointer (k, start1), size1);
                juce::FloatVectorOperations::clear (frames.getWritePointer (k, start2), size2);

                if (k < channels)
                    kWeighting.resetChannel (k);
            }
        }
    };

    // As a rule the block fits, and the filter writes it where the windows read it.
    if (windowFifo != nullptr && windowFifo->getFreeSpace() >= numSamples)
    {
        windowFifo->writeInPlace (numSamples, filter);
        return;
    }

    // Otherwise the FIFO keeps the head of the filtered block.
    if (&source != &inputBuffer)
        inputBuffer.setSize (channels, numSamples, false, false, true);

    if (numSamples > 0)
        filter (inputBuffer, 0, numSamples, 0, 0);

    if (windowFifo != nullptr)
        windowFifo->write (inputBuffer);
}

void OVRALoudnessModule::computeLoudness()
{
    const juce::ScopedLock pass (passLock);

    momentaryUpdated = false;
    shortTermUpdated = false;

    if (windowFifo == nullptr)
        return;

    handleResetRequest (WindowKind::momentary);
    handleResetRequest (WindowKind::shortTerm);

    bool countIt = false;

    if (const auto momentary = measureWindow (WindowKind::momentary, countIt))
    {
        results.momentaryLoudness = *momentary;

        if (countIt)
        {
            momentaryHistogram.add (*momentary);
            results.integratedLoudness = momentaryHistogram.getIntegratedLoudness();
        }

        momentaryUpdated.store (true, std::memory_order_release);
    }

    if (const auto shortTerm = measureWindow (WindowKind::shortTerm, countIt))
    {
        results.shortTermLoudness = *shortTerm;

        if (countIt)
        {
            shortTermHistogram.add (*shortTerm);

            float range, low, high;
            shortTermHistogram.getLoudnessRange (range, low, high);
            results.loudnessRange = range;
            results.loudnessRangeLow = low;
            results.loudnessRangeHigh = high;
        }

        shortTermUpdated.store (true, std::memory_order_release);
    }
}

int OVRALoudnessModule::useTimeSlice()
{
    computeLoudness();
    return passIntervalMs;
}

void OVRALoudnessModule::reset() noexcept { kWeighting.reset(); }

void OVRALoudnessModule::resetMeasurement()
{
    // The filters belong to the audio thread; it restarts them before its next block.
    filterResetRequested = true;

    const juce::ScopedLock pass (passLock);

    // Emptying up to the current write position covers any pending request.
    handledRequestGeneration.fill (requestGeneration (resetRequest.get()));

    if (windowFifo != nullptr)
        for (const auto reader : { momentaryReader, shortTermReader })
            windowFifo->discardUpTo (reader, windowFifo->getWritePosition());

    momentaryHistogram.clear();
    shortTermHistogram.clear();
    results.reset();
    momentaryUpdated = false;
    shortTermUpdated = false;
}

//==============================================================================
void OVRALoudnessModule::handleResetRequest (WindowKind kind) noexcept
{
    const int reader = readerOf (kind);
    const auto request = resetRequest.get();

    if (requestGeneration (request) != handledRequestGeneration[(size_t) reader])
    {
        windowFifo->discardUpTo (reader, requestPosition (request));
        handledRequestGeneration[(size_t) reader] = requestGeneration (request);
    }
}

std::optional<float> OVRALoudnessModule::measureWindow (WindowKind kind, bool& countIt)
{
    const bool isMomentary = kind == WindowKind::momentary;
    const int reader = readerOf (kind);
    const int length = isMomentary ? momentaryWindowLength : shortTermWindowLength;
    const auto& request = resetRequest;
    const auto handled = handledRequestGeneration[(size_t) reader];

    if (length <= 0 || windowFifo->getNumReady (reader) < length)
        return {};

    // The ready count above was read after the audio thread stored any request
    // made before those frames were pushed, so a request missed here lies
    // after the whole window; one seen here is left to the next pass, which
    // empties the FIFO before reading.
    const auto requestBefore = request.get();

    if (requestGeneration (requestBefore) != handled)
        return {};

    // The window is read where the FIFO holds it, before it is consumed.
    std::array<float, numChannels> levels {};
    const int channels = juce::jlimit (0, numChannels, pushedChannels.get());
    float loudness = 0.0f;

    windowFifo->readInPlace (
        reader, length,
        [&] (const juce::AudioBuffer<float>& store, int start1, int size1, int start2, int size2) {
            loudness = windowLoudness (windowSquareSums (store, start1, size1, start2, size2, length), length,
                                       channels, channelWeights, levels);
        });

    // A reset during the computation makes this window pre-reset audio.
    if (requestGeneration (request.get()) != handled)
        return {};

    if (isMomentary)
        for (int k = 0; k < channels; ++k)
            channelMomentaryLevels[(size_t) k] = levels[(size_t) k];

    countIt = requestIntegrating (requestBefore);
    return loudness;
}

uint64_t OVRALoudnessModule::packRequest (uint32_t generation, bool integratingState,
                                          int writePosition) noexcept
{
    return ((uint64_t) generation << 33) | ((uint64_t) (integratingState ? 1 : 0) << 32)
           | (uint64_t) (uint32_t) writePosition;
}
