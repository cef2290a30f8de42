#include "LogTestFiles.h"

#include <gtest/gtest.h>

TEST (MeasurementLogKill, AProcessorKilledMidMeasurementLeavesWholeFiles)
{
    // Killed at different points: early, and once the log has grown.
    for (int round = 0; round < 3; ++round)
    {
        SCOPED_TRACE ("round " + std::to_string (round));
        LogTestFiles::TemporaryFolder folder;
        ASSERT_TRUE (
            LogTestFiles::killWhenRunning ({ PROCESSOR_MEASUREMENT_CHILD_PATH, folder.get().getFullPathName(),
                                             juce::String (500 + 3000 * round) }))
            << "the measurement never got going";

        // One report and its log; a temporary report cut short may stay, hidden.
        const auto reports = folder.get().findChildFiles (
            juce::File::findFiles | juce::File::ignoreHiddenFiles, false, "*.xml");
        ASSERT_EQ (reports.size(), 1) << folder.list();
        EXPECT_EQ (folder.list (false),
                   reports[0].withFileExtension (".csv").getFileName() + " " + reports[0].getFileName());
        EXPECT_TRUE (reports[0].getFileName().startsWith ("ZELX51Log_"));
        LogTestFiles::expectWholeMeasurementFiles (reports[0]);
    }
}
