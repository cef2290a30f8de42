#include "LogTestFiles.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
/** Starts the writer and returns once it says both files are being written. */
bool startWriter (juce::ChildProcess& child, const juce::File& folder, int eventsBeforeRunning)
{
    const juce::StringArray arguments{ LOG_WRITER_CHILD_PATH, folder.getFullPathName(),
                                       juce::String (eventsBeforeRunning) };

    if (!child.start (arguments, juce::ChildProcess::wantStdOut))
        return false;

    juce::String said;
    char c = 0;

    while (!said.endsWith ("running\n") && child.readProcessOutput (&c, 1) == 1)
        said << c;

    return said.endsWith ("running\n");
}
} // namespace

TEST (MeasurementLoggerKill, AWriterKilledMidMeasurementLeavesAWholeReportAndWholeLines)
{
    const std::regex eventLine ("(MomentaryLoudness|ShortTermLoudness), -?[0-9]+\\.[0-9], "
                                "[0-9]{1,2} [A-Z][a-z]{2} [0-9]{4}, [0-9]{1,2}:[0-9]{2}:[0-9]{2}");

    // A few rounds, each killed at a different point of its writing.
    for (int round = 0; round < 4; ++round)
    {
        LogTestFiles::TemporaryFolder folder;
        const auto report = folder.getChildFile ("ZELX51Log_Killed.xml");
        const auto csv = report.withFileExtension (".csv");

        {
            juce::ChildProcess child;
            const bool started = startWriter (child, folder.get(), 500 + 2500 * round);

            ASSERT_TRUE (child.kill());
            child.waitForProcessToFinish (-1);
            ASSERT_TRUE (started) << "the writer never got going";
        }

        // No half-written temporary file is left where a folder listing would show it.
        juce::StringArray visible;

        for (auto& name : LogTestFiles::listFolder (folder.get()))
            if (!name.startsWithChar ('.'))
                visible.add (name);

        EXPECT_EQ (visible.joinIntoString (" "), csv.getFileName() + " " + report.getFileName());

        auto xml = juce::XmlDocument::parse (report);
        ASSERT_NE (xml, nullptr) << "round " << round << ": the report does not parse";
        EXPECT_TRUE (xml->hasTagName ("ZEL5.1Log"));
        EXPECT_EQ (xml->getNumChildElements(), 3);
        ASSERT_NE (xml->getChildByName ("UserSelectedTitle"), nullptr);
        EXPECT_EQ (xml->getChildByName ("UserSelectedTitle")->getStringAttribute ("value"), "ZEL51Log");
        ASSERT_NE (xml->getChildByName ("IntegratedMeasurements"), nullptr);
        EXPECT_EQ (xml->getChildByName ("IntegratedMeasurements")->getNumChildElements(), 5);

        const auto lines = LogTestFiles::readCrLfLines (csv);
        ASSERT_GT (lines.size(), 1) << "round " << round;
        EXPECT_EQ (lines[0], "Type, Value, Date, Time");

        for (int i = 1; i < lines.size(); ++i)
            ASSERT_TRUE (std::regex_match (lines[i].toStdString(), eventLine))
                << "round " << round << ", line " << i << ": " << lines[i];
    }
}
