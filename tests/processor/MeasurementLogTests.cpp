#include "AllocationCounter.h"
#include "LogTestFiles.h"
#include "PrintedOutput.h"
#include "ProcessorTestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

using namespace ProcessorTestHelpers;

namespace
{
// 09:05:07 local time on 6 December 2026.
juce::Time morning() { return juce::Time (2026, 11, 6, 9, 5, 7); }

std::unique_ptr<OvrajuceLoudnessAudioProcessor> makeLoggingProcessor (const ManualClock& clock,
                                                                      const juce::File& folder)
{
    auto processor = makePreparedProcessor();
    processor->setMeasurementClock (clock);
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->settings.logFilePath = folder.getFullPathName();
    processor->settings.logFileName = "Hall";
    return processor;
}

/** Starts a log and returns the line it printed, without its line end. */
juce::String startLog (OvrajuceLoudnessAudioProcessor& processor)
{
    PrintedOutput::startCapture();
    processor.setParameterValue (0, 1.0f);
    const juce::String printed = PrintedOutput::captured();
    EXPECT_TRUE (printed.endsWith ("\n")) << printed;
    return printed.dropLastCharacters (1);
}

/** Publishes one new momentary and short-term value through processBlock,
    as the module does after a pass, with the given block. */
void publish (OvrajuceLoudnessAudioProcessor& processor, float momentary, float shortTerm,
              juce::AudioBuffer<float> block = silentBlock (6))
{
    auto& module = processor.loudnessModule;
    module.results.momentaryLoudness = momentary;
    module.results.shortTermLoudness = shortTerm;
    module.momentaryUpdated = true;
    module.shortTermUpdated = true;
    process (processor, block);
    module.momentaryUpdated = false;
    module.shortTermUpdated = false;
}

/** PLAY, a second of a tone on L, STOP. */
void measureToneInALog (OvrajuceLoudnessAudioProcessor& processor, float level)
{
    startLog (processor);
    measureSine (processor, 0, TestSignals::dbToGain (level), 1.0);
    processor.setParameterValue (0, 0.0f);
}

juce::Array<juce::File> reportsIn (const juce::File& folder)
{
    auto reports =
        folder.findChildFiles (juce::File::findFiles | juce::File::ignoreHiddenFiles, false, "*.xml");
    reports.sort();
    return reports;
}

juce::String attributeOf (const juce::File& report, juce::StringRef parent, juce::StringRef element,
                          juce::StringRef attribute)
{
    const auto xml = juce::XmlDocument::parse (report);

    if (xml == nullptr)
        return "<no report>";

    auto* p = parent.isEmpty() ? xml.get() : xml->getChildByName (parent);
    auto* e = p != nullptr ? p->getChildByName (element) : nullptr;
    return e != nullptr ? e->getStringAttribute (juce::String (attribute), "<missing>") : "<missing>";
}

juce::String maximum (const juce::File& report, juce::StringRef element, juce::StringRef attribute)
{
    return attributeOf (report, "IntegratedMeasurements", element, attribute);
}

float totalCount (const OVRALoudnessHistogram& histogram)
{
    float total = 0.0f;

    for (int bin = 0; bin < OVRALoudnessHistogram::numBins; ++bin)
        total += histogram.getCount (bin);

    return total;
}

juce::StringArray csvLinesOf (const juce::File& report)
{
    return LogTestFiles::readCrLfLines (report.withFileExtension (".csv"));
}

/** Runs the message loop until the condition holds or 20 s have passed. */
template <typename Condition>
bool dispatchUntil (Condition condition)
{
    const auto deadline = juce::Time::getMillisecondCounter() + 20000;

    while (! condition() && juce::Time::getMillisecondCounter() < deadline)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);

    return condition();
}
} // namespace

