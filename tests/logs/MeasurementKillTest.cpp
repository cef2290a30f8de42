#include "LogTestFiles.h"

#include <gtest/gtest.h>

TEST (MeasurementLoggerKill, AWriterKilledMidMeasurementLeavesAWholeReportAndWholeLines)
{
    // A few rounds, each killed at a different point of its writing.
    for (int round = 0; round < 4; ++round)
    {
        SCOPED_TRACE ("round " + std::to_string (round));
        LogTestFiles::TemporaryFolder folder;
        ASSERT_TRUE (LogTestFiles::killWhenRunning (
            { LOG_WRITER_CHILD_PATH, folder.get().getFullPathName(), juce::String (500 + 2500 * round) }))
            << "the writer never got going";

        // A temporary file cut short may stay, but hidden, so no list of reports shows it.
        EXPECT_EQ (folder.list (false), "ZELX51Log_Killed.csv ZELX51Log_Killed.xml");
        LogTestFiles::expectWholeMeasurementFiles (folder.getChildFile ("ZELX51Log_Killed.xml"));
    }
}
