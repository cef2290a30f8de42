#include "OVRATextCSVLogger.h"
#include "CapturingLogger.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

using LogTestFiles::readBytes;
using LogTestFiles::readCrLfLines;

namespace
{
const juce::String header = "Type, Value, Date, Time";

// Local times, so the texts do not depend on the machine's time zone.
juce::Time localTime (int year, int month, int day, int hours, int minutes, int seconds)
{
    return juce::Time (year, month - 1, day, hours, minutes, seconds, 0, true);
}

/** Pushes events valued -first, -(first + 1), ... so their order shows in the log. */
int pushNumbered (OVRATextCSVLogger& logger, int first, int count)
{
    int queued = 0;

    for (int i = first; i < first + count; ++i)
        queued += logger.pushEvent (
            { LogEvent::momentaryLoudness, -(float) i, localTime (2026, 12, 6, 14, 30, 0) });

    return queued;
}

juce::String numberedLine (int value)
{
    return "MomentaryLoudness, -" + juce::String (value) + ".0, 6 Dec 2026, 14:30:00";
}

void expectNumberedLines (const juce::StringArray& lines, int firstLine, int firstValue, int count)
{
    ASSERT_EQ (lines.size(), firstLine + count);

    for (int i = 0; i < count; ++i)
        ASSERT_EQ (lines[firstLine + i], numberedLine (firstValue + i));
}

/** This process's descriptors that are open on the file now at the path. */
int descriptorsOpenOn (const juce::File& file)
{
    int count = 0;

    for (const auto& entry : std::filesystem::directory_iterator ("/proc/self/fd"))
    {
        std::error_code error;
        count += std::filesystem::read_symlink (entry.path(), error) == file.getFullPathName().toStdString();
    }

    return count;
}

} // namespace

