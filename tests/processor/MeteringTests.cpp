#include "ProcessorTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ProcessorTestHelpers;

namespace
{
// Pixels of a 569-pixel meter for a level on a scale from minDb to maxDb,
// from the closed form (e^t - 1) / (e - 1) of the exponential scale.
int expectedPixels (float level, double minDb, double maxDb)
{
    const double t = ((double) level - minDb) / (maxDb - minDb);
    return (int) ((std::exp (t) - 1.0) / (std::exp (1.0) - 1.0) * 569.0 + 0.5);
}

float expectedPosition (float level, double minDb, double maxDb)
{
    const double t = ((double) level - minDb) / (maxDb - minDb);
    return (float) ((std::exp (t) - 1.0) / (std::exp (1.0) - 1.0));
}

void setModuleResults (OVRALoudnessModule& module, float momentary, float shortTerm, float integrated,
                       float range, float low, float high)
{
    module.results.momentaryLoudness = momentary;
    module.results.shortTermLoudness = shortTerm;
    module.results.integratedLoudness = integrated;
    module.results.loudnessRange = range;
    module.results.loudnessRangeLow = low;
    module.results.loudnessRangeHigh = high;
}
} // namespace

TEST (ProcessorMetering, NewValuesArePublishedWithQuantisedPositions)
{
    auto processor = makePreparedProcessor (4, 4);
    auto& module = processor->loudnessModule;
    const auto& display = processor->displaySnapshot;

    setModuleResults (module, -23.04f, -18.96f, -22.96f, 7.04f, -30.04f, -23.04f);

    for (int slot = 0; slot < 6; ++slot)
        module.channelMomentaryLevels[(size_t) slot] = -30.0f - (float) slot;

    // Nothing is new yet: the display keeps its reset values.
    auto block = silentBlock (4);
    process (*processor, block);
    EXPECT_EQ (display.momentaryLoudness.get(), -70.0f);
    EXPECT_EQ (display.shortTermLoudness.get(), -70.0f);
    EXPECT_EQ (display.programLoudness.get(), -70.0f);

    module.momentaryUpdated = true;
    module.shortTermUpdated = true;
    process (*processor, block);

    EXPECT_EQ (display.momentaryLoudness.get(), -23.04f);
    EXPECT_EQ (display.momentaryLoudnessPix.get(), 314.0f / 569.0f);
    EXPECT_EQ (display.programLoudness.get(), roundToOneDecimal (-22.96f));
    EXPECT_EQ (display.shortTermLoudness.get(), -18.96f);
    EXPECT_EQ (display.arrowSliderValue.get(), (float) expectedPixels (-19.0f, -59, -5) / 569.0f);
    EXPECT_EQ (display.loudnessRange.get(), roundToOneDecimal (7.04f));
    EXPECT_EQ (display.loudnessRangeVectorMax.get(), 314.0f / 569.0f);
    EXPECT_EQ (display.loudnessRangeVectorMin.get(), (float) expectedPixels (-30.0f, -59, -5) / 569.0f);

    // Per-slot momentary levels only for the channels the block has.
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ (processor->channelMomentaryLoudness[(size_t) slot].get(), -30.0f - (float) slot);

    EXPECT_EQ (processor->channelMomentaryLoudness[4].get(), -70.0f);
    EXPECT_EQ (processor->channelMomentaryLoudness[5].get(), -70.0f);

    // The scale follows the standard: ATSC wide puts -24 where EBU wide puts -23.
    processor->settings.measurementStandard = 1.0f;
    setModuleResults (module, -24.0f, -24.0f, -24.0f, 0.0f, -24.0f, -24.0f);
    process (*processor, block);
    EXPECT_EQ (display.momentaryLoudnessPix.get(), 314.0f / 569.0f);
    EXPECT_EQ (display.arrowSliderValue.get(), 314.0f / 569.0f);

    // Once the flags are cleared, later results are not published.
    module.momentaryUpdated = false;
    module.shortTermUpdated = false;
    setModuleResults (module, -10.0f, -10.0f, -10.0f, 3.0f, -12.0f, -9.0f);
    process (*processor, block);
    EXPECT_EQ (display.momentaryLoudness.get(), -24.0f);
    EXPECT_EQ (display.shortTermLoudness.get(), -24.0f);
}

