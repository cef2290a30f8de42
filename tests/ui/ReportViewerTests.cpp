#include "HostTestHelpers.h"
#include "LogTestFiles.h"
#include "LoudnessHistory.h"
#include "OVRAReport.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
using HostTestHelpers::runMessageLoopUntil;

/** The text of the viewer's label at a point (labels take no clicks, so the
    framework's hit test does not find them). */
juce::String textAt (OVRAReport& viewer, int x, int y)
{
    // The topmost, where captions and values overlap.
    for (int i = viewer.getNumChildComponents(); --i >= 0;)
        if (auto* label = dynamic_cast<juce::Label*> (viewer.getChildComponent (i));
            label != nullptr && label->getBounds().contains (x, y))
            return label->getText();

    return "<no label>";
}

// Points inside the value labels; a value label ends where its unit label begins.
const std::map<juce::String, juce::Point<int>> valuePoints {
    { "title", { 270, 80 } },          { "integrated", { 535, 110 } }, { "integratedUnit", { 545, 110 } },
    { "duration", { 690, 110 } },      { "duration2", { 690, 135 } },  { "range", { 535, 135 } },
    { "rangeUnit", { 545, 135 } },     { "shortTerm", { 535, 160 } },  { "shortTermUnit", { 545, 160 } },
    { "shortTermTime", { 690, 160 } }, { "momentary", { 535, 185 } },  { "momentaryUnit", { 545, 185 } },
    { "momentaryTime", { 690, 185 } }, { "truePeak", { 535, 210 } },   { "truePeakUnit", { 545, 210 } },
    { "truePeakTime", { 690, 210 } },  { "start", { 340, 265 } },      { "end", { 340, 290 } },
    { "limitUnit", { 890, 245 } },
};

juce::String shown (OVRAReport& viewer, const juce::String& name)
{
    const auto point = valuePoints.at (name);
    return textAt (viewer, point.x, point.y);
}

/** Every label's text, to see that nothing changed. */
juce::String everyLabel (OVRAReport& viewer)
{
    juce::StringArray texts;

    for (auto* child : viewer.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            texts.add (label->getText());

    return texts.joinIntoString ("|");
}

const char* const completeReport = R"(<?xml version="1.0" encoding="UTF-8"?>

<ZEL5.1Log>
  <UserSelectedTitle value="ZEL51Log"/>
  <MeasurementInterval>
    <StartTime value="6 Dec 2026 9:05:07"/>
    <StopTime value="6 Dec 2026 10:10:07"/>
    <UpTime value="1 hr 5 mins"/>
  </MeasurementInterval>
  <IntegratedMeasurements>
    <IntegratedLoudness value="-23.04" unit="LUFS"/>
    <LoudnessRange value="7.3" unit="LU"/>
    <MaxShortTerm value="-17.0" unit="LUFS" maxTime="6 Dec 2026 9:30:00"/>
    <MaxMomentary value="-12.5" unit="LUFS" maxTime="6 Dec 2026 9:31:00"/>
    <MaxTruePeak value="-1.2" unit="dBTP" maxTime="6 Dec 2026 9:32:00"/>
  </IntegratedMeasurements>
</ZEL5.1Log>
)";

/** A report as the logger leaves it when no maximum was ever reached, with
    the momentary maximum's unit missing altogether. */
const char* const unsetMaximaReport = R"(<?xml version="1.0" encoding="UTF-8"?>

<ZEL5.1Log>
  <UserSelectedTitle value="ZEL51Log"/>
  <IntegratedMeasurements>
    <IntegratedLoudness value="-70.0" unit="LKFS"/>
    <MaxShortTerm value="" unit="" maxTime=""/>
    <MaxMomentary value="" maxTime=""/>
    <MaxTruePeak value="" unit="" maxTime=""/>
  </IntegratedMeasurements>
</ZEL5.1Log>
)";

juce::File write (const juce::File& file, const juce::String& text)
{
    file.replaceWithText (text, false, false, "\n");
    return file;
}