//==============================================================================
TEST (MeasurementLog, StartWritesTheSkeletonAndStopTheFinalValues)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());

    const auto printed = startLog (*processor);
    const auto report = folder.getChildFile ("Hall_6_Dec_2026_9_5_7.xml");
    EXPECT_EQ (printed, report.getFullPathName()) << "the path alone";
    EXPECT_EQ (processor->settings.isMeasuring.get(), 1.0f);
    ASSERT_TRUE (processor->isMeasurementLogRunning());
    EXPECT_EQ (processor->measurementLog.measurementStartTime.get(), morning());

    // The skeleton is on disk at once, with the title and the start time.
    ASSERT_TRUE (report.existsAsFile());
    EXPECT_EQ (attributeOf (report, "MeasurementInterval", "StopTime", "value"), "");
    EXPECT_EQ (maximum (report, "MaxMomentary", "maxTime"), "");
    EXPECT_EQ (attributeOf (report, {}, "UserSelectedTitle", "value"), "ZEL51Log");
    EXPECT_EQ (attributeOf (report, "MeasurementInterval", "StartTime", "value"), "6 Dec 2026 9:05:07");

    processor->loudnessModule.results.integratedLoudness = -22.96f;
    processor->loudnessModule.results.loudnessRange = 7.04f;
    publish (*processor, -23.0f, -24.0f);

    clock.advance (juce::RelativeTime::minutes (65));
    processor->setParameterValue (0, 0.0f);
    EXPECT_EQ (processor->settings.isMeasuring.get(), 0.0f);
    EXPECT_FALSE (processor->isMeasurementLogRunning());

    // The last write carries the stop values; the CSV log lies beside the report.
    EXPECT_EQ (attributeOf (report, "MeasurementInterval", "StopTime", "value"), "6 Dec 2026 10:10:07");
    EXPECT_EQ (attributeOf (report, "MeasurementInterval", "UpTime", "value"), "1 hr 5 mins");
    EXPECT_EQ (maximum (report, "IntegratedLoudness", "value"), "-23.0");
    EXPECT_EQ (maximum (report, "IntegratedLoudness", "unit"), "LUFS");
    EXPECT_EQ (maximum (report, "LoudnessRange", "value"), "7.0");
    EXPECT_EQ (maximum (report, "LoudnessRange", "unit"), "LU");
    EXPECT_EQ (csvLinesOf (report).joinIntoString ("|"),
               "Type, Value, Date, Time|MomentaryLoudness, -23.0, 6 Dec 2026, 9:05:07"
               "|ShortTermLoudness, -24.0, 6 Dec 2026, 9:05:07");

    // Stopping again writes nothing more.
    const auto before = LogTestFiles::readBytes (report);
    PrintedOutput::startCapture();
    processor->setParameterValue (0, 0.0f);
    EXPECT_EQ (PrintedOutput::captured(), "");
    EXPECT_EQ (LogTestFiles::readBytes (report), before);

    // Two logs in one second keep apart, and a zero running time reads "0".
    EXPECT_EQ (startLog (*processor), folder.getChildFile ("Hall_6_Dec_2026_10_10_7.xml").getFullPathName());
    processor->setParameterValue (0, 1.0f);
    processor->setParameterValue (0, 0.0f);
    const auto second = folder.getChildFile ("Hall_6_Dec_2026_10_10_7 (2).xml");
    EXPECT_EQ (attributeOf (second, "MeasurementInterval", "UpTime", "value"), "0");
    EXPECT_EQ (folder.list(), "Hall_6_Dec_2026_10_10_7 (2).xml Hall_6_Dec_2026_10_10_7.xml "
                              "Hall_6_Dec_2026_9_5_7.csv Hall_6_Dec_2026_9_5_7.xml");
}

