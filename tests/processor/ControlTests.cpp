#include "AllocationCounter.h"
#include "ProcessorTestHelpers.h"

#include <gtest/gtest.h>

using namespace ProcessorTestHelpers;

namespace
{
void processSilence (OvrajuceLoudnessAudioProcessor& processor, int numSamples = blockSize)
{
    juce::AudioBuffer<float> block (6, numSamples);
    block.clear();
    process (processor, block);
}
} // namespace

TEST (ProcessorTransport, FollowingTheTransportMeasuresWhileThePositionMoves)
{
    auto processor = makePreparedProcessor();
    processor->settings.followTransportFlag = 1.0f;
    const auto& counter = processor->displaySnapshot.processedSamplesCounter;

    // No play head: never measuring, and the position reads as the defaults.
    processor->lastPosInfo.bpm = 77.0;
    processSilence (*processor);
    EXPECT_EQ (processor->settings.isMeasuring.get(), 0.0f);
    EXPECT_EQ (counter.get(), 0.0);
    EXPECT_EQ (processor->lastPosInfo, juce::AudioPlayHead::CurrentPositionInfo());

    TestPlayHead playHead;
    processor->setPlayHead (&playHead);
    playHead.position.setIsPlaying (true);
    playHead.position.setBpm (98.0);
    playHead.position.setTimeSignature (juce::AudioPlayHead::TimeSignature { 3, 4 });

    for (int block = 1; block <= 3; ++block)
    {
        playHead.position.setTimeInSamples (block * blockSize);
        processSilence (*processor);
        EXPECT_EQ (processor->settings.isMeasuring.get(), 1.0f);
        EXPECT_EQ (processor->loudnessModule.integrating.get(), 1);
        EXPECT_EQ (counter.get(), (double) (block * blockSize));
    }

    EXPECT_EQ (processor->lastPosInfo.timeInSamples, 3 * blockSize);
    EXPECT_EQ (processor->lastPosInfo.bpm, 98.0);
    EXPECT_EQ (processor->lastPosInfo.timeSigNumerator, 3);
    EXPECT_TRUE (processor->lastPosInfo.isPlaying);

    // The same position twice stops the count for that block.
    processSilence (*processor);
    EXPECT_EQ (processor->settings.isMeasuring.get(), 0.0f);
    EXPECT_EQ (processor->loudnessModule.integrating.get(), 0);
    EXPECT_EQ (counter.get(), (double) (3 * blockSize));

    // Only the time in seconds changing is no movement.
    playHead.position.setTimeInSeconds (12.5);
    processSilence (*processor);
    EXPECT_EQ (processor->settings.isMeasuring.get(), 0.0f);

    // Any other field is.
    playHead.position.setIsLooping (true);
    processSilence (*processor, 100);
    EXPECT_EQ (processor->settings.isMeasuring.get(), 1.0f);
    EXPECT_EQ (counter.get(), (double) (3 * blockSize + 100));

    // A play head without a position counts as standing still.
    playHead.hasPosition = false;
    processSilence (*processor);
    EXPECT_EQ (processor->settings.isMeasuring.get(), 0.0f);
    EXPECT_EQ (counter.get(), (double) (3 * blockSize + 100));

    processor->setPlayHead (nullptr);
}

TEST (ProcessorTransport, WithoutFollowingTheMeasuringFlagDecides)
{
    auto processor = makePreparedProcessor();
    TestPlayHead playHead;
    processor->setPlayHead (&playHead);
    const auto& counter = processor->displaySnapshot.processedSamplesCounter;

    // A moving transport changes nothing while not following it.
    playHead.position.setTimeInSamples (1000);
    processSilence (*processor);
    EXPECT_EQ (counter.get(), 0.0);
    EXPECT_EQ (processor->loudnessModule.integrating.get(), 0);

    processor->setParameterValue (0, 1.0f);
    processSilence (*processor);
    processSilence (*processor, 7);
    EXPECT_EQ (counter.get(), (double) (blockSize + 7));
    EXPECT_EQ (processor->loudnessModule.integrating.get(), 1);

    // Any value other than 0 measures, for the counter and the histograms alike.
    processor->setParameterValue (0, 0.5f);
    processSilence (*processor);
    EXPECT_EQ (counter.get(), (double) (2 * blockSize + 7));
    EXPECT_EQ (processor->loudnessModule.integrating.get(), 1);

    processor->setParameterValue (0, 0.0f);
    processSilence (*processor);
    EXPECT_EQ (counter.get(), (double) (2 * blockSize + 7));
    EXPECT_EQ (processor->loudnessModule.integrating.get(), 0);

    // Gating follows its flag on every block.
    processor->settings.gatingOffFlag = 1.0f;
    processSilence (*processor);
    EXPECT_FALSE (processor->loudnessModule.momentaryHistogram.gatingEnabled.get());
    EXPECT_FALSE (processor->loudnessModule.shortTermHistogram.gatingEnabled.get());
    processor->settings.gatingOffFlag = 0.4f;
    processSilence (*processor);
    EXPECT_TRUE (processor->loudnessModule.momentaryHistogram.gatingEnabled.get());
    EXPECT_TRUE (processor->loudnessModule.shortTermHistogram.gatingEnabled.get());

    processor->setPlayHead (nullptr);
}

