#include "OVRATextCSVLogger.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>

using LogTestFiles::readBytes;
using LogTestFiles::readCrLfLines;
using LogTestFiles::TemporaryFolder;

namespace
{
// Local times, so the texts do not depend on the machine's time zone.
juce::Time localTime (int year, int month, int day, int hours, int minutes, int seconds)
{
    return juce::Time (year, month - 1, day, hours, minutes, seconds, 0, true);
}

LogEvent momentary (float value, juce::Time time = localTime (2026, 12, 6, 14, 30, 0))
{
    return { LogEvent::momentaryLoudness, value, time };
}

juce::String momentaryLine (int negativeWholeValue)
{
    return "MomentaryLoudness, -" + juce::String (negativeWholeValue) + ".0, 6 Dec 2026, 14:30:00";
}

/** Pushes events valued -first, -(first + 1), ... so their order shows in the log. */
void pushNumbered (OVRATextCSVLogger& logger, int first, int count)
{
    for (int i = first; i < first + count; ++i)
        ASSERT_EQ (logger.pushEvent (momentary (-(float)i)), 1) << "event " << i;
}

void expectNumberedLines (const juce::StringArray& lines, int firstLine, int firstValue, int count)
{
    ASSERT_GE (lines.size(), firstLine + count);

    for (int i = 0; i < count; ++i)
        ASSERT_EQ (lines[firstLine + i], momentaryLine (firstValue + i)) << "line " << firstLine + i;
}

const juce::String header = "Type, Value, Date, Time";
} // namespace

//==============================================================================
TEST (CSVLog, WritesTheHeaderOnceThenOneCrLfLinePerEventInTheLogFormat)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("missing/parents/ZELX51Log.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);

    logger.pushEvent (momentary (-23.4f));
    logger.pushEvent ({ LogEvent::shortTermLoudness, -7.0f, localTime (2026, 12, 6, 9, 5, 3) });
    logger.pushEvent ({ LogEvent::truePeak, -70.0f, localTime (2027, 1, 1, 0, 0, 0) });
    logger.pushEvent ({ 9u, 0.0f, localTime (2026, 2, 28, 23, 59, 59) });
    logger.pushEvent (momentary (5.0f));

    EXPECT_EQ (logger.writePendingEvents(), 0) << "a pass with events asks to be called again at once";
    EXPECT_EQ (readBytes (file), "Type, Value, Date, Time\r\n"
                                 "MomentaryLoudness, -23.4, 6 Dec 2026, 14:30:00\r\n"
                                 "ShortTermLoudness, -7.0, 6 Dec 2026, 9:05:03\r\n"
                                 "TruePeak, -70.0, 1 Jan 2027, 0:00:00\r\n"
                                 "ShortTermLoudness, 0.0, 28 Feb 2026, 23:59:59\r\n"
                                 "MomentaryLoudness, 5.0, 6 Dec 2026, 14:30:00\r\n");

    // Later passes append; the file exists, so no second header.
    logger.pushEvent (momentary (-12.0f));
    EXPECT_EQ (logger.writePendingEvents(), 0);
    EXPECT_EQ (logger.writePendingEvents(), OVRATextCSVLogger::idleIntervalMs);

    const auto lines = readCrLfLines (file);
    ASSERT_EQ (lines.size(), 7);
    EXPECT_EQ (lines[6], momentaryLine (12));
    EXPECT_EQ (lines[0], header);
    EXPECT_EQ (lines.indexOf (header, false, 1), -1) << "a second header";

    // A log that already exists when the first pass comes gets no header at all.
    const auto existing = folder.getChildFile ("existing.csv");
    ASSERT_TRUE (existing.replaceWithText ("kept\r\n", false, false, "\r\n"));
    OVRATextCSVLogger second (nullptr);
    second.setLogFile (existing);
    second.pushEvent (momentary (-1.0f));
    second.writePendingEvents();
    EXPECT_EQ (readBytes (existing), "kept\r\n" + momentaryLine (1) + "\r\n");
}

TEST (CSVLog, AMeasurementWithoutEventsLeavesNoFile)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("quiet.csv");

    {
        OVRATextCSVLogger logger (nullptr);
        logger.setLogFile (file);
        EXPECT_EQ (logger.writePendingEvents(), OVRATextCSVLogger::idleIntervalMs);
    }

    EXPECT_FALSE (file.exists());
}

TEST (CSVLog, DestroyingTheLoggerWritesEveryQueuedEventInOrder)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("log.csv");

    {
        OVRATextCSVLogger logger (nullptr);
        logger.setLogFile (file);
        pushNumbered (logger, 0, OVRATextCSVLogger::eventCapacity - 1);
    }

    const auto lines = readCrLfLines (file);
    ASSERT_EQ (lines.size(), OVRATextCSVLogger::eventCapacity);
    EXPECT_EQ (lines[0], header);
    expectNumberedLines (lines, 1, 0, OVRATextCSVLogger::eventCapacity - 1);
}

