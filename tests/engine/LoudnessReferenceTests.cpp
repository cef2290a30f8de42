#include "LoudnessModuleRig.h"
#include "TestSignals.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

// Cross-checks against libebur128, an independent implementation of the same
// measurement. Where the two differ by design the signals keep clear of it:
// - the surround weight here is exactly 1.41, there 10^0.15 = 1.41254; for a
//   programme in the surrounds alone that is 10 log10 (1.41254 / 1.41) =
//   0.008 LU, for the mixes below less;
// - both long-term measures here are taken from 0.1 LU bins; every level a
//   programme holds lies well away from the relative gates, so rounding a
//   block to its bin can move only a block of a transition across a gate;
// - blocks quieter than -70 LUFS count here as -70.0, where the absolute
//   gate drops them as libebur128's drops them;
// - the loudness range here is taken from short-term values every 600 ms,
//   there every second; the stepped programmes hold each level for 20 s, so
//   both tools see the same plateaus and differ only in the transitions.
namespace
{
constexpr int L = 0, R = 1, C = 2, LFE = 3, LS = 4, RS = 5;

struct ReferenceMeter
{
    ReferenceMeter (int channels, double rate)
        : state (ebur128_init ((unsigned) channels, (unsigned long) rate,
                               EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA))
    {
        const int map[] = { EBUR128_LEFT,   EBUR128_RIGHT,         EBUR128_CENTER,
                            EBUR128_UNUSED, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND };
        for (int ch = 0; ch < channels; ++ch)
            ebur128_set_channel (state.get(), (unsigned) ch, map[ch]);
    }

    void add (const std::vector<float>& interleaved, int channels, int firstFrame, int numFrames)
    {
        const auto* first = interleaved.data() + (size_t) firstFrame * (size_t) channels;
        ebur128_add_frames_float (state.get(), first, (size_t) numFrames);
    }

    double momentary()
    {
        double v = 0;
        ebur128_loudness_momentary (state.get(), &v);
        return v;
    }
    double shortTerm()
    {
        double v = 0;
        ebur128_loudness_shortterm (state.get(), &v);
        return v;
    }
    double integrated()
    {
        double v = 0;
        ebur128_loudness_global (state.get(), &v);
        return v;
    }

    double range()
    {
        double v = 0;
        ebur128_loudness_range (state.get(), &v);
        return v;
    }

    struct Destroy
    {
        void operator() (ebur128_state* s) const { ebur128_destroy (&s); }
    };
    std::unique_ptr<ebur128_state, Destroy> state;
};

/** Four-second segments of tones and noise, each channel its own signal. */
juce::AudioBuffer<float> makeProgramme (int channels, double rate, int numSegments)
{
    const int segmentLength = (int) rate * 4;
    juce::AudioBuffer<float> programme (channels, segmentLength * numSegments);
    programme.clear();
    std::vector<TestSignals::PinkNoise> pink;
    for (int ch = 0; ch < channels; ++ch)
        pink.emplace_back ((uint32_t) (ch + 1));
    TestSignals::WhiteNoise white (9);

    for (int s = 0; s < numSegments; ++s)
    {
        juce::AudioBuffer<float> segment (channels, segmentLength);
        segment.clear();
        const int64_t start = (int64_t) s * segmentLength;

        for (int ch = 0; ch < channels; ++ch)
        {
            const float gain = TestSignals::dbToGain (-6.0f - 2.0f * (float) ((s + ch) % 4));
            switch ((s + ch) % 4)
            {
                case 0:
                    TestSignals::writeSine (segment, ch, 997.0, rate, 0.5f * gain, start);
                    break;
                case 1:
                    for (int i = 0; i < segmentLength; ++i)
                        segment.setSample (ch, i, pink[(size_t) ch].next (gain));
                    break;
                case 2:
                    TestSignals::writeSine (segment, ch, 3000.0 + 500.0 * ch, rate, 0.3f * gain, start);
                    break;
                default:
                    for (int i = 0; i < segmentLength; ++i)
                        segment.setSample (ch, i, white.next (0.3f * gain));
                    break;
            }
        }

        for (int ch = 0; ch < channels; ++ch)
            programme.copyFrom (ch, s * segmentLength, segment, ch, 0, segmentLength);
    }

    return programme;
}

/** Feeds the programme to both meters in 100 ms hops and compares every
    momentary value where the module produced one, then the first short-term
    value and the integrated loudness. */
void compareOnProgramme (int channels, double rate, int numSegments)
{
    const auto programme = makeProgramme (channels, rate, numSegments);
    const auto interleaved = TestSignals::interleave (programme);

    LoudnessModuleRig rig (rate, 1, channels);
    ReferenceMeter reference (channels, rate);
    const int hop = (int) rate / 10;
    int compared = 0;
    float lowest = 0.0f;

    for (int frame = 0; frame + hop <= programme.getNumSamples(); frame += hop)
    {
        const auto before = rig.momentary.size();
        const auto shortTermBefore = rig.shortTerm.size();
        const auto fromProgramme = [&] (juce::AudioBuffer<float>& block, int64_t start) {
            for (int ch = 0; ch < channels; ++ch)
                block.copyFrom (ch, 0, programme, ch, (int) start, block.getNumSamples());
        };
        rig.push (hop, fromProgramme, hop);
        reference.add (interleaved, channels, frame, hop);

        if (rig.momentary.size() > before)
        {
            const float value = rig.momentary.back().loudness;
            ASSERT_NEAR (value, reference.momentary(), 0.1) << "after " << frame + hop << " frames";
            lowest = std::min (lowest, value);
            ++compared;
        }

        // Only the first short-term window ends exactly where the reference's
        // last 3 s end; later ones lag one frame per hop.
        if (rig.shortTerm.size() > shortTermBefore && shortTermBefore == 0)
        {
            EXPECT_NEAR (rig.shortTerm.back().loudness, reference.shortTerm(), 0.1);
        }
    }

    ASSERT_GT (compared, 10 * numSegments * 4 - 10);
    ASSERT_GT (lowest, -50.0f);
    EXPECT_NEAR (rig.module.results.integratedLoudness.get(), reference.integrated(), 0.1);
}
} // namespace