TEST (ProcessorTransport, TheTimeCountsEachStretchAtItsOwnRate)
{
    auto processor = makePreparedProcessor();
    processor->settings.isMeasuring = 1.0f;
    const auto& display = processor->displaySnapshot;
    const auto shownSeconds = [&] {
        const double rate = processor->lastSampleRate;
        return display.getMeasuredSamplesAt (rate) / rate;
    };
    const auto measureOneSecondAt = [&] (double rate) {
        processor->prepareToPlay (rate, blockSize);

        for (int done = 0; done < (int) rate; done += blockSize)
            processSilence (*processor, juce::jmin (blockSize, (int) rate - done));

        processor->releaseResources();
    };

    // The device reopened at another rate each second, as a JACK server
    // coming back at another rate or a rate picked mid-measurement does.
    double samples = 0.0, seconds = 0.0;

    for (const double rate : { 48000.0, 96000.0, 44100.0, 44100.0 })
    {
        measureOneSecondAt (rate);
        samples += rate;
        seconds += 1.0;
        EXPECT_DOUBLE_EQ (shownSeconds(), seconds) << rate;
        EXPECT_EQ (display.processedSamplesCounter.get(), samples) << "the remote's counter counts samples";
    }

    // RESET forgets the earlier rates too.
    processor->resetMeasurement();
    EXPECT_EQ (shownSeconds(), 0.0);
    measureOneSecondAt (96000.0);
    EXPECT_DOUBLE_EQ (shownSeconds(), 1.0);
}

TEST (ProcessorParameters, IndexSwitchWritesTheNamedField)
{
    OvrajuceLoudnessAudioProcessor processor;
    auto& s = processor.settings;

    const std::pair<int, RelaxedAtomic<float> SettingsSnapshot::*> fields[] = {
        { 0, &SettingsSnapshot::isMeasuring },
        { 1, &SettingsSnapshot::measurementStandard },
        { 2, &SettingsSnapshot::measurementScale },
        { 3, &SettingsSnapshot::measurementUnit },
        { 4, &SettingsSnapshot::gatingOffFlag },
        { 5, &SettingsSnapshot::followTransportFlag },
        { 6, &SettingsSnapshot::truePeakRefLevel },
        { 7, &SettingsSnapshot::truePeakMaxLevel },
        { 8, &SettingsSnapshot::truePeakHoldTime },
        { 9, &SettingsSnapshot::truePeakOverloadTime },
        { 10, &SettingsSnapshot::shtMaxLevel },
        { 11, &SettingsSnapshot::stereoMixdownFlag },
        { 12, &SettingsSnapshot::vectroscopeInputDataFlag },
    };

    for (const auto& [index, field] : fields)
    {
        const auto before = processor.getSettings();
        const float value = 40.25f + (float) index;
        processor.setParameterValue (index, value);
        EXPECT_EQ ((s.*field).get(), value) << "index " << index;

        // No other field moved.
        for (const auto& [otherIndex, otherField] : fields)
        {
            if (otherIndex != index)
            {
                EXPECT_EQ ((s.*otherField).get(), (before.*otherField).get())
                    << index << " wrote " << otherIndex;
            }
        }
    }

    processor.setParameterValue (16, 0.5f);
    EXPECT_TRUE (s.stereoState.get());
    processor.setParameterValue (16, 0.0f);
    EXPECT_FALSE (s.stereoState.get());

    // The host's parameter interface changes nothing, nor do unknown indices.
    const auto before = processor.getSettings();
    processor.setParameter (16, 1.0f);
    processor.setParameter (1, 1.0f);

    for (int index : { 13, 14, 15, 17, -1, 1000 })
        processor.setParameterValue (index, 99.0f);

    const auto after = processor.getSettings();
    EXPECT_EQ (after.stereoState.get(), before.stereoState.get());
    EXPECT_EQ (after.adminPassword.get(), before.adminPassword.get());

    for (const auto& [index, field] : fields)
        EXPECT_EQ ((after.*field).get(), (before.*field).get()) << "index " << index;

    EXPECT_EQ (processor.getNumParameters(), 17);
    EXPECT_EQ (processor.getParameter (7), 0.0f);
    EXPECT_EQ (processor.getParameterText (7), "0.00");
    EXPECT_TRUE (processor.getParameterName (3).isEmpty());
    EXPECT_FALSE (processor.isParameterAutomatable (0));
}