TEST (ProcessorMetering, MeasuresTheRoutedSlotsWithTheirChannelWeights)
{
    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));

    measureSine (*processor, 0, 1.0f, 1.0);
    const float onLeft = processor->displaySnapshot.momentaryLoudness;
    EXPECT_NEAR (onLeft, -3.0f, 0.15f);

    // The same tone on a surround slot weighs 1.41 (about +1.5 dB).
    auto surround = makePreparedProcessor();
    surround->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    measureSine (*surround, 4, 1.0f, 1.0);
    EXPECT_NEAR (surround->displaySnapshot.momentaryLoudness.get() - onLeft, 1.5f, 0.15f);

    // Five chosen channels arrive as block channels 0 to 4; a tone on the
    // sixth reaches no slot and is not measured at all.
    auto unrouted = makePreparedProcessor();
    unrouted->setInputLayout (layoutOf ({ -1, 1, 2, 3, 4, 5 }));
    measureSine (*unrouted, 5, 1.0f, 1.0);
    EXPECT_EQ (unrouted->displaySnapshot.momentaryLoudness.get(), -70.0f);
}

TEST (ProcessorMetering, TruePeakAlarmNeedsARoundedPeakAboveTheThreshold)
{
    const auto runTone = [] (float maxLevel) {
        auto processor = makePreparedProcessor();
        processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
        processor->settings.truePeakMaxLevel = maxLevel;

        auto block = silentBlock (6);
        TestSignals::writeSine (block, 0, 1000.0, sampleRate, 0.5f);
        process (*processor, block);
        return processor;
    };

    const auto reference = runTone (0.0f);
    const float peak = reference->displaySnapshot.truePeakValuesPerChannel[0];
    EXPECT_NEAR (peak, -6.0f, 0.2f);
    EXPECT_EQ (peak, roundToOneDecimal (peak));

    const auto atThreshold = runTone (peak);
    EXPECT_EQ (atThreshold->displaySnapshot.truePeakAlarm.get(), 0);

    for (auto& alarm : atThreshold->displaySnapshot.truePeakAlarmsPerChannel)
        EXPECT_EQ (alarm.get(), 0);

    const auto above = runTone (peak - 0.1f);
    const auto& display = above->displaySnapshot;
    EXPECT_EQ (display.truePeakAlarm.get(), 1);
    EXPECT_EQ (display.truePeakAlarmsPerChannel[0].get(), 1);

    for (size_t slot = 1; slot < 6; ++slot)
    {
        EXPECT_EQ (display.truePeakAlarmsPerChannel[slot].get(), 0);
        EXPECT_EQ (display.truePeakValuesPerChannel[slot].get(), -70.0f);
        EXPECT_EQ (above->blockTruePeaks[slot].get(), -60.0f);
    }

    EXPECT_EQ (display.truePeakValuesPerChannelPix[0].get(), (float) expectedPixels (peak, -60, 5) / 569.0f);

    // The per-slot maximum holds while the position follows the latest block.
    auto quieter = silentBlock (6);
    TestSignals::writeSine (quieter, 0, 1000.0, sampleRate, 0.1f, blockSize);
    process (*above, quieter);
    EXPECT_EQ (display.truePeakValuesPerChannel[0].get(), peak);
    EXPECT_LT (display.truePeakValuesPerChannelPix[0].get(), (float) expectedPixels (peak, -60, 5) / 569.0f);
    EXPECT_EQ (display.truePeakAlarm.get(), 1);
}

TEST (ProcessorMetering, BrokenSamplesNeitherHoldNorAlarm)
{
    // The broken samples read as the zeros of the clean block.
    auto block = silentBlock (6);
    TestSignals::writeSine (block, 0, 1000.0, sampleRate, 0.5f);
    block.setSample (0, 10, 0.0f);
    auto clean = makePreparedProcessor();
    clean->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    auto cleanBlock = block;
    process (*clean, cleanBlock);

    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    const auto& display = processor->displaySnapshot;
    block.setSample (0, 10, std::numeric_limits<float>::infinity());
    block.setSample (1, 10, std::numeric_limits<float>::quiet_NaN());
    process (*processor, block);

    EXPECT_TRUE (std::isfinite (display.truePeakValuesPerChannel[0].get()));
    EXPECT_EQ (display.truePeakValuesPerChannel[0].get(),
               clean->displaySnapshot.truePeakValuesPerChannel[0].get());
    EXPECT_EQ (display.truePeakValuesPerChannel[1].get(), -70.0f);
    EXPECT_EQ (processor->blockTruePeaks[1].get(), -60.0f);
    EXPECT_EQ (display.truePeakAlarm.get(), 0);
    EXPECT_EQ (display.truePeakAlarmsPerChannel[0].get(), 0);
}