TEST (MeasurementLog, ValuesAndMaximaReachTheLogWithTheirUnits)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());

    // Nothing is logged while no log runs.
    publish (*processor, -10.0f, -10.0f);
    EXPECT_EQ (processor->measurementLog.maxMomentaryLoudness.get(), -70.0f);

    startLog (*processor);
    const auto report = reportsIn (folder.get())[0];

    // Each published value goes to the CSV log rounded; the maxima rise only.
    publish (*processor, -30.04f, -31.0f);
    clock.advance (juce::RelativeTime::seconds (3));
    publish (*processor, -20.0f, -22.06f);
    clock.advance (juce::RelativeTime::seconds (3));
    publish (*processor, -25.0f, -21.96f);
    clock.advance (juce::RelativeTime::seconds (3));

    juce::AudioBuffer<float> loud (6, blockSize);
    loud.clear();
    TestSignals::writeSine (loud, 4, 997.0, sampleRate, TestSignals::dbToGain (-6.0f));
    publish (*processor, -20.0f, -23.0f, loud);

    const float peak = processor->displaySnapshot.truePeakValuesPerChannel[4].get();
    EXPECT_NEAR (peak, -6.0f, 0.3f);
    EXPECT_EQ (processor->measurementLog.maxTruePeak.get(), peak);
    EXPECT_EQ (processor->measurementLog.maxTruePeakTime.get(), morning() + juce::RelativeTime::seconds (9));
    EXPECT_EQ (processor->measurementLog.maxMomentaryLoudness.get(), -20.0f);
    EXPECT_EQ (processor->measurementLog.maxMomentaryTime.get(), morning() + juce::RelativeTime::seconds (3))
        << "an equal value is no new maximum";
    EXPECT_EQ (processor->measurementLog.maxShortTermLoudness.get(), -22.0f);

    processor->setParameterValue (0, 0.0f);

    EXPECT_EQ (
        csvLinesOf (report).joinIntoString ("|"),
        "Type, Value, Date, Time"
        "|MomentaryLoudness, -30.0, 6 Dec 2026, 9:05:07|ShortTermLoudness, -31.0, 6 Dec 2026, 9:05:07"
        "|MomentaryLoudness, -20.0, 6 Dec 2026, 9:05:10|ShortTermLoudness, -22.1, 6 Dec 2026, 9:05:10"
        "|MomentaryLoudness, -25.0, 6 Dec 2026, 9:05:13|ShortTermLoudness, -22.0, 6 Dec 2026, 9:05:13"
        "|MomentaryLoudness, -20.0, 6 Dec 2026, 9:05:16|ShortTermLoudness, -23.0, 6 Dec 2026, 9:05:16");

    EXPECT_EQ (maximum (report, "MaxMomentary", "value"), "-20.0");
    EXPECT_EQ (maximum (report, "MaxMomentary", "unit"), "LUFS");
    EXPECT_EQ (maximum (report, "MaxMomentary", "maxTime"), "6 Dec 2026 9:05:10");
    EXPECT_EQ (maximum (report, "MaxShortTerm", "value"), "-22.0");
    EXPECT_EQ (maximum (report, "MaxShortTerm", "maxTime"), "6 Dec 2026 9:05:13");
    EXPECT_EQ (maximum (report, "MaxTruePeak", "value"), juce::String ((double) peak, 1));
    EXPECT_EQ (maximum (report, "MaxTruePeak", "unit"), "dBTP");
    EXPECT_EQ (maximum (report, "MaxTruePeak", "maxTime"), "6 Dec 2026 9:05:16");

    // Any standard but EBU writes "LKFS", for the maxima and the integrated loudness alike.
    for (const float standard : { 1.0f, 2.0f })
    {
        clock.advance (juce::RelativeTime::minutes (1));
        processor->settings.measurementStandard = standard;
        startLog (*processor);
        publish (*processor, -18.0f, -19.0f);
        processor->setParameterValue (0, 0.0f);

        const auto next = reportsIn (folder.get()).getLast();
        EXPECT_EQ (maximum (next, "MaxMomentary", "unit"), "LKFS") << standard;
        EXPECT_EQ (maximum (next, "MaxShortTerm", "unit"), "LKFS") << standard;
        EXPECT_EQ (maximum (next, "IntegratedLoudness", "unit"), "LKFS") << standard;
    }
}