TEST (ProcessorParameters, IdentityAndFreshState)
{
    OvrajuceLoudnessAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "ZEL5.1Extended");
    EXPECT_EQ (processor.getInputChannelName (0), "1");
    EXPECT_EQ (processor.getOutputChannelName (5), "6");
    EXPECT_EQ (processor.getTotalNumInputChannels(), 6);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 6);

    // Every device from mono to six channels is accepted, more is not.
    for (int channels = 1; channels <= 6; ++channels)
    {
        const auto set = juce::AudioChannelSet::canonicalChannelSet (channels);
        EXPECT_TRUE (processor.checkBusesLayoutSupported ({ { set }, { set } })) << channels;
    }

    const auto eight = juce::AudioChannelSet::discreteChannels (8);
    EXPECT_FALSE (processor.checkBusesLayoutSupported ({ { eight }, { eight } }));

    EXPECT_EQ (processor.settings.adminPassword.get(), 9413);
    EXPECT_EQ (processor.settings.logFileName, "ZELX51Log");
    EXPECT_TRUE (processor.settings.logFilePath.endsWith (juce::File::getSeparatorString() + "Tamvo"
                                                          + juce::File::getSeparatorString() + "ZELX"));
}

TEST (ProcessorParameters, ResetMeasurementClearsDisplayMaximaAndModule)
{
    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->setParameterValue (0, 1.0f);
    processor->measurementLog.maxTruePeak = -3.0f;
    processor->measurementLog.maxMomentaryLoudness = -10.0f;
    processor->measurementLog.maxShortTermLoudness = -11.0f;

    juce::AudioBuffer<float> block (6, blockSize);
    block.clear();
    TestSignals::writeSine (block, 0, 1000.0, sampleRate, 0.9f);
    process (*processor, block);
    processor->loudnessModule.results.integratedLoudness = -20.0f;
    ASSERT_GT (processor->displaySnapshot.processedSamplesCounter.get(), 0.0);
    ASSERT_GT (processor->displaySnapshot.truePeakValuesPerChannel[0].get(), -70.0f);

    processor->resetMeasurement();

    const auto& display = processor->displaySnapshot;
    EXPECT_EQ (display.processedSamplesCounter.get(), 0.0);
    EXPECT_EQ (display.truePeakValuesPerChannel[0].get(), -70.0f);
    EXPECT_EQ (display.vurnCorr[0].get(), 1.0f);
    EXPECT_EQ (processor->measurementLog.maxTruePeak.get(), -70.0f);
    EXPECT_EQ (processor->measurementLog.maxMomentaryLoudness.get(), -70.0f);
    EXPECT_EQ (processor->measurementLog.maxShortTermLoudness.get(), -70.0f);
    EXPECT_EQ (processor->loudnessModule.results.integratedLoudness.get(), -70.0f);

    // The measurement itself keeps running.
    EXPECT_EQ (processor->settings.isMeasuring.get(), 1.0f);
}

TEST (ProcessorRealtime, ProcessBlockAllocatesNothingOncePrepared)
{
    if (! AllocationCounter::isAvailable())
        GTEST_SKIP() << "allocations are not counted under AddressSanitizer";

    {
        // The counter itself must see an allocation.
        AllocationCounter counter;
        juce::AudioBuffer<float> grown (6, 4096);
        EXPECT_GT (counter.getCount(), 0);
    }

    auto processor = makePreparedProcessor();
    processor->setInputLayout (layoutOf ({ 2, 3, 0, -1, 4, 5 }));
    processor->setOutputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    TestPlayHead playHead;
    processor->setPlayHead (&playHead);
    processor->settings.followTransportFlag = 1.0f;

    juce::AudioBuffer<float> block (6, blockSize);
    juce::MidiBuffer midi;
    TestSignals::PinkNoise noise;
    int allocations = 0;

    for (int round = 0; round < 200; ++round)
    {
        // Every block size up to the prepared one, with and without downmix,
        // a moving transport and new values to publish.
        const int numSamples = round % 7 == 0 ? 0 : (round * 37) % (blockSize + 1);
        block.setSize (6, numSamples, false, false, true);

        for (int c = 0; c < 6; ++c)
            for (int i = 0; i < numSamples; ++i)
                block.setSample (c, i, noise.next (0.5f));

        processor->settings.stereoMixdownFlag = (float) (round % 2);
        processor->settings.vectroscopeInputDataFlag = (float) (round % 3 == 0);
        playHead.position.setTimeInSamples (round);
        processor->loudnessModule.momentaryUpdated = true;
        processor->loudnessModule.shortTermUpdated = round % 5 == 0;

        AllocationCounter counter;
        processor->processBlock (block, midi);
        allocations += counter.getCount();

        if (round % 10 == 9)
            processor->loudnessModule.computeLoudness();
    }

    EXPECT_EQ (allocations, 0);
    processor->setPlayHead (nullptr);
}
