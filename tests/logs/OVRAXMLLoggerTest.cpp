#include "OVRAXMLLogger.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using LogTestFiles::readBytes;
using LogTestFiles::TemporaryFolder;
using Reading = OVRAXMLLogger::Reading;

namespace
{
juce::Time localTime (int year, int month, int day, int hours, int minutes, int seconds)
{
    return juce::Time (year, month - 1, day, hours, minutes, seconds, 0, true);
}

const juce::String declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n";

const juce::String emptySkeleton = declaration + "<ZEL5.1Log>\r\n"
                                                 "  <UserSelectedTitle value=\"\"/>\r\n"
                                                 "  <MeasurementInterval>\r\n"
                                                 "    <StartTime value=\"\"/>\r\n"
                                                 "    <StopTime value=\"\"/>\r\n"
                                                 "    <UpTime value=\"\"/>\r\n"
                                                 "  </MeasurementInterval>\r\n"
                                                 "  <IntegratedMeasurements>\r\n"
                                                 "    <IntegratedLoudness value=\"\" unit=\"\"/>\r\n"
                                                 "    <LoudnessRange value=\"\" unit=\"\"/>\r\n"
                                                 "    <MaxShortTerm value=\"\" unit=\"\" maxTime=\"\"/>\r\n"
                                                 "    <MaxMomentary value=\"\" unit=\"\" maxTime=\"\"/>\r\n"
                                                 "    <MaxTruePeak value=\"\" unit=\"\" maxTime=\"\"/>\r\n"
                                                 "  </IntegratedMeasurements>\r\n"
                                                 "</ZEL5.1Log>\r\n";

std::unique_ptr<juce::XmlElement> parseReport (const juce::File& file)
{
    auto xml = juce::XmlDocument::parse (file);
    EXPECT_NE (xml, nullptr) << "the report does not parse: " << file.getFullPathName();
    return xml;
}

const juce::XmlElement* findElement (const juce::XmlElement& root, const char* parent, const char* name)
{
    if (auto* p = root.getChildByName (parent))
        return p->getChildByName (name);

    return nullptr;
}
} // namespace

//==============================================================================
TEST (XMLReport, StartPutsTheEmptySkeletonOnDiskAtOnce)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("reports/ZELX51Log_6_Dec_2026_9_5_7.xml");
    OVRAXMLLogger logger (nullptr);

    logger.writeReport();
    EXPECT_TRUE (LogTestFiles::listFolder (folder.get()).isEmpty()) << "nothing is written before the start";

    logger.startReport (file);
    EXPECT_EQ (logger.getReportFile(), file);
    EXPECT_EQ (readBytes (file), emptySkeleton);

    // Rewriting an unchanged tree gives the same bytes, and no temporary file stays behind.
    logger.writeReport();
    EXPECT_EQ (readBytes (file), emptySkeleton);
    EXPECT_EQ (LogTestFiles::listFolder (file.getParentDirectory()), juce::StringArray (file.getFileName()));
}

