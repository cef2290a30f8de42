// Pins every value the processor publishes, bit for bit: a digest over what
// each block leaves behind, compared with the digest this code produced when
// it was recorded. A faster implementation must reproduce all of it exactly.
//
// With ZELX_DIGEST_TRACE=<file> the per-block digests are written to the file
// when it does not exist and compared with it when it does, so that running
// once before a change and once after names the first block that differs.

#include "ProcessorTestHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <vector>

namespace
{
using namespace ProcessorTestHelpers;

constexpr int numSlots = OvrajuceLoudnessAudioProcessor::numSlots;

/** 64-bit FNV-1a over the bit patterns of the values fed to it. */
class Digest
{
public:
    template <typename T>
    void add (T value) noexcept
    {
        unsigned char bytes[sizeof (T)];
        std::memcpy (bytes, &value, sizeof (T));
        addBytes (bytes, sizeof (T));
    }

    template <typename T>
    void add (const RelaxedAtomic<T>& value) noexcept
    {
        add (value.get());
    }

    template <typename T, size_t n>
    void add (const std::array<T, n>& values) noexcept
    {
        for (const auto& value : values)
            add (value);
    }

    void add (const juce::AudioBuffer<float>& buffer, int numSamples) noexcept
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            addBytes (buffer.getReadPointer (c), sizeof (float) * (size_t) numSamples);
    }

    uint64_t value = 14695981039346656037ull;

private:
    void addBytes (const void* data, size_t size) noexcept
    {
        for (size_t i = 0; i < size; ++i)
            value = (value ^ static_cast<const unsigned char*> (data)[i]) * 1099511628211ull;
    }
};

//==============================================================================
/** Six channels of a whole signal, frame by frame. */
using Generator = std::function<void (juce::AudioBuffer<float>&, double sampleRate)>;

/** Pink noise, part shared by all channels and part each channel's own, at
    levels from -70 to 0 dBFS held for 0.6 s each, in a scrambled order so
    that both loud-to-quiet and quiet-to-loud steps occur. */
void steppedNoise (juce::AudioBuffer<float>& signal, double sampleRate)
{
    const float levels[] = { -23.0f, -70.0f, 0.0f, -45.0f, -10.0f, -60.0f, -30.0f, -3.0f, -52.0f, -16.0f };
    const int hold = (int) (0.6 * sampleRate);
    TestSignals::PinkNoise common (99);
    std::vector<TestSignals::PinkNoise> own;

    for (int c = 0; c < numSlots; ++c)
        own.emplace_back ((uint32_t) (c + 1));

    for (int i = 0; i < signal.getNumSamples(); ++i)
    {
        const float gain = TestSignals::dbToGain (levels[(size_t) (i / hold) % std::size (levels)]);
        const float shared = common.next (0.5f);

        for (int c = 0; c < numSlots; ++c)
            signal.setSample (c, i, gain * (shared + own[(size_t) c].next (0.5f)));
    }
}

/** Sines up to 1.6 in amplitude, so the sample peaks and the true peaks
    between samples both go over full scale; L and R differ in phase. */
void sinesWithOvers (juce::AudioBuffer<float>& signal, double sampleRate)
{
    signal.clear();
    const double frequencies[] = { 997.0, 997.0, 3001.0, 60.0, 11025.0, sampleRate / 4.1 };
    const float amplitudes[] = { 1.6f, 1.2f, 0.9f, 1.1f, 1.05f, 0.5f };

    for (int c = 0; c < numSlots; ++c)
        TestSignals::writeSine (signal, c, frequencies[c], sampleRate, amplitudes[c], 0, 0.7 * c);
}

/** Half a second of silence, then noise at levels that straddle the
    filters' snap-to-zero threshold of 1e-8, down into denormals. */
void tinyLevels (juce::AudioBuffer<float>& signal, double sampleRate)
{
    const float amplitudes[] = { 0.0f, 1e-6f, 1e-7f, 3e-8f, 1.1e-8f, 1e-8f, 9e-9f, 1e-12f, 1e-20f, 1e-39f };
    const int hold = (int) (0.35 * sampleRate);
    std::vector<TestSignals::WhiteNoise> noise;

    for (int c = 0; c < numSlots; ++c)
        noise.emplace_back ((uint32_t) (c + 11));

    for (int i = 0; i < signal.getNumSamples(); ++i)
        for (int c = 0; c < numSlots; ++c)
            signal.setSample (
                c, i, noise[(size_t) c].next (amplitudes[(size_t) (i / hold) % std::size (amplitudes)]));
}

