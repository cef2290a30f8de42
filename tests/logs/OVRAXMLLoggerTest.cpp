#include "OVRAXMLLogger.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using LogTestFiles::readBytes;
using Reading = OVRAXMLLogger::Reading;

namespace
{
juce::Time localTime (int year, int month, int day, int hours, int minutes, int seconds)
{
    return juce::Time (year, month - 1, day, hours, minutes, seconds, 0, true);
}

const juce::String emptySkeleton = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                   "\r\n"
                                   "<ZEL5.1Log>\r\n"
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

/** The skeleton with the given elements' empty attributes replaced by the given ones. */
juce::String skeletonWith (std::initializer_list<std::pair<const char*, const char*>> changes)
{
    auto text = emptySkeleton;

    for (auto [element, attributes] : changes)
    {
        const auto start = text.indexOf ("<" + juce::String (element) + " ") + (int) strlen (element) + 2;
        text = text.replaceSection (start, text.indexOf (start, "/>") - start, attributes);
    }

    return text;
}
} // namespace

//==============================================================================
TEST (XMLReport, StartPutsTheEmptySkeletonOnDiskAtOnce)
{
    LogTestFiles::TemporaryFolder folder;
    const auto file = folder.getChildFile ("reports/ZELX51Log_6_Dec_2026_9_5_7.xml");
    OVRAXMLLogger logger (nullptr);

    logger.writeReport();
    EXPECT_EQ (folder.list(), "") << "nothing is written before the start";

    logger.startReport (file);
    EXPECT_EQ (readBytes (file), emptySkeleton);
    EXPECT_EQ (folder.list(), "reports/ZELX51Log_6_Dec_2026_9_5_7.xml") << "no temporary file stays behind";
}

TEST (XMLReport, TheLastWriteCarriesReadingsAndAttributesInTheirElements)
{
    LogTestFiles::TemporaryFolder folder;
    const auto file = folder.getChildFile ("report.xml");
    const auto morning = localTime (2026, 12, 6, 9, 5, 3);
    const auto afternoon = localTime (2026, 12, 6, 14, 30, 0);

    {
        OVRAXMLLogger logger (nullptr);
        logger.setReading (Reading::maxTruePeak, -5.0f, "dBTP", morning); // no report yet: dropped
        logger.startReport (file);

        logger.setReading (Reading::maxShortTerm, -30.0f, "LUFS", morning);
        logger.setReading (Reading::maxShortTerm, -18.5f, "LUFS", afternoon); // the later one counts
        logger.setReading (Reading::maxMomentary, -14.1f, "LKFS", morning);
        logger.setReading (Reading::integratedLoudness, -23.0f, "LKFS");

        logger.setElementAttribute ({}, "UserSelectedTitle", "value", "ZEL51Log");
        logger.setElementAttribute ("MeasurementInterval", "UpTime", "value", "0");
        logger.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "value", "7.5");
        logger.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "unit", "LU");
        logger.setElementAttribute ("MeasurementInterval", "NoSuchElement", "value", "x");
        logger.setElementAttribute ("NoSuchParent", "StartTime", "value", "x");
        logger.setElementAttribute ({}, "StartTime", "value", "x");
    }

    // The true-peak maximum stays empty, as after a silent measurement, and the
    // optional history element is never written.
    EXPECT_EQ (readBytes (file),
               skeletonWith (
                   { { "UserSelectedTitle", "value=\"ZEL51Log\"" },
                     { "UpTime", "value=\"0\"" },
                     { "IntegratedLoudness", "value=\"-23.0\" unit=\"LKFS\"" },
                     { "LoudnessRange", "value=\"7.5\" unit=\"LU\"" },
                     { "MaxShortTerm", "value=\"-18.5\" unit=\"LUFS\" maxTime=\"6 Dec 2026 14:30:00\"" },
                     { "MaxMomentary", "value=\"-14.1\" unit=\"LKFS\" maxTime=\"6 Dec 2026 9:05:03\"" } }));
}

TEST (XMLReport, AReportDeletedOrUnwritableIsWrittenWholeByTheNextWrite)
{
    LogTestFiles::TemporaryFolder folder;
    const auto blocker = folder.getChildFile ("blocker");
    ASSERT_TRUE (blocker.replaceWithText ("not a folder")); // a path through it cannot be created
    const auto file = blocker.getChildFile ("report.xml");

    OVRAXMLLogger logger (nullptr);
    logger.startReport (file);
    logger.setReading (Reading::maxTruePeak, -1.0f, "dBTP", localTime (2026, 12, 6, 9, 5, 3));
    logger.writeReport();
    EXPECT_FALSE (file.exists());

    const auto expected =
        skeletonWith ({ { "MaxTruePeak", "value=\"-1.0\" unit=\"dBTP\" maxTime=\"6 Dec 2026 9:05:03\"" } });
    ASSERT_TRUE (blocker.deleteFile());
    logger.writeReport();
    EXPECT_EQ (readBytes (file), expected) << "the reading given while failing is kept";

    ASSERT_TRUE (file.deleteFile());
    logger.writeReport();
    EXPECT_EQ (readBytes (file), expected);
    EXPECT_EQ (folder.list(), "blocker/report.xml");
}