TEST (MeasurementLog, SilenceRecordsNoMaximaAndAMeasuredSineItsLoudness)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());

    // Silence through the real module: every value is -70, none is a maximum.
    startLog (*processor);
    measureSine (*processor, 0, 0.0f, 4.0);
    processor->setParameterValue (0, 0.0f);

    const auto silent = reportsIn (folder.get())[0];
    const auto silentLines = csvLinesOf (silent);
    ASSERT_GT (silentLines.size(), 2);

    for (int i = 1; i < silentLines.size(); ++i)
        EXPECT_TRUE (silentLines[i].contains (", -70.0, ")) << silentLines[i];

    for (auto* element : { "MaxMomentary", "MaxShortTerm", "MaxTruePeak" })
        for (auto* attribute : { "value", "unit", "maxTime" })
            EXPECT_EQ (maximum (silent, element, attribute), "") << element << " " << attribute;

    // A 997 Hz sine on L at -20 dBFS peak: mean square 0.005; the -0.691 of
    // the loudness formula cancels the K-filter's gain near 1 kHz.
    clock.advance (juce::RelativeTime::minutes (1));
    processor->resetMeasurement();
    startLog (*processor);
    measureSine (*processor, 0, 0.1f, 6.0);
    processor->setParameterValue (0, 0.0f);

    const auto sine = reportsIn (folder.get()).getLast();
    const float expected = 10.0f * std::log10 (0.005f);
    float loudestLogged = -70.0f;

    for (const auto& line : csvLinesOf (sine))
        if (line.startsWith ("MomentaryLoudness"))
            loudestLogged =
                juce::jmax (loudestLogged, line.fromFirstOccurrenceOf (", ", false, false).getFloatValue());

    EXPECT_NEAR (loudestLogged, expected, 0.3f);
    EXPECT_EQ (maximum (sine, "MaxMomentary", "value"), juce::String ((double) loudestLogged, 1));
    EXPECT_NEAR (maximum (sine, "MaxShortTerm", "value").getFloatValue(), expected, 0.3f);
    EXPECT_NEAR (maximum (sine, "MaxTruePeak", "value").getFloatValue(), -20.0f, 0.2f);
}

TEST (MeasurementLog, EmptyFolderOrNameFallsBackToItsDefault)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());

    // The tests run with a home of their own, so the default folder is theirs too.
    const juce::File defaultFolder (OvrajuceLoudnessAudioProcessor::getDefaultLogFilePath());
    ASSERT_EQ (defaultFolder, juce::File ("~/.config/Tamvo/ZELX"));
    ASSERT_TRUE (defaultFolder.isAChildOf (juce::File::getSpecialLocation (juce::File::tempDirectory)));

    const auto stamp = juce::String ("_6_Dec_2026_9_5_7.xml");
    const struct
    {
        const char* path;
        const char* name;
        juce::File expected;
    } cases[] = {
        { "", "", defaultFolder.getChildFile ("ZELX51Log" + stamp) },
        { "", "Studio", defaultFolder.getChildFile ("Studio" + stamp) },
        { "<folder>", "", folder.getChildFile ("ZELX51Log" + stamp) },
    };

    for (const auto& c : cases)
    {
        processor->settings.logFilePath =
            juce::String (c.path).replace ("<folder>", folder.get().getFullPathName());
        processor->settings.logFileName = c.name;
        EXPECT_EQ (processor->buildLogFilePath(), c.expected);
        EXPECT_EQ (startLog (*processor), c.expected.getFullPathName());
        processor->setParameterValue (0, 0.0f);
        EXPECT_TRUE (c.expected.existsAsFile()) << c.expected.getFullPathName();
        c.expected.deleteFile();
    }

    // The settings keep their empty texts: only the file name falls back.
    EXPECT_EQ (processor->settings.logFileName, "");

    // A folder that cannot exist (it runs through a file) loses the files, not
    // the measurement; the failure is there to be told, already at the start,
    // and each new measurement's files fail anew.
    const auto blocker = folder.getChildFile ("blocker");
    ASSERT_TRUE (blocker.replaceWithText ("x"));
    processor->settings.logFilePath = blocker.getChildFile ("logs").getFullPathName();
    const auto& failures = processor->getLogWriteFailures();

    for (juce::uint32 number : { 1u, 2u })
    {
        const auto report = startLog (*processor);
        EXPECT_EQ (failures.getNumFailures(), number);
        EXPECT_TRUE (failures.getLatest().message.contains (report));
        publish (*processor, -23.0f, -23.0f);
        EXPECT_TRUE (processor->isMeasurementLogRunning());
        processor->setParameterValue (0, 0.0f);
        EXPECT_FALSE (failures.getLatest().isGoingOn);
    }

    EXPECT_EQ (folder.list(), "blocker");
}