juce::FileTreeComponent& fileTreeOf (OVRAReport& viewer)
{
    for (auto* child : viewer.getChildren())
        if (auto* tree = dynamic_cast<juce::FileTreeComponent*> (child))
            return *tree;

    throw std::logic_error ("the viewer has no file tree");
}

juce::Button& buttonOf (OVRAReport& viewer, const juce::String& name)
{
    for (auto* child : viewer.getChildren())
        if (auto* button = dynamic_cast<juce::Button*> (child);
            button != nullptr && button->getName() == name)
            return *button;

    throw std::logic_error ("no button " + name.toStdString());
}

struct ChangeCounter : juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};
} // namespace

//==============================================================================
TEST (ReportViewer, ShowsTheSummaryAndUnsetMaximaAsDefaults)
{
    LogTestFiles::TemporaryFolder folder;
    OVRAReport viewer (juce::Font (15.0f));

    viewer.loadReport (write (folder.getChildFile ("Hall_6_Dec.xml"), completeReport).getFullPathName());

    EXPECT_EQ (shown (viewer, "title"), "Hall_6_Dec");
    EXPECT_EQ (shown (viewer, "integrated"), "-23.0");
    EXPECT_EQ (shown (viewer, "integratedUnit"), "LUFS");
    EXPECT_EQ (shown (viewer, "limitUnit"), "LUFS");
    EXPECT_EQ (shown (viewer, "range"), "7.3");
    EXPECT_EQ (shown (viewer, "rangeUnit"), "LU");
    EXPECT_EQ (shown (viewer, "duration"), "1 hr 5 mins");
    EXPECT_EQ (shown (viewer, "duration2"), "1 hr 5 mins");
    EXPECT_EQ (shown (viewer, "start"), "6 Dec 2026 9:05:07");
    EXPECT_EQ (shown (viewer, "end"), "6 Dec 2026 10:10:07");
    EXPECT_EQ (shown (viewer, "shortTerm"), "-17.0");
    EXPECT_EQ (shown (viewer, "shortTermTime"), "6 Dec 2026 9:30:00");
    EXPECT_EQ (shown (viewer, "momentary"), "-12.5");
    EXPECT_EQ (shown (viewer, "truePeak"), "-1.2");
    EXPECT_EQ (shown (viewer, "truePeakUnit"), "dBTP");
    EXPECT_EQ (shown (viewer, "truePeakTime"), "6 Dec 2026 9:32:00");

    viewer.loadReport (write (folder.getChildFile ("Silence.xml"), unsetMaximaReport).getFullPathName());

    EXPECT_EQ (shown (viewer, "title"), "Silence");
    EXPECT_EQ (shown (viewer, "integratedUnit"), "LKFS");
    EXPECT_EQ (shown (viewer, "shortTerm"), "0.0");
    EXPECT_EQ (shown (viewer, "shortTermUnit"), "");
    EXPECT_EQ (shown (viewer, "shortTermTime"), "");
    EXPECT_EQ (shown (viewer, "momentary"), "0.0");
    EXPECT_EQ (shown (viewer, "momentaryUnit"), "-");
    EXPECT_EQ (shown (viewer, "truePeak"), "-");
    // What the report lacks stays as it was.
    EXPECT_EQ (shown (viewer, "range"), "7.3");
    EXPECT_EQ (shown (viewer, "start"), "6 Dec 2026 9:05:07");
}