TEST (LoudnessReference, StereoProgrammeAgreesWithTheReferenceLibrary) { compareOnProgramme (2, 48000.0, 8); }

TEST (LoudnessReference, SurroundProgrammeAgreesWithTheReferenceLibrary)
{
    compareOnProgramme (6, 48000.0, 8);
    compareOnProgramme (6, 44100.0, 4);
}

TEST (LoudnessReference, KWeightingAgreesAtEveryRate)
{
    // One tone per channel position and rate: the filter table's row for each
    // rate must give the reference's frequency response within 0.1 dB, from
    // the high-pass region through the shelf.
    for (double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 })
        for (double frequency : { 40.0, 100.0, 997.0, 4000.0, 10000.0, 16000.0 })
        {
            SCOPED_TRACE (juce::String (rate) + " Hz rate, " + juce::String (frequency) + " Hz tone");
            juce::AudioBuffer<float> tone (2, (int) rate);
            tone.clear();
            TestSignals::writeSine (tone, L, frequency, rate, 0.5f);
            TestSignals::writeSine (tone, R, frequency, rate, 0.25f, 0, 1.0);

            LoudnessModuleRig rig (rate, 1, 2);
            const auto fromTone = [&] (juce::AudioBuffer<float>& block, int64_t start) {
                for (int ch = 0; ch < 2; ++ch)
                    block.copyFrom (ch, 0, tone, ch, (int) start, block.getNumSamples());
            };
            rig.push (tone.getNumSamples(), fromTone, (int) rate / 10);

            ReferenceMeter reference (2, rate);
            reference.add (TestSignals::interleave (tone), 2, 0, tone.getNumSamples());
            EXPECT_NEAR (rig.module.results.momentaryLoudness.get(), reference.momentary(), 0.1);
        }
}

TEST (LoudnessReference, GatedMeasuresOfSteppedProgrammesAgreeWithTheReferenceLibrary)
{
    // A stereo 997 Hz tone held at each level (LUFS) for the given seconds.
    // The absolute gate keeps the pauses out of both measures. The range's
    // relative gate, 20 LU under the short-term level, keeps the -40 step of
    // the fifth case, which a gate 15 LU under would drop, and drops the -45
    // step of the second and the -50 steps of the last, which a gate 25 LU
    // under (or one taken with the pause) would keep.
    constexpr float silence = -std::numeric_limits<float>::infinity();
    struct Step
    {
        float level, seconds;
    };
    struct Case
    {
        std::vector<Step> steps;
        float integrated, range;
    };
    const Case cases[] = {
        { { { -23.0f, 20 }, { -36.0f, 20 }, { silence, 60 } }, -23.0f, 13.0f },
        { { { -20.0f, 30 }, { -25.0f, 30 }, { -45.0f, 20 }, { silence, 60 } }, -21.8f, 5.0f },
        { { { -20.0f, 20 }, { -30.0f, 20 } }, -22.6f, 10.0f },
        { { { -20.0f, 20 }, { -15.0f, 20 } }, -16.8f, 5.0f },
        { { { -40.0f, 20 }, { -20.0f, 20 } }, -20.0f, 20.0f },
        { { { -50.0f, 20 }, { -35.0f, 20 }, { -20.0f, 20 }, { -35.0f, 20 }, { -50.0f, 20 } }, -24.5f, 15.0f },
    };

    constexpr double rate = 48000.0;
    constexpr int blockSize = 4800;

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("case " + juce::String ((int) (&c - cases) + 1));
        LoudnessModuleRig rig (rate, 1, 2);
        ReferenceMeter reference (2, rate);
        juce::AudioBuffer<float> block (2, blockSize);

        for (const auto& step : c.steps)
        {
            const float amplitude = std::pow (10.0f, step.level / 20.0f);
            const int frames = (int) (step.seconds * rate);
            for (int done = 0; done < frames; done += blockSize)
            {
                const auto start = rig.framesPushed;
                block.clear();
                for (int ch = 0; ch < 2; ++ch)
                    TestSignals::writeSine (block, ch, 997.0, rate, amplitude, start);
                rig.push (
                    blockSize,
                    [&] (juce::AudioBuffer<float>& in, int64_t) {
                        for (int ch = 0; ch < 2; ++ch)
                            in.copyFrom (ch, 0, block, ch, 0, blockSize);
                    },
                    blockSize);
                reference.add (TestSignals::interleave (block), 2, 0, blockSize);
            }
        }

        const auto& results = rig.module.results;
        EXPECT_NEAR (results.integratedLoudness.get(), reference.integrated(), 0.1);
        EXPECT_NEAR (results.loudnessRange.get(), reference.range(), 0.1);
        EXPECT_NEAR (results.integratedLoudness.get(), c.integrated, 0.05);
        EXPECT_NEAR (results.loudnessRange.get(), c.range, 0.1);
    }
}