/** Stepped noise with NaN, +inf and -inf samples scattered over the channels,
    some alone and some in runs. */
void nonFiniteSamples (juce::AudioBuffer<float>& signal, double sampleRate)
{
    steppedNoise (signal, sampleRate);
    const float specials[] = { std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity() };
    const int spacing = (int) (0.23 * sampleRate);

    for (int n = 0; (n + 1) * spacing < signal.getNumSamples(); ++n)
        for (int k = 0; k <= n % 4; ++k)
            signal.setSample (n % numSlots, (n + 1) * spacing + k * 3, specials[(size_t) (n + k) % 3]);
}

//==============================================================================
struct Case
{
    const char* name;
    double sampleRate;
    std::vector<int> blockSizes; // repeated in turn
    Generator signal;
    double seconds;
    bool measuring, gatingOff, downmix;
    const char* digest;
};

/** Block sizes from 1 to 512 that vary from block to block. */
const std::vector<int> varying { 1, 512, 37, 256, 2, 441, 128, 7, 500, 64, 300, 3 };

const std::vector<Case> cases {
    { "noise48k512", 48000.0, { 512 }, steppedNoise, 7.0, true, false, false, "66b9182bbac62efd" },
    { "noise44k1Varying", 44100.0, varying, steppedNoise, 6.5, true, false, true, "0fc0869581cbfb26" },
    { "noise192k64GatingOff", 192000.0, { 64 }, steppedNoise, 3.5, true, true, false, "417a4f3437549fee" },
    { "overs96k1", 96000.0, { 1 }, sinesWithOvers, 0.5, false, false, false, "7beda0f61bd11ff0" },
    { "overs32kVarying", 32000.0, varying, sinesWithOvers, 3.5, true, false, true, "3dcfcae213baf8fc" },
    { "tiny32kVarying", 32000.0, varying, tinyLevels, 3.6, true, false, false, "bdfcdb8e2743420b" },
    { "tiny48k480", 48000.0, { 480 }, tinyLevels, 3.6, true, true, true, "3974540725c17ac5" },
    { "nonFinite48kVarying", 48000.0, varying, nonFiniteSamples, 4.0, true, false, false,
      "c79c91c827a9b020" },
};

/** The running digest after each block of a case, on a fresh processor set
    up as the main window sets it up, with the measurement passes run here
    after every 100 ms of audio and nowhere else. */
