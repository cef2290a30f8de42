#include "LoudnessHistory.h"
#include "LogTestFiles.h"
#include "OVRATextCSVLogger.h"
#include "OVRAXMLLogger.h"

#include <gtest/gtest.h>

namespace
{
LoudnessHistory fromText (const juce::String& text)
{
    return LoudnessHistory::fromCsvText (text.toRawUTF8(), text.getNumBytesAsUTF8());
}

juce::String momentaryLine (const juce::String& value, const juce::String& time = "14:30:00")
{
    return "MomentaryLoudness, " + value + ", 6 Dec 2026, " + time;
}
} // namespace

//==============================================================================
TEST (LoudnessHistory, ReadsWhatTheCsvLoggerWrites)
{
    LogTestFiles::TemporaryFolder folder;
    const auto file = folder.getChildFile ("log.csv");
    {
        OVRATextCSVLogger logger (nullptr);
        logger.setLogFile (file);
        auto at = [] (int day, int h, int m, int s) { return juce::Time (2026, 11, day, h, m, s, 0, true); };
        logger.pushEvent ({ LogEvent::momentaryLoudness, -30.5f, at (6, 23, 59, 50) });
        logger.pushEvent ({ LogEvent::shortTermLoudness, -24.0f, at (6, 23, 59, 55) });
        logger.pushEvent ({ LogEvent::momentaryLoudness, -22.1f, at (6, 23, 59, 59) });
        logger.pushEvent ({ LogEvent::momentaryLoudness, -20.0f, at (7, 9, 5, 3) });
        logger.writePendingEvents();
    }

    const auto history = LoudnessHistory::fromCsvFile (file);

    ASSERT_EQ (history.size(), 3);
    EXPECT_EQ (history.getMomentaryValues(), (std::vector<float> { -30.5f, -22.1f, -20.0f }));
    // Before the first short-term line a sample carries the placeholder.
    EXPECT_EQ (history.getShortTermValues(), (std::vector<float> { -71.0f, -24.0f, -24.0f }));
    EXPECT_EQ (history.getTimeText (0), "23:59:50");
    EXPECT_EQ (history.getTimeText (2), "9:05:03");
    EXPECT_EQ (history.getSecondsOfDay (2), 9 * 3600 + 5 * 60 + 3);
    EXPECT_EQ (history.getDateText (1), "6 Dec 2026");
    EXPECT_EQ (history.getDateText (2), "7 Dec 2026");
    EXPECT_TRUE (LoudnessHistory::fromCsvFile (folder.getChildFile ("missing.csv")).isEmpty());
}

TEST (LoudnessHistory, LoadsTheWholeLinesOfABrokenLogAndSkipsTheRest)
{
    const juce::String text = "Type, Value, Date, Time\r\n" + momentaryLine ("-23.4") + "\r\n" // whole
                              + "MomentaryLoudness, -22.0, 6 Dec 2026\r\n"         // a field short
                              + momentaryLine ("-21.0") + ", extra\r\n"            // a field more
                              + momentaryLine ("loud") + "\r\n"                    // no number
                              + momentaryLine ("-20.5x") + "\r\n"                  // not only a number
                              + momentaryLine ("nan") + "\n"                       // no reading
                              + momentaryLine ("-19.0", "14:3") + "\r"             // cut time
                              + "ShortTermLoudness, -25.0, 6 Dec 2026, 14:30:01\n" // LF only
                              + "TruePeak, -1.0, 6 Dec 2026, 14:30:01\r\n"         // not ours
                              + momentaryLine ("-18.0", "14:30:02") + "\r"         // CR only
                              + juce::String::repeatedString ("x", 5000) + "\r\n"  // overlong
                              + "MomentaryLoudness, -17.0, 6 Dec 20";              // cut by a crash

    const auto history = fromText (text);

    EXPECT_EQ (history.getMomentaryValues(), (std::vector<float> { -23.4f, -18.0f }));
    EXPECT_EQ (history.getShortTermValues(), (std::vector<float> { -71.0f, -25.0f }));
    EXPECT_EQ (history.getTimeText (1), "14:30:02");
    EXPECT_TRUE (fromText ("Type, Value, Date, Time\r\n").isEmpty());
}

TEST (LoudnessHistory, ReadsTheShortTermValuesOfADynamicMeasurementsElementOnly)
{
    auto xml =
        juce::parseXML ("<dynamicmeasurements><ShortTermStampedValue value=\"-23.5\" time=\"10:00:00\"/>"
                        "<Other value=\"-1\"/><SHORTTERMSTAMPEDVALUE time=\"10:00:01\"/>"
                        "<ShortTermStampedValue value=\"1e300\" time=\"x\"/></dynamicmeasurements>");
    const auto history = LoudnessHistory::fromDynamicMeasurements (*xml);

    EXPECT_EQ (history.getShortTermValues(), (std::vector<float> { -23.5f, 0.0f }));
    EXPECT_FALSE (history.hasMomentary());
    EXPECT_FALSE (history.hasDates());
    EXPECT_EQ (history.getTimeText (1), "10:00:01");
    EXPECT_EQ (history.getDateText (1), "");

    EXPECT_TRUE (
        LoudnessHistory::fromDynamicMeasurements (juce::XmlElement ("IntegratedMeasurements")).isEmpty());
}

TEST (LoudnessHistory, TakesAReportOnlyWhenItIsOneAndSafeToRead)
{
    LogTestFiles::TemporaryFolder folder;
    const auto report = folder.getChildFile ("report.xml");
    {
        OVRAXMLLogger logger (nullptr);
        logger.startReport (report);
    }

    EXPECT_NE (LoudnessHistory::parseReport (report), nullptr);

    auto refused = [&] (const juce::String& name, const juce::MemoryBlock& bytes) {
        const auto file = folder.getChildFile (name);
        file.replaceWithData (bytes.getData(), bytes.getSize());
        return LoudnessHistory::parseReport (file) == nullptr;
    };
    auto text = [] (const juce::String& s) {
        return juce::MemoryBlock (s.toRawUTF8(), s.getNumBytesAsUTF8());
    };

    const auto whole = LogTestFiles::readBytes (report);
    EXPECT_TRUE (refused ("empty.xml", {}));
    EXPECT_TRUE (refused ("truncated.xml", text (whole.substring (0, whole.length() / 2))));
    EXPECT_TRUE (refused ("foreign.xml", text ("<PROPERTIES><VALUE name=\"a\" val=\"1\"/></PROPERTIES>")));
    EXPECT_TRUE (refused ("deep.xml", text ("<ZEL5.1Log>" + juce::String::repeatedString ("<a>", 100000))));

    juce::MemoryBlock binary (4096);
    juce::Random (1).fillBitsRandomly (binary.getData(), binary.getSize());
    EXPECT_TRUE (refused ("binary.xml", binary));

    auto notUtf8 = text (whole);
    static_cast<char*> (notUtf8.getData())[whole.indexOf ("=\"") + 2] = (char) 0xff;
    EXPECT_TRUE (refused ("not-utf8.xml", notUtf8));

    // A report in form, but of a size none of ours has.
    juce::MemoryBlock huge ((size_t) LoudnessHistory::maxReportFileSize + 1);
    huge.fillWith ('x');
    huge.copyFrom ("<ZEL5.1Log a=\"", 0, 14);
    huge.copyFrom ("\"/>", huge.getSize() - 3, 3);
    EXPECT_TRUE (refused ("huge.xml", huge));
}