TEST (MeasurementLog, ADayLongMeasurementRollsOverIntoFreshFiles)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());

    startLog (*processor);
    processor->loudnessModule.results.integratedLoudness = -19.0f;
    publish (*processor, -18.0f, -18.5f);
    measureSine (*processor, 0, 0.1f, 3.0);
    ASSERT_GT (totalCount (processor->loudnessModule.momentaryHistogram), 0.0f);
    const float programLoudness = processor->displaySnapshot.programLoudness.get();

    // Exactly one day is not past the day yet.
    clock.advance (juce::RelativeTime::days (1));
    publish (*processor, -40.0f, -40.0f);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (600);
    ASSERT_EQ (reportsIn (folder.get()).size(), 1);

    clock.advance (juce::RelativeTime::seconds (1));
    PrintedOutput::startCapture();
    publish (*processor, -40.0f, -40.0f);
    const bool rolledOver = dispatchUntil ([&] { return reportsIn (folder.get()).size() == 2; });
    const auto printed = PrintedOutput::captured();
    ASSERT_TRUE (rolledOver);

    const auto first = folder.getChildFile ("Hall_6_Dec_2026_9_5_7.xml");
    const auto second = folder.getChildFile ("Hall_7_Dec_2026_9_5_8.xml");
    EXPECT_EQ (printed, second.getFullPathName() + "\n");
    EXPECT_EQ (processor->settings.isMeasuring.get(), 1.0f);
    EXPECT_TRUE (processor->isMeasurementLogRunning());

    // The first log was closed with its own values.
    EXPECT_EQ (attributeOf (first, "MeasurementInterval", "StopTime", "value"), "7 Dec 2026 9:05:08");
    EXPECT_EQ (attributeOf (first, "MeasurementInterval", "UpTime", "value"), "1 day 1 sec");
    EXPECT_EQ (maximum (first, "MaxMomentary", "value"), "-18.0");
    EXPECT_EQ (maximum (first, "MaxShortTerm", "value"), "-18.5");
    EXPECT_EQ (maximum (first, "IntegratedLoudness", "value"), juce::String ((double) programLoudness, 1))
        << "the reset came after the stop";

    // The second starts afresh: maxima, histograms, display.
    EXPECT_EQ (attributeOf (second, "MeasurementInterval", "StartTime", "value"), "7 Dec 2026 9:05:08");
    EXPECT_EQ (processor->measurementLog.maxMomentaryLoudness.get(), -70.0f);
    EXPECT_EQ (processor->measurementLog.maxTruePeak.get(), -70.0f);
    EXPECT_EQ (totalCount (processor->loudnessModule.momentaryHistogram), 0.0f);
    EXPECT_EQ (totalCount (processor->loudnessModule.shortTermHistogram), 0.0f);
    EXPECT_EQ (processor->displaySnapshot.processedSamplesCounter.get(), 0.0);

    publish (*processor, -30.0f, -31.0f);
    processor->setParameterValue (0, 0.0f);
    EXPECT_EQ (maximum (second, "MaxMomentary", "value"), "-30.0");
    EXPECT_EQ (maximum (second, "MaxShortTerm", "value"), "-31.0");
    EXPECT_EQ (maximum (second, "MaxShortTerm", "maxTime"), "7 Dec 2026 9:05:08");
    EXPECT_EQ (csvLinesOf (second).size(), 3);
}