TEST (XMLReport, ReadingsWriteValueUnitAndTimeInTheirElements)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("report.xml");
    const auto morning = localTime (2026, 12, 6, 9, 5, 3);
    const auto afternoon = localTime (2026, 12, 6, 14, 30, 0);

    OVRAXMLLogger logger (nullptr);
    logger.startReport (file);

    logger.setReading (Reading::maxShortTerm, -30.0f, "LUFS", morning);
    logger.setReading (Reading::maxShortTerm, -18.5f, "LUFS", afternoon); // the later one counts
    logger.setReading (Reading::maxMomentary, -14.1f, "LKFS", morning);
    logger.setReading (Reading::maxTruePeak, -0.4f, "dBTP", afternoon);
    logger.setReading (Reading::integratedLoudness, -23.0f, "LKFS");
    logger.writeReport();

    const auto text = readBytes (file);
    EXPECT_TRUE (text.contains (
        "\r\n    <MaxShortTerm value=\"-18.5\" unit=\"LUFS\" maxTime=\"6 Dec 2026 14:30:00\"/>\r\n"));
    EXPECT_TRUE (text.contains (
        "\r\n    <MaxMomentary value=\"-14.1\" unit=\"LKFS\" maxTime=\"6 Dec 2026 9:05:03\"/>\r\n"));
    EXPECT_TRUE (text.contains (
        "\r\n    <MaxTruePeak value=\"-0.4\" unit=\"dBTP\" maxTime=\"6 Dec 2026 14:30:00\"/>\r\n"));
    EXPECT_TRUE (text.contains ("\r\n    <IntegratedLoudness value=\"-23.0\" unit=\"LKFS\"/>\r\n"));

    // Readings stay until replaced; a later unit text is taken as given.
    logger.setReading (Reading::integratedLoudness, -23.0f, "LUFS");
    logger.setReading (Reading::maxMomentary, 3.0f, "LUFS", afternoon);
    logger.writeReport();

    const auto report = parseReport (file);
    ASSERT_NE (report, nullptr);
    auto* integrated = findElement (*report, "IntegratedMeasurements", "IntegratedLoudness");
    auto* momentary = findElement (*report, "IntegratedMeasurements", "MaxMomentary");
    auto* shortTerm = findElement (*report, "IntegratedMeasurements", "MaxShortTerm");
    ASSERT_TRUE (integrated != nullptr && momentary != nullptr && shortTerm != nullptr);
    EXPECT_EQ (integrated->getStringAttribute ("unit"), "LUFS");
    EXPECT_FALSE (integrated->hasAttribute ("maxTime"));
    EXPECT_EQ (momentary->getStringAttribute ("value"), "3.0");
    EXPECT_EQ (momentary->getStringAttribute ("maxTime"), "6 Dec 2026 14:30:00");
    EXPECT_EQ (shortTerm->getStringAttribute ("value"), "-18.5");
}

TEST (XMLReport, AttributeWritesFindTheirElementByNameAndSkipMissingOnes)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("report.xml");

    {
        OVRAXMLLogger logger (nullptr);
        logger.setElementAttribute ({}, "UserSelectedTitle", "value", "before the start");
        logger.setReading (Reading::maxMomentary, -5.0f, "LUFS", localTime (2026, 12, 6, 9, 0, 0));
        logger.startReport (file);

        logger.setElementAttribute ({}, "UserSelectedTitle", "value", "ZEL51Log");
        logger.setElementAttribute ("MeasurementInterval", "StartTime", "value", "6 Dec 2026 9:05:07");
        logger.setElementAttribute ("MeasurementInterval", "StopTime", "value", "6 Dec 2026 10:10:07");
        logger.setElementAttribute ("MeasurementInterval", "UpTime", "value", "1 hr 5 mins");
        logger.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "value", "7.5");
        logger.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "unit", "LU");
        logger.setElementAttribute ("MeasurementInterval", "NoSuchElement", "value", "x");
        logger.setElementAttribute ("NoSuchParent", "StartTime", "value", "x");
        logger.setElementAttribute ({}, "StartTime", "value", "x");
    }

    const auto expected = declaration + "<ZEL5.1Log>\r\n"
                                        "  <UserSelectedTitle value=\"ZEL51Log\"/>\r\n"
                                        "  <MeasurementInterval>\r\n"
                                        "    <StartTime value=\"6 Dec 2026 9:05:07\"/>\r\n"
                                        "    <StopTime value=\"6 Dec 2026 10:10:07\"/>\r\n"
                                        "    <UpTime value=\"1 hr 5 mins\"/>\r\n"
                                        "  </MeasurementInterval>\r\n"
                                        "  <IntegratedMeasurements>\r\n"
                                        "    <IntegratedLoudness value=\"\" unit=\"\"/>\r\n"
                                        "    <LoudnessRange value=\"7.5\" unit=\"LU\"/>\r\n"
                                        "    <MaxShortTerm value=\"\" unit=\"\" maxTime=\"\"/>\r\n"
                                        "    <MaxMomentary value=\"\" unit=\"\" maxTime=\"\"/>\r\n"
                                        "    <MaxTruePeak value=\"\" unit=\"\" maxTime=\"\"/>\r\n"
                                        "  </IntegratedMeasurements>\r\n"
                                        "</ZEL5.1Log>\r\n";

    // The destructor's last write carries the stop values. Nothing set before the start
    // survives it, silence left the maxima empty, and the optional history element is
    // never written.
    EXPECT_EQ (readBytes (file), expected);
}

