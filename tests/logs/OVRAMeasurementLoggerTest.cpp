#include "OVRAMeasurementLogger.h"
#include "AllocationCounter.h"
#include "CapturingLogger.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

TEST (MeasurementLogger, DeletingItWritesEveryQueuedEventBesideTheFinalReport)
{
    LogTestFiles::TemporaryFolder folder;
    // Only the report's own extension changes, not a folder name that contains it.
    const auto report = folder.getChildFile ("old.xml.d/ZELX51Log_6_Dec_2026_9_5_7.xml");
    const auto csv = folder.getChildFile ("old.xml.d/ZELX51Log_6_Dec_2026_9_5_7.csv");
    const auto time = juce::Time (2026, 11, 6, 14, 30, 0, 0, true);
    constexpr int numEvents = 1023;

    {
        auto logger = std::make_unique<OVRAMeasurementLogger>();
        logger->startReport (report);
        EXPECT_EQ (logger->csvLogger.getLogFile(), csv);

        // The thread drains while the queue fills; whatever is left goes at deletion.
        for (int i = 0; i < numEvents; ++i)
            logger->csvLogger.pushEvent ({ (uint32_t) (i % 2), -(float) i, time });

        logger->setMaxTruePeak (-1.5f, "dBTP", time);
        logger->setIntegratedLoudness (-23.0f, "LUFS");
    }

    const auto lines = LogTestFiles::readCrLfLines (csv);
    ASSERT_EQ (lines.size(), 1 + numEvents);

    for (int i = 0; i < numEvents; ++i)
        ASSERT_TRUE (lines[1 + i].startsWith ((i % 2 == 0 ? "MomentaryLoudness, -" : "ShortTermLoudness, -")
                                              + juce::String (i) + ".0, "))
            << lines[1 + i];

    const auto text = LogTestFiles::readBytes (report);
    EXPECT_TRUE (
        text.contains ("<MaxTruePeak value=\"-1.5\" unit=\"dBTP\" maxTime=\"6 Dec 2026 14:30:00\"/>"));
    EXPECT_TRUE (text.contains ("<IntegratedLoudness value=\"-23.0\" unit=\"LUFS\"/>"));
}

// The report and the log of a folder that cannot be made fail as one
// failure, told with each file's name and the reason; it ends when both are
// written again, and a later one gets the next number. The debug log keeps
// its one line per change.
TEST (MeasurementLogger, WriteFailuresAreGatheredWithTheirReasons)
{
    LogTestFiles::TemporaryFolder folder;
    const auto blocker = folder.getChildFile ("blocker");
    const auto report = blocker.getChildFile ("logs/report.xml");
    const auto csv = OVRAMeasurementLogger::logFileFor (report);
    const auto blockFolder = [&] {
        blocker.deleteRecursively();
        ASSERT_TRUE (blocker.replaceWithText ("not a folder"));
    };
    const auto failed = [] (const char* what, const juce::File& file) {
        return juce::String (what) + " could not be written: " + file.getFullPathName()
               + "\nIts folder could not be created: " + juce::String (std::strerror (EEXIST));
    };
    const auto write = [] (OVRATextCSVLogger& log) {
        log.pushEvent ({ LogEvent::momentaryLoudness, -23.0f, juce::Time::getCurrentTime() });
        log.writePendingEvents();
    };

    CapturingLogger messages;
    LogWriteFailures failures;
    OVRAXMLLogger xml (nullptr, &failures);
    OVRATextCSVLogger log (nullptr, &failures);
    log.setLogFile (csv);

    blockFolder();
    xml.startReport (report);
    write (log);
    write (log);
    auto failure = failures.getLatest();
    EXPECT_EQ (failure.number, 1u);
    EXPECT_TRUE (failure.isGoingOn);
    EXPECT_EQ (failure.message,
               failed ("Measurement report", report) + "\n\n" + failed ("Measurement log", csv));

    ASSERT_TRUE (blocker.deleteFile());
    xml.writeReport();
    EXPECT_TRUE (failures.getLatest().isGoingOn) << "the log still fails";
    write (log);
    EXPECT_FALSE (failures.getLatest().isGoingOn);
    EXPECT_EQ (failures.getNumFailures(), 1u);

    blockFolder();
    xml.writeReport();
    failure = failures.getLatest();
    EXPECT_EQ (failure.number, 2u);
    EXPECT_EQ (failure.message, failed ("Measurement report", report));

    EXPECT_EQ (messages.count ("could not be written"), 3);
    EXPECT_EQ (messages.count ("is written again"), 2);
}

TEST (MeasurementLogger, AudioThreadCallsNeverAllocate)
{
    if (! AllocationCounter::isAvailable())
        GTEST_SKIP() << "allocations cannot be counted in this build";

    LogTestFiles::TemporaryFolder folder;
    OVRAMeasurementLogger logger;
    logger.startReport (folder.getChildFile ("report.xml"));
    const juce::String unit ("LKFS");
    const auto time = juce::Time::getCurrentTime();
    int queued = 0;

    AllocationCounter counter;

    // Enough to fill the queue, so the dropping path runs as well.
    for (int i = 0; i < 2 * OVRATextCSVLogger::eventCapacity; ++i)
    {
        queued += logger.csvLogger.pushEvent ({ LogEvent::momentaryLoudness, -(float) i, time });
        logger.setMaxMomentary ((float) i, unit, time);
        logger.setMaxShortTerm ((float) i, "LUFS", time);
        logger.setMaxTruePeak ((float) i, "dBTP", time);
        logger.setIntegratedLoudness ((float) i, unit);
    }

    EXPECT_EQ (counter.getCount(), 0);
    EXPECT_GT (queued, 0);
}