TEST (MeasurementLog, AResumedLogDatesTheTruePeakWhenItWasReached)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());

    // RESET, a louder tone, STOP, a quieter tone, PLAY: the integration
    // resumes, and so does the true peak, reached before the second log began.
    processor->resetMeasurement();
    startLog (*processor);
    measureSine (*processor, 0, TestSignals::dbToGain (-23.0f), 1.0);
    clock.advance (juce::RelativeTime::seconds (8));
    processor->setParameterValue (0, 0.0f);
    clock.advance (juce::RelativeTime::seconds (1));
    measureSine (*processor, 0, TestSignals::dbToGain (-33.0f), 1.0);
    clock.advance (juce::RelativeTime::seconds (1));
    measureToneInALog (*processor, -33.0f);

    const auto first = folder.getChildFile ("Hall_6_Dec_2026_9_5_7.xml");
    const auto resumed = folder.getChildFile ("Hall_6_Dec_2026_9_5_17.xml");

    EXPECT_NEAR (maximum (resumed, "MaxTruePeak", "value").getFloatValue(), -23.0f, 0.2f);
    EXPECT_EQ (maximum (resumed, "MaxTruePeak", "value"), maximum (first, "MaxTruePeak", "value"));
    EXPECT_EQ (maximum (resumed, "MaxTruePeak", "maxTime"), "6 Dec 2026 9:05:07");
    EXPECT_EQ (maximum (first, "MaxTruePeak", "maxTime"), "6 Dec 2026 9:05:07");

    // RESET starts afresh: the quieter tone is the peak now, reached after it.
    processor->resetMeasurement();
    clock.advance (juce::RelativeTime::seconds (5));
    measureToneInALog (*processor, -33.0f);

    const auto afresh = folder.getChildFile ("Hall_6_Dec_2026_9_5_22.xml");
    EXPECT_NEAR (maximum (afresh, "MaxTruePeak", "value").getFloatValue(), -33.0f, 0.2f);
    EXPECT_EQ (maximum (afresh, "MaxTruePeak", "maxTime"), "6 Dec 2026 9:05:22");
}

TEST (MeasurementLog, TheReportsTruePeakIsOfTheMeasuredAudioAlone)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());
    const auto burstWhileStopped = [&] (float level) {
        clock.advance (juce::RelativeTime::seconds (2));
        measureSine (*processor, 0, TestSignals::dbToGain (level), 0.2);
        measureSine (*processor, 0, 0.0f, 0.1);
        clock.advance (juce::RelativeTime::seconds (2));
    };

    // RESET, a burst while stopped, then PLAY on a quieter tone; STOP, a
    // louder burst in the pause, PLAY again on the same tone.
    processor->resetMeasurement();
    burstWhileStopped (-6.0f);
    measureToneInALog (*processor, -30.0f);
    burstWhileStopped (-3.0f);
    measureToneInALog (*processor, -30.0f);

    const auto first = folder.getChildFile ("Hall_6_Dec_2026_9_5_11.xml");
    const auto resumed = folder.getChildFile ("Hall_6_Dec_2026_9_5_15.xml");
    EXPECT_NEAR (maximum (first, "MaxTruePeak", "value").getFloatValue(), -30.0f, 0.2f);
    EXPECT_EQ (maximum (first, "MaxTruePeak", "maxTime"), "6 Dec 2026 9:05:11") << "within the report";
    EXPECT_EQ (maximum (resumed, "MaxTruePeak", "value"), maximum (first, "MaxTruePeak", "value"));
    EXPECT_EQ (maximum (resumed, "MaxTruePeak", "maxTime"), "6 Dec 2026 9:05:11") << "not in the pause";

    // The meter's own read-out holds every peak since RESET, stopped or not.
    EXPECT_NEAR (processor->displaySnapshot.truePeakValuesPerChannel[0].get(), -3.0f, 0.3f);
}

