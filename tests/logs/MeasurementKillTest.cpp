#include "LogTestFiles.h"

#include <gtest/gtest.h>

#include <regex>

TEST (MeasurementLoggerKill, AWriterKilledMidMeasurementLeavesAWholeReportAndWholeLines)
{
    const std::regex eventLine ("(MomentaryLoudness|ShortTermLoudness), -?[0-9]+\\.[0-9], "
                                "[0-9]{1,2} [A-Z][a-z]{2} [0-9]{4}, [0-9]{1,2}:[0-9]{2}:[0-9]{2}");

    // A few rounds, each killed at a different point of its writing.
    for (int round = 0; round < 4; ++round)
    {
        LogTestFiles::TemporaryFolder folder;
        juce::ChildProcess child;
        ASSERT_TRUE (child.start (juce::StringArray{ LOG_WRITER_CHILD_PATH, folder.get().getFullPathName(),
                                                     juce::String (500 + 2500 * round) },
                                  juce::ChildProcess::wantStdOut));

        // The writer says "running" once both files are being written.
        juce::String said;

        for (char c = 0; !said.endsWith ("running\n") && child.readProcessOutput (&c, 1) == 1;)
            said << c;

        ASSERT_TRUE (child.kill());
        child.waitForProcessToFinish (-1);
        ASSERT_TRUE (said.endsWith ("running\n")) << "the writer never got going";

        // A temporary file cut short may stay, but hidden, so no list of reports shows it.
        juce::StringArray visible;
        visible.addTokens (folder.list(), " ", {});
        for (int i = visible.size(); --i >= 0;)
            if (visible[i].startsWithChar ('.'))
                visible.remove (i);
        EXPECT_EQ (visible.joinIntoString (" "), "ZELX51Log_Killed.csv ZELX51Log_Killed.xml");

        auto xml = juce::XmlDocument::parse (folder.getChildFile ("ZELX51Log_Killed.xml"));
        ASSERT_NE (xml, nullptr) << "round " << round << ": the report does not parse";
        ASSERT_NE (xml->getChildByName ("IntegratedMeasurements"), nullptr);
        EXPECT_EQ (xml->getChildByName ("IntegratedMeasurements")->getNumChildElements(), 5);
        EXPECT_EQ (xml->getChildByName ("UserSelectedTitle")->getStringAttribute ("value"), "ZEL51Log");

        const auto lines = LogTestFiles::readCrLfLines (folder.getChildFile ("ZELX51Log_Killed.csv"));
        ASSERT_GT (lines.size(), 1);
        EXPECT_EQ (lines[0], "Type, Value, Date, Time");

        for (int i = 1; i < lines.size(); ++i)
            ASSERT_TRUE (std::regex_match (lines[i].toStdString(), eventLine))
                << "round " << round << ": " << lines[i];
    }
}