TEST (ProcessorMetering, CorrelationsOfTheSixPairs)
{
    using P = OvrajuceLoudnessAudioProcessor;
    juce::AudioBuffer<float> pair (2, 480);
    pair.clear();
    EXPECT_EQ (P::calculateCorrelation (pair), 1.0f) << "silence";

    TestSignals::writeSine (pair, 0, 1000.0, sampleRate, 0.5f);
    pair.copyFrom (1, 0, pair, 0, 0, 480);
    EXPECT_NEAR (P::calculateCorrelation (pair), 1.0f, 1.0e-6f);

    pair.applyGain (1, 0, 480, -1.0f);
    EXPECT_NEAR (P::calculateCorrelation (pair), -1.0f, 1.0e-6f);

    TestSignals::writeSine (pair, 1, 1000.0, sampleRate, 0.5f, 0, juce::MathConstants<double>::halfPi);
    EXPECT_NEAR (P::calculateCorrelation (pair), 0.0f, 1.0e-4f);

    // Below an RMS of 0.0001 a channel counts as silent.
    pair.applyGain (1, 0, 480, 1.0e-4f);
    EXPECT_EQ (P::calculateCorrelation (pair), 1.0f);

    // A NaN sample, or sums beyond the float range, read as silence: never NaN.
    TestSignals::writeSine (pair, 0, 1000.0, sampleRate, 0.5f);
    pair.copyFrom (1, 0, pair, 0, 0, 480);
    pair.setSample (1, 7, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ (P::calculateCorrelation (pair), 1.0f);
    pair.copyFrom (1, 0, pair, 0, 0, 480);
    pair.applyGain (1.0e20f);
    EXPECT_EQ (P::calculateCorrelation (pair), 1.0f);

    EXPECT_EQ (P::calculateCorrelation (juce::AudioBuffer<float> (1, 480)), 1.0f);
    EXPECT_EQ (P::calculateCorrelation (juce::AudioBuffer<float> (2, 0)), 1.0f);

    // Through a block: each pair L-R, L-C, R-C, LS-RS, L-LS, R-RS in its place.
    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    auto block = silentBlock (6, 480);
    TestSignals::writeSine (block, 0, 1000.0, sampleRate, 0.5f);
    block.copyFrom (1, 0, block.getReadPointer (0), 480, -1.0f);
    block.copyFrom (2, 0, block, 0, 0, 480);
    TestSignals::writeSine (block, 4, 1000.0, sampleRate, 0.5f, 0, juce::MathConstants<double>::halfPi);
    block.copyFrom (5, 0, block.getReadPointer (0), 480, -1.0f);
    process (*processor, block);

    const float expected[] = { -1.0f, 1.0f, -1.0f, 0.0f, 0.0f, 1.0f };

    for (size_t i = 0; i < 6; ++i)
        EXPECT_NEAR (processor->displaySnapshot.vurnCorr[i].get(), expected[i], 1.0e-4f) << "pair " << i;
}

TEST (ProcessorMetering, SoundFieldFromTruePeakOrMomentaryLevels)
{
    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    const auto& field = processor->displaySnapshot.vectroscopeValue;

    // Silence holds the true peak at the scale's bottom: every level is 0.
    auto block = silentBlock (6);
    process (*processor, block);

    for (auto& value : field)
        EXPECT_EQ (value.get(), 0.0f);

    block = silentBlock (6);
    TestSignals::writeSine (block, 1, 1000.0, sampleRate, 0.5f);
    process (*processor, block);
    EXPECT_FLOAT_EQ (field[1].get(), expectedPosition (processor->blockTruePeaks[1], -60, 5));

    // From momentary levels, on the loudness scale of the standard.
    processor->settings.vectroscopeInputDataFlag = 1.0f;
    auto& module = processor->loudnessModule;
    module.channelMomentaryLevels[0] = -23.0f;
    module.channelMomentaryLevels[2] = -41.0f;
    module.momentaryUpdated = true;
    block = silentBlock (6);
    process (*processor, block);
    EXPECT_FLOAT_EQ (field[0].get(), expectedPosition (-23.0f, -59, -5));

    processor->settings.measurementScale = 1.0f;
    process (*processor, block);
    EXPECT_NEAR (field[2].get(), 0.0f, 1.0e-6f);
}