TEST (ReportViewer, AFileThatIsNoReportOfOursChangesNothing)
{
    LogTestFiles::TemporaryFolder folder;
    OVRAReport viewer (juce::Font (15.0f));
    viewer.loadReport (write (folder.getChildFile ("Good.xml"), completeReport).getFullPathName());
    HostTestHelpers::drainMessageLoop();
    const auto before = everyLabel (viewer);

    const juce::String report (completeReport);
    juce::MemoryBlock binary (4096);
    juce::Random (7).fillBitsRandomly (binary.getData(), binary.getSize());

    const auto deep = "<ZEL5.1Log>" + juce::String::repeatedString ("<a>", 1000000);

    juce::String huge ("<ZEL5.1Log><UserSelectedTitle value=\"");
    huge << juce::String::repeatedString ("x", (int) LoudnessHistory::maxReportFileSize)
         << "\"/></ZEL5.1Log>";

    const struct
    {
        const char* name;
        juce::String text;
    } cases[] = {
        { "malformed", report.replace ("<MaxMomentary", "<MaxMomentary <") },
        { "truncated", report.substring (0, report.indexOf ("<MaxShortTerm") + 20) },
        { "empty", {} },
        { "binary", {} },
        { "foreign", "<html><IntegratedMeasurements><LoudnessRange value=\"1\"/></IntegratedMeasurements>"
                     "<UserSelectedTitle/></html>" },
        { "deeplyNested", deep },
        { "huge", huge },
    };

    for (const auto& c : cases)
    {
        const auto file = folder.getChildFile (juce::String (c.name) + ".xml");

        if (juce::String (c.name) == "binary")
            file.replaceWithData (binary.getData(), binary.getSize());
        else
            write (file, c.text);

        // A log beside it must not reach the drawer either.
        write (file.withFileExtension (".csv"), "Type, Value, Date, Time\n"
                                                "MomentaryLoudness, -30.0, 6 Dec 2026, 9:05:07\n");
        viewer.loadReport (file.getFullPathName());
        HostTestHelpers::drainMessageLoop();
        EXPECT_EQ (everyLabel (viewer), before) << c.name;
        file.deleteFile();
    }
}

TEST (ReportViewer, ListsReportsOnlyAndLoadsOnlyTheLowerCaseExtension)
{
    LogTestFiles::TemporaryFolder folder;
    write (folder.getChildFile ("a.xml"), completeReport);
    write (folder.getChildFile ("B.XML"), unsetMaximaReport);
    write (folder.getChildFile ("a.csv"), "Type, Value, Date, Time\n");
    folder.getChildFile ("sub.xml.d").createDirectory();
    write (folder.getChildFile ("sub.xml.d/c.xml"), completeReport);

    OVRAReport viewer (juce::Font (15.0f));
    viewer.directoryList.setDirectory (folder.get(), true, true);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! viewer.directoryList.isStillLoading(); }));

    juce::StringArray listed;
    for (int i = 0; i < viewer.directoryList.getNumFiles(); ++i)
        listed.add (viewer.directoryList.getFile (i).getFileName());
    listed.sort (true);
    EXPECT_EQ (listed.joinIntoString (" "), "a.xml B.XML");

    auto& tree = fileTreeOf (viewer);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return tree.getNumRowsInTree() == 2; }));

    // As a click on its row selects it.
    const auto select = [&tree] (const juce::String& name) {
        for (int row = 0; row < tree.getNumRowsInTree(); ++row)
            if (auto* item = tree.getItemOnRow (row); item->getUniqueName().endsWith (name))
                item->setSelected (true, true);

        EXPECT_EQ (tree.getSelectedFile().getFileName(), name);
    };

    select ("B.XML");
    EXPECT_EQ (shown (viewer, "title"), "");

    select ("a.xml");
    EXPECT_EQ (shown (viewer, "title"), "a");
}

TEST (ReportViewer, PublishesFolderAndNameTogether)
{
    OVRAReport viewer (juce::Font (15.0f));
    ChangeCounter changes;
    viewer.addChangeListener (&changes);

    viewer.folderEditor.setText ("/tmp/loudness", false);
    viewer.nameEditor.setText ("Hall", false);
    EXPECT_EQ (viewer.getLogFilePath(), "");

    viewer.nameEditor.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return changes.count == 1; }));
    EXPECT_EQ (viewer.getLogFilePath(), "/tmp/loudness");
    EXPECT_EQ (viewer.getLogFileName(), "Hall");

    viewer.folderEditor.setText ("/tmp/other", false);
    viewer.folderEditor.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return changes.count == 2; }));
    EXPECT_EQ (viewer.getLogFilePath(), "/tmp/other");

    viewer.nameEditor.setText ("Studio", false);
    buttonOf (viewer, "nameButton").triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return changes.count == 3; }));
    EXPECT_EQ (viewer.getLogFileName(), "Studio");

    viewer.removeChangeListener (&changes);
}