TEST (MeasurementLog, FeedingTheLogAllocatesNothing)
{
    if (! AllocationCounter::isAvailable())
        GTEST_SKIP() << "allocations are not counted under AddressSanitizer";

    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makeLoggingProcessor (clock, folder.get());
    startLog (*processor);

    juce::AudioBuffer<float> block (6, blockSize);
    juce::MidiBuffer midi;
    int allocations = 0;

    for (int round = 0; round < 100; ++round)
    {
        // Rising values make every block a new maximum of each kind; the last
        // rounds are a day later, so the roll-over is found due as well.
        block.clear();
        TestSignals::writeSine (block, round % 6, 997.0, sampleRate, 0.005f * (float) (round + 1));
        processor->loudnessModule.results.momentaryLoudness = -60.0f + (float) round * 0.5f;
        processor->loudnessModule.results.shortTermLoudness = -61.0f + (float) round * 0.5f;
        processor->loudnessModule.momentaryUpdated = true;
        processor->loudnessModule.shortTermUpdated = true;
        processor->settings.measurementStandard = (float) (round % 2);

        if (round == 90)
            clock.advance (juce::RelativeTime::days (2));

        AllocationCounter counter;
        processor->processBlock (block, midi);
        allocations += counter.getCount();
    }

    EXPECT_EQ (allocations, 0);
    EXPECT_EQ (processor->measurementLog.maxMomentaryLoudness.get(), roundToOneDecimal (-60.0f + 99 * 0.5f));
    processor->setParameterValue (0, 0.0f);
}

TEST (MeasurementLog, StartAndStopWhileAudioRunsNeverTouchADeletedLogger)
{
    LogTestFiles::TemporaryFolder folder;
    ManualClock clock (morning());
    auto processor = makePreparedProcessor();
    processor->setMeasurementClock (clock);
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->settings.logFilePath = folder.get().getFullPathName();

    // The loudness thread runs, so new values come as they would from a device.
    processor->prepareToPlay (sampleRate, blockSize);

    std::atomic<bool> running { true };
    std::atomic<int> blocks { 0 };
    std::thread audio ([&] {
        juce::AudioBuffer<float> block (6, blockSize);
        juce::MidiBuffer midi;
        TestSignals::PinkNoise noise;

        for (int64_t start = 0; running; start += blockSize)
        {
            for (int c = 0; c < 6; ++c)
                for (int i = 0; i < blockSize; ++i)
                    block.setSample (c, i, noise.next (0.3f));

            processor->processBlock (block, midi);
            ++blocks;
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
    });

    juce::Random random (7);
    int starts = 0;

    PrintedOutput::startCapture();

    for (int round = 0; round < 40; ++round)
    {
        // Start (replacing a running log now and then), stop, or roll over.
        clock.advance (juce::RelativeTime::seconds (1));
        const int action = random.nextInt (4);

        if (action == 3 && processor->isMeasurementLogRunning())
        {
            clock.advance (juce::RelativeTime::days (1));
            const auto before = reportsIn (folder.get()).size();
            EXPECT_TRUE (dispatchUntil ([&] { return reportsIn (folder.get()).size() > before; }));
            ++starts;
        }
        else if (action <= 1)
        {
            processor->setParameterValue (0, 1.0f);
            ++starts;
        }
        else
        {
            processor->setParameterValue (0, 0.0f);
        }

        const int target = blocks + random.nextInt (20);

        while (blocks < target)
            std::this_thread::yield();
    }

    processor->setParameterValue (0, 0.0f);
    PrintedOutput::captured();
    running = false;
    audio.join();
    processor->releaseResources();

    // Every log is whole: a report that parses, CSV lines that are complete.
    const auto reports = reportsIn (folder.get());
    EXPECT_EQ (reports.size(), starts);
    const std::regex eventLine ("(MomentaryLoudness|ShortTermLoudness), -?[0-9]+\\.[0-9], "
                                "[0-9]{1,2} [A-Z][a-z]{2} [0-9]{4}, [0-9]{1,2}:[0-9]{2}:[0-9]{2}");
    int numLines = 0;

    for (const auto& report : reports)
    {
        EXPECT_NE (juce::XmlDocument::parse (report), nullptr) << report.getFileName();
        const auto csv = report.withFileExtension (".csv");

        if (! csv.existsAsFile())
            continue;

        const auto lines = LogTestFiles::readCrLfLines (csv);
        EXPECT_EQ (lines[0], "Type, Value, Date, Time");

        for (int i = 1; i < lines.size(); ++i, ++numLines)
            ASSERT_TRUE (std::regex_match (lines[i].toStdString(), eventLine)) << lines[i];
    }

    EXPECT_GT (numLines, 0) << "the audio thread never reached a logger";
}