TEST (XMLReport, ReadingsFromTheAudioThreadReachTheFileWholeWhileItIsRewritten)
{
    LogTestFiles::TemporaryFolder folder;
    const auto file = folder.getChildFile ("report.xml");
    const auto start = localTime (2026, 12, 6, 0, 0, 0);
    OVRAXMLLogger logger (nullptr);
    logger.startReport (file);

    // Unit and time follow from the value, so a torn hand-over shows as a mismatch.
    auto unitFor = [] (int i) { return i % 2 == 0 ? "LUFS" : "LKFS"; };
    std::atomic<bool> stop { false };
    int lastWritten = 0;

    std::thread audio ([&] {
        for (int i = 1; ! stop.load() && i < (1 << 23); ++i) // floats stay exact
        {
            logger.setReading (Reading::maxMomentary, (float) i, unitFor (i),
                               start + juce::RelativeTime::seconds (i));
            lastWritten = i;
        }
    });

    int lastSeen = 0;

    for (int rewrite = 0; rewrite <= 40; ++rewrite)
    {
        if (rewrite == 40)
        {
            stop = true;
            audio.join();
        }

        logger.writeReport();
        auto report = juce::XmlDocument::parse (file);
        ASSERT_NE (report, nullptr);
        auto* momentary = report->getChildByName ("IntegratedMeasurements")->getChildByName ("MaxMomentary");
        const int value = momentary->getStringAttribute ("value").getIntValue();

        if (value == 0)
            continue;

        ASSERT_GE (value, lastSeen) << "an older reading replaced a newer one";
        EXPECT_EQ (momentary->getStringAttribute ("unit"), unitFor (value));
        EXPECT_EQ (momentary->getStringAttribute ("maxTime"),
                   (start + juce::RelativeTime::seconds (value)).toString (true, true, true, true));
        lastSeen = value;
    }

    EXPECT_EQ (lastSeen, lastWritten) << "the last reading must reach the file";
}

TEST (XMLReport, AnOverlongUnitIsCutAtAWholeCharacter)
{
    LogTestFiles::TemporaryFolder folder;
    const auto file = folder.getChildFile ("report.xml");
    const auto morning = localTime (2026, 12, 6, 9, 5, 3);

    {
        OVRAXMLLogger logger (nullptr);
        logger.startReport (file);

        // 14 ASCII bytes, then a three-byte character that would not leave room for the terminator.
        const auto longUnit =
            juce::String ("LUFSLUFSLUFSLU") + juce::String::charToString ((juce::juce_wchar) 0x20ac) + "x";
        logger.setReading (Reading::maxShortTerm, -20.0f, longUnit, morning);

        // Fifteen bytes fit exactly.
        logger.setReading (Reading::maxMomentary, -21.0f, "LUFSLUFSLUFSLUF", morning);
    }

    EXPECT_EQ (
        readBytes (file),
        skeletonWith (
            { { "MaxShortTerm", "value=\"-20.0\" unit=\"LUFSLUFSLUFSLU\" maxTime=\"6 Dec 2026 9:05:03\"" },
              { "MaxMomentary",
                "value=\"-21.0\" unit=\"LUFSLUFSLUFSLUF\" maxTime=\"6 Dec 2026 9:05:03\"" } }));
}

TEST (XMLReport, AWriteCutShortByAFullDiskLeavesThePreviousReport)
{
    LogTestFiles::onSmallDisk ([] (const juce::File& disk) {
        const auto file = disk.getChildFile ("report.xml");
        const auto filler = disk.getChildFile ("filler");
        OVRAXMLLogger logger (nullptr);
        logger.startReport (file);

        // Longer than the one page left, so the disk takes part of the write.
        const auto title = juce::String::repeatedString ("ZEL51Log", 500);
        logger.setElementAttribute ({}, "UserSelectedTitle", "value", title);
        LogTestFiles::fillDisk (filler, 4096);
        logger.writeReport();
        EXPECT_EQ (readBytes (file), emptySkeleton);

        ASSERT_TRUE (filler.deleteFile());
        logger.writeReport();
        const auto titled = "value=\"" + title + "\"";
        EXPECT_EQ (readBytes (file), skeletonWith ({ { "UserSelectedTitle", titled.toRawUTF8() } }));
    });
}
