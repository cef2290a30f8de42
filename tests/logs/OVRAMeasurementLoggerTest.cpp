#include "OVRAMeasurementLogger.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>

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
            logger->csvLogger.pushEvent ({ (uint32_t)(i % 2), -(float)i, time });

        logger->setMaxTruePeak (-1.5f, "dBTP", time);
        logger->setIntegratedLoudness (-23.0f, "LUFS");
    }

    const auto lines = LogTestFiles::readCrLfLines (csv);
    ASSERT_EQ (lines.size(), 1 + numEvents);

    for (int i = 0; i < numEvents; ++i)
        ASSERT_TRUE (lines[1 + i].startsWith ((i % 2 == 0 ? "MomentaryLoudness, -" : "ShortTermLoudness, -") +
                                              juce::String (i) + ".0, "))
            << lines[1 + i];

    const auto text = LogTestFiles::readBytes (report);
    EXPECT_TRUE (
        text.contains ("<MaxTruePeak value=\"-1.5\" unit=\"dBTP\" maxTime=\"6 Dec 2026 14:30:00\"/>"));
    EXPECT_TRUE (text.contains ("<IntegratedLoudness value=\"-23.0\" unit=\"LUFS\"/>"));
}