std::vector<uint64_t> runCase (const Case& c)
{
    constexpr int maxBlockSize = 512;
    auto processor = std::make_unique<OvrajuceLoudnessAudioProcessor>();
    processor->setPlayConfigDetails (numSlots, numSlots, c.sampleRate, maxBlockSize);
    processor->prepareToPlay (c.sampleRate, maxBlockSize);
    processor->releaseResources(); // off the loudness thread
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->setOutputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->settings.isMeasuring = c.measuring ? 1.0f : 0.0f;
    processor->settings.gatingOffFlag = c.gatingOff ? 1.0f : 0.0f;
    processor->settings.stereoMixdownFlag = c.downmix ? 1.0f : 0.0f;

    juce::AudioBuffer<float> signal (numSlots, (int) (c.seconds * c.sampleRate));
    c.signal (signal, c.sampleRate);

    auto& p = *processor;
    auto& module = p.loudnessModule;
    auto& display = p.displaySnapshot;
    juce::AudioBuffer<float> block (numSlots, maxBlockSize), scope (numSlots, maxBlockSize);
    const int framesPerPass = (int) (c.sampleRate / 10);
    int framesSincePass = 0;
    Digest digest;
    std::vector<uint64_t> perBlock;

    for (int start = 0, n = 0; start < signal.getNumSamples(); ++n)
    {
        const int size =
            juce::jmin (c.blockSizes[(size_t) n % c.blockSizes.size()], signal.getNumSamples() - start);
        block.setSize (numSlots, size, false, false, true);

        for (int ch = 0; ch < numSlots; ++ch)
            block.copyFrom (ch, 0, signal, ch, start, size);

        process (p, block);
        start += size;

        digest.add (display.momentaryLoudness);
        digest.add (display.momentaryLoudnessPix);
        digest.add (display.shortTermLoudness);
        digest.add (display.programLoudness);
        digest.add (display.loudnessRange);
        digest.add (display.loudnessRangeVectorMin);
        digest.add (display.loudnessRangeVectorMax);
        digest.add (display.arrowSliderValue);
        digest.add (display.truePeakAlarm);
        digest.add (display.truePeakValuesPerChannel);
        digest.add (display.truePeakValuesPerChannelPix);
        digest.add (display.truePeakAlarmsPerChannel);
        digest.add (display.processedSamplesCounter);
        digest.add (display.vectroscopeValue);
        digest.add (display.vurnCorr);

        for (const auto* results : { &module.results, &p.loudnessResults })
        {
            digest.add (results->momentaryLoudness);
            digest.add (results->shortTermLoudness);
            digest.add (results->integratedLoudness);
            digest.add (results->loudnessRange);
            digest.add (results->loudnessRangeLow);
            digest.add (results->loudnessRangeHigh);
        }

        digest.add (module.momentaryUpdated.load());
        digest.add (module.shortTermUpdated.load());
        digest.add (module.integrating);
        digest.add (module.channelMomentaryLevels);
        digest.add (p.channelMomentaryLoudness);
        digest.add (p.blockTruePeaks);
        digest.add (p.truePeakMeter.levels);
        digest.add (p.truePeakMeter.workBuffer, p.truePeakMeter.workBuffer.getNumSamples());
        digest.add (block, size);

        const int ready = p.scopeFeed.fifo->getNumReady();
        p.scopeFeed.fifo->read (scope, ready);
        digest.add (ready);
        digest.add (scope, ready);

        perBlock.push_back (digest.value);

        framesSincePass += size;

        if (framesSincePass >= framesPerPass)
        {
            framesSincePass -= framesPerPass;
            module.computeLoudness();
        }
    }

    return perBlock;
}

juce::String hex (uint64_t value)
{
    return juce::String::toHexString ((juce::int64) value).paddedLeft ('0', 16);
}

/** Index of the first block whose digest differs, or -1. */
int firstDifference (const std::vector<uint64_t>& a, const std::vector<uint64_t>& b)
{
    const auto [i, j] = std::mismatch (a.begin(), a.end(), b.begin(), b.end());
    return i == a.end() && j == b.end() ? -1 : (int) (i - a.begin());
}

/** The trace file's per-block digests of one case, or none. */
std::vector<uint64_t> tracedDigests (const juce::StringArray& lines, const juce::String& name)
{
    std::vector<uint64_t> digests;

    for (const auto& line : lines)
        if (line.upToFirstOccurrenceOf (" ", false, false) == name)
            digests.push_back ((uint64_t) line.fromLastOccurrenceOf (" ", false, false).getHexValue64());

    return digests;
}
} // namespace

TEST (ProcessorEquivalence, EveryPublishedValueMatchesTheRecordedDigest)
{
    const char* tracePath = std::getenv ("ZELX_DIGEST_TRACE");
    const juce::File traceFile = tracePath != nullptr
                                     ? juce::File::getCurrentWorkingDirectory().getChildFile (tracePath)
                                     : juce::File();
    juce::StringArray traced, toTrace;

    if (traceFile != juce::File() && traceFile.existsAsFile())
        traceFile.readLines (traced);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto first = runCase (c);
        const auto second = runCase (c);
        ASSERT_EQ (firstDifference (first, second), -1) << "two runs of the same case differ";

        if (! traced.isEmpty())
        {
            const int block = firstDifference (tracedDigests (traced, c.name), first);
            EXPECT_EQ (block, -1) << "first block that differs from " << traceFile.getFullPathName();
        }

        for (size_t n = 0; n < first.size(); ++n)
            toTrace.add (juce::String (c.name) + " " + juce::String ((int) n) + " " + hex (first[n]));

        EXPECT_EQ (hex (first.back()).toStdString(), std::string (c.digest))
            << "to find the first block that differs, run this test with ZELX_DIGEST_TRACE=<file> "
               "on the code before the change and then after it";
    }

    if (traceFile != juce::File() && traced.isEmpty())
        traceFile.replaceWithText (toTrace.joinIntoString ("\n") + "\n");
}