//==============================================================================
TEST (XMLReport, AReportDeletedDuringTheMeasurementComesBackWhole)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("report.xml");
    OVRAXMLLogger logger (nullptr);
    logger.startReport (file);
    logger.setReading (Reading::maxTruePeak, -1.0f, "dBTP", localTime (2026, 12, 6, 9, 5, 3));
    logger.writeReport();
    const auto before = readBytes (file);

    ASSERT_TRUE (file.deleteFile());
    logger.writeReport();

    EXPECT_EQ (readBytes (file), before);
    EXPECT_TRUE (before.contains ("<MaxTruePeak value=\"-1.0\" unit=\"dBTP\""));
}

TEST (XMLReport, AnUnwritableFolderKeepsTheTreeAndIsRetried)
{
    TemporaryFolder folder;
    LogTestFiles::CapturingLogger debugLog;
    const auto blocker = folder.getChildFile ("blocker");
    ASSERT_TRUE (blocker.replaceWithText ("not a folder"));
    const auto file = blocker.getChildFile ("reports/report.xml");

    OVRAXMLLogger logger (nullptr);
    logger.startReport (file);
    logger.setReading (Reading::maxShortTerm, -20.0f, "LUFS", localTime (2026, 12, 6, 9, 5, 3));
    logger.writeReport();
    logger.writeReport();

    EXPECT_FALSE (file.exists());
    EXPECT_EQ (debugLog.getMessages().size(), 1) << "a lasting failure is noted once";

    ASSERT_TRUE (blocker.deleteFile());
    logger.writeReport();

    const auto report = parseReport (file);
    ASSERT_NE (report, nullptr);
    auto* shortTerm = findElement (*report, "IntegratedMeasurements", "MaxShortTerm");
    ASSERT_NE (shortTerm, nullptr);
    EXPECT_EQ (shortTerm->getStringAttribute ("value"), "-20.0") << "the reading given while failing is kept";
    EXPECT_EQ (LogTestFiles::listFolder (file.getParentDirectory()), juce::StringArray (file.getFileName()));
    EXPECT_EQ (debugLog.getMessages().size(), 2);
}

TEST (XMLReport, ReadingsFromTheAudioThreadReachTheFileWholeWhileItIsRewritten)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("report.xml");
    const auto start = localTime (2026, 12, 6, 0, 0, 0);
    constexpr int numRewrites = 40;

    OVRAXMLLogger logger (nullptr);
    logger.startReport (file);

    // Each reading's unit and time follow from its value, so a reading torn
    // between two hand-overs shows as a mismatch.
    auto expectedUnit = [] (int i) { return i % 2 == 0 ? "LUFS" : "LKFS"; };
    std::atomic<bool> stop{ false };
    int lastWritten = 0;

    std::thread audio (
        [&]
        {
            for (int i = 1; !stop.load() && i < (1 << 23); ++i) // floats stay exact
            {
                logger.setReading (Reading::maxMomentary, (float)i, expectedUnit (i),
                                   start + juce::RelativeTime::seconds (i));
                lastWritten = i;
            }
        });

    int lastSeen = 0;

    for (int rewrite = 0; rewrite <= numRewrites; ++rewrite)
    {
        if (rewrite == numRewrites)
        {
            stop = true;
            audio.join();
        }

        logger.writeReport();

        const auto report = parseReport (file);
        ASSERT_NE (report, nullptr);
        auto* momentary = findElement (*report, "IntegratedMeasurements", "MaxMomentary");
        ASSERT_NE (momentary, nullptr);

        if (momentary->getStringAttribute ("value").isEmpty())
            continue;

        const int value = momentary->getStringAttribute ("value").getIntValue();
        ASSERT_GE (value, lastSeen) << "an older reading replaced a newer one";
        EXPECT_EQ (momentary->getStringAttribute ("unit"), expectedUnit (value));
        EXPECT_EQ (momentary->getStringAttribute ("maxTime"),
                   (start + juce::RelativeTime::seconds (value)).toString (true, true, true, true));
        lastSeen = value;
    }

    EXPECT_EQ (lastSeen, lastWritten) << "the last reading must reach the file";
}