//==============================================================================
TEST (CSVLog, WritesTheHeaderWhenTheFileIsMissingThenOneCrLfLinePerEvent)
{
    LogTestFiles::TemporaryFolder folder;
    const auto file = folder.getChildFile ("missing/parents/ZELX51Log.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);

    EXPECT_EQ (logger.writePendingEvents(), OVRATextCSVLogger::idleIntervalMs);
    EXPECT_FALSE (file.exists()) << "no events, no file";

    logger.pushEvent ({ LogEvent::momentaryLoudness, -23.4f, localTime (2026, 12, 6, 14, 30, 0) });
    logger.pushEvent ({ LogEvent::shortTermLoudness, -7.0f, localTime (2026, 12, 6, 9, 5, 3) });
    logger.pushEvent ({ LogEvent::truePeak, -70.0f, localTime (2027, 1, 1, 0, 0, 0) });
    logger.pushEvent ({ 9u, 0.0f, localTime (2026, 2, 28, 23, 59, 59) });
    EXPECT_EQ (logger.writePendingEvents(), 0) << "a pass with events asks to be called again at once";

    const juce::String expected = "Type, Value, Date, Time\r\n"
                                  "MomentaryLoudness, -23.4, 6 Dec 2026, 14:30:00\r\n"
                                  "ShortTermLoudness, -7.0, 6 Dec 2026, 9:05:03\r\n"
                                  "TruePeak, -70.0, 1 Jan 2027, 0:00:00\r\n"
                                  "ShortTermLoudness, 0.0, 28 Feb 2026, 23:59:59\r\n";
    EXPECT_EQ (readBytes (file), expected);

    // The file exists now: later passes append without a second header.
    pushNumbered (logger, 1, 1);
    logger.writePendingEvents();
    EXPECT_EQ (readCrLfLines (file).indexOf (header, false, 1), -1);

    // Deleted during the measurement, it comes back with its header.
    ASSERT_TRUE (file.deleteFile());
    pushNumbered (logger, 3, 1);
    logger.writePendingEvents();
    expectNumberedLines (readCrLfLines (file), 1, 3, 1);
    EXPECT_EQ (readCrLfLines (file)[0], header);
}

TEST (CSVQueue, Holds1023EventsDrainsThemInPassesOf256AndKeepsOrderAcrossTheWrap)
{
    LogTestFiles::TemporaryFolder folder;
    const auto file = folder.getChildFile ("log.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);

    ASSERT_EQ (pushNumbered (logger, 0, 600), 600);

    for (int expectedEventLines : { 256, 512, 600 })
    {
        EXPECT_EQ (logger.writePendingEvents(), 0);
        expectNumberedLines (readCrLfLines (file), 1, 0, expectedEventLines);
    }

    EXPECT_EQ (logger.writePendingEvents(), OVRATextCSVLogger::idleIntervalMs);
    ASSERT_TRUE (file.deleteFile());

    // From slot 600 a full queue runs past the end of the slots and on from the start.
    EXPECT_EQ (pushNumbered (logger, 1000, 1023), 1023);
    EXPECT_EQ (pushNumbered (logger, 5000, 1), 0) << "the 1024th waiting event must be dropped";

    while (logger.writePendingEvents() == 0)
    {
    }

    expectNumberedLines (readCrLfLines (file), 1, 1000, 1023);
}

TEST (CSVLog, AnUnwritableFolderLosesOnlyThatPassAndIsRetried)
{
    LogTestFiles::TemporaryFolder folder;

    // A path through a plain file can never be created.
    const auto blocker = folder.getChildFile ("blocker");
    ASSERT_TRUE (blocker.replaceWithText ("not a folder"));
    const auto file = blocker.getChildFile ("logs/log.csv");

    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (file);
    pushNumbered (logger, 0, 3);
    EXPECT_EQ (logger.writePendingEvents(), 0);
    EXPECT_EQ (logger.getNumQueuedEvents(), 0) << "a failed pass still releases its events";

    ASSERT_TRUE (blocker.deleteFile());
    pushNumbered (logger, 100, 2);
    logger.writePendingEvents();
    expectNumberedLines (readCrLfLines (file), 1, 100, 2);
}

TEST (CSVLog, AFullDiskLosesWholeLinesOnlyNamesTheFirstAndLaterLinesFollowWhole)
{
    LogTestFiles::onSmallDisk ([] (const juce::File& disk) {
        const auto file = disk.getChildFile ("log.csv");
        const auto filler = disk.getChildFile ("filler");
        CapturingLogger messages;
        LogWriteFailures failures;
        OVRATextCSVLogger logger (nullptr, &failures);
        logger.setLogFile (file);

        // The filler takes every free page; only the rest of the log's last page stays.
        pushNumbered (logger, 0, 100);
        logger.writePendingEvents();
        LogTestFiles::fillDisk (filler);

        // This pass runs out of room inside a line.
        pushNumbered (logger, 100, 200);
        logger.writePendingEvents();
        auto lines = readCrLfLines (file);
        const int whole = lines.size() - 1;
        ASSERT_GT (whole, 100);
        ASSERT_LT (whole, 300);
        expectNumberedLines (lines, 1, 0, whole);
        const auto failure = "Measurement log could not be written: " + file.getFullPathName()
                             + "; first line lost: " + numberedLine (whole);
        EXPECT_EQ (messages.lines.joinIntoString ("\n"), failure);
        EXPECT_TRUE (failures.getLatest().message.endsWith (std::strerror (ENOSPC)))
            << "a write that takes only part of a line still learns why";

        // Still full: the whole pass is lost, and not reported again.
        const auto size = file.getSize();
        pushNumbered (logger, 1000, 5);
        logger.writePendingEvents();
        EXPECT_EQ (file.getSize(), size);

        ASSERT_TRUE (filler.deleteFile());
        pushNumbered (logger, 2000, 2);
        logger.writePendingEvents();
        lines = readCrLfLines (file);
        EXPECT_EQ (lines.joinIntoString ("\n", whole + 1), numberedLine (2000) + "\n" + numberedLine (2001));
        lines.removeRange (whole + 1, 2);
        expectNumberedLines (lines, 1, 0, whole);
        EXPECT_EQ (messages.lines.joinIntoString ("\n"),
                   failure + "\nMeasurement log is written again: " + file.getFullPathName());
    });
}

// The log stays open from pass to pass, yet a log removed, left without its
// folder or replaced by another file is found at its path again rather than
// written where nobody looks; the logger closes it when it goes.
TEST (CSVLog, KeepsTheLogOpenButFollowsItsPathAndClosesItAtTheEnd)
{
    struct Case
    {
        const char* what;
        std::function<void (const juce::File&)> change;
        juce::String keptBefore;
    };

    const Case cases[] = {
        { "removed", [] (const juce::File& log) { log.deleteFile(); }, header + "\r\n" },
        { "folder removed", [] (const juce::File& log) { log.getParentDirectory().deleteRecursively(); },
          header + "\r\n" },
        { "replaced",
          [] (const juce::File& log) {
              const auto other = log.getSiblingFile ("other.csv");
              ASSERT_TRUE (other.replaceWithText ("kept\r\n"));
              ASSERT_TRUE (other.replaceFileIn (log));
          },
          "kept\r\n" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        LogTestFiles::TemporaryFolder folder;
        const auto file = folder.getChildFile ("logs/log.csv");

        {
            OVRATextCSVLogger logger (nullptr);
            logger.setLogFile (file);
            pushNumbered (logger, 0, 1);
            logger.writePendingEvents();
            EXPECT_EQ (descriptorsOpenOn (file), 1);

            c.change (file);
            pushNumbered (logger, 1, 2);
            logger.writePendingEvents();
            EXPECT_EQ (readBytes (file),
                       c.keptBefore + numberedLine (1) + "\r\n" + numberedLine (2) + "\r\n");
            EXPECT_EQ (descriptorsOpenOn (file), 1);
        }

        EXPECT_EQ (descriptorsOpenOn (file), 0);
    }
}