//==============================================================================
TEST (CSVQueue, Holds1023EventsAndDropsTheNextUntilAPassMakesRoom)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("log.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);

    pushNumbered (logger, 0, 1023);
    EXPECT_EQ (logger.getNumQueuedEvents(), 1023);
    EXPECT_EQ (logger.pushEvent (momentary (-5000.0f)), 0) << "the 1024th event must be dropped";
    EXPECT_EQ (logger.getNumQueuedEvents(), 1023);

    logger.writePendingEvents();
    EXPECT_EQ (logger.getNumQueuedEvents(), 1023 - 256);
    pushNumbered (logger, 1023, 1);

    while (logger.writePendingEvents() == 0)
    {
    }

    const auto lines = readCrLfLines (file);
    ASSERT_EQ (lines.size(), 1 + 1024);
    expectNumberedLines (lines, 1, 0, 1024);
    EXPECT_FALSE (lines.contains (momentaryLine (5000))) << "the dropped event reached the log";
}

TEST (CSVQueue, Writes600EventsInThreePassesOf256_256And88)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("log.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);
    pushNumbered (logger, 0, 600);

    for (int expectedEventLines : { 256, 512, 600 })
    {
        EXPECT_EQ (logger.writePendingEvents(), 0);
        const auto lines = readCrLfLines (file);
        ASSERT_EQ (lines.size(), 1 + expectedEventLines);
        expectNumberedLines (lines, 1, 0, expectedEventLines);
    }

    EXPECT_EQ (logger.getNumQueuedEvents(), 0);
    EXPECT_EQ (logger.writePendingEvents(), OVRATextCSVLogger::idleIntervalMs);
}

TEST (CSVQueue, EventsStraddlingTheEndOfTheSlotsComeOutInQueueOrder)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("log.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);

    // Move the queue's positions close to the end of the slot array.
    pushNumbered (logger, 0, 1000);

    while (logger.writePendingEvents() == 0)
    {
    }

    ASSERT_TRUE (file.deleteFile());

    // 24 slots remain before the end; the rest wraps to the start.
    pushNumbered (logger, 2000, 100);
    EXPECT_EQ (logger.writePendingEvents(), 0);
    EXPECT_EQ (logger.getNumQueuedEvents(), 0) << "both blocks belong to one pass";

    const auto lines = readCrLfLines (file);
    ASSERT_EQ (lines.size(), 1 + 100);
    EXPECT_EQ (lines[0], header);
    expectNumberedLines (lines, 1, 2000, 100);
}

//==============================================================================
TEST (CSVLog, ALogDeletedDuringTheMeasurementComesBackWithItsHeader)
{
    TemporaryFolder folder;
    const auto file = folder.getChildFile ("log.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);

    pushNumbered (logger, 1, 2);
    logger.writePendingEvents();
    ASSERT_TRUE (file.deleteFile());

    pushNumbered (logger, 3, 1);
    logger.writePendingEvents();

    EXPECT_EQ (readBytes (file), header + "\r\n" + momentaryLine (3) + "\r\n");
}

TEST (CSVLog, AnUnwritableFolderLosesOnlyThatPassAndIsRetried)
{
    TemporaryFolder folder;
    LogTestFiles::CapturingLogger debugLog;

    // A path through a plain file can never be created.
    const auto blocker = folder.getChildFile ("blocker");
    ASSERT_TRUE (blocker.replaceWithText ("not a folder"));
    const auto file = blocker.getChildFile ("logs/log.csv");

    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);

    for (int pass = 0; pass < 2; ++pass)
    {
        pushNumbered (logger, 10 * pass, 3);
        EXPECT_EQ (logger.writePendingEvents(), 0);
        EXPECT_EQ (logger.getNumQueuedEvents(), 0) << "a failed pass still releases its events";
    }

    EXPECT_FALSE (file.exists());
    const auto failures = debugLog.getMessages();
    ASSERT_EQ (failures.size(), 1) << "a lasting failure is noted once, not on every pass";
    EXPECT_TRUE (failures[0].contains (file.getFullPathName()));

    ASSERT_TRUE (blocker.deleteFile());
    pushNumbered (logger, 100, 2);
    logger.writePendingEvents();

    const auto lines = readCrLfLines (file);
    ASSERT_EQ (lines.size(), 3);
    EXPECT_EQ (lines[0], header);
    expectNumberedLines (lines, 1, 100, 2);
    EXPECT_EQ (debugLog.getMessages().size(), 2) << "the recovery is noted too";

    // Without a file name there is nowhere to write: the events go all the same.
    OVRATextCSVLogger unnamed (nullptr);
    pushNumbered (unnamed, 0, 5);
    unnamed.writePendingEvents();
    EXPECT_EQ (unnamed.getNumQueuedEvents(), 0);
}
