#include "HostTestHelpers.h"
#include "LogTestFiles.h"
#include "LoudnessHistory.h"
#include "OVRAReport.h"
#include "OrdinaryUser.h"
#include "ProcessorTestHelpers.h"
#include "ReportReader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

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
    { "truePeakTime", { 690, 210 } },  { "start", { 350, 265 } },      { "end", { 350, 290 } },
    { "limitUnit", { 890, 245 } },
};

juce::String shown (OVRAReport& viewer, const juce::String& name)
{
    const auto point = valuePoints.at (name);
    return textAt (viewer, point.x, point.y);
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

/** Selects a report in the viewer's file tree, as a click on its row does;
    lists the report's folder first when the tree does not show it. */
void select (OVRAReport& viewer, const juce::File& report)
{
    auto& tree = fileTreeOf (viewer);
    const auto rowOf = [&]() -> juce::TreeViewItem* {
        for (int row = 0; row < tree.getNumRowsInTree(); ++row)
            if (auto* item = tree.getItemOnRow (row); item->getUniqueName() == report.getFullPathName())
                return item;

        return nullptr;
    };

    if (rowOf() == nullptr)
    {
        viewer.directoryList.setDirectory (report.getParentDirectory(), true, true);
        viewer.directoryList.refresh();
    }

    ASSERT_TRUE (runMessageLoopUntil ([&] { return rowOf() != nullptr; })) << report.getFileName();
    rowOf()->setSelected (true, true);
    ASSERT_EQ (tree.getSelectedFile(), report);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! viewer.isReadingReport(); })) << report.getFileName();
}

/** Shows a report as loadReport does, once read. */
void load (OVRAReport& viewer, const juce::File& report)
{
    viewer.loadReport (report.getFullPathName());
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! viewer.isReadingReport(); })) << report.getFileName();
}

/** The names of the file tree's rows, top to bottom. */
juce::String rowNames (OVRAReport& viewer)
{
    auto& tree = fileTreeOf (viewer);
    juce::StringArray names;

    for (int row = 0; row < tree.getNumRowsInTree(); ++row)
        names.add (juce::File (tree.getItemOnRow (row)->getUniqueName()).getFileName());

    return names.joinIntoString ("|");
}

/** Points the viewer's list at a folder and waits until it is read, and the
    shown report looked at again. */
void list (OVRAReport& viewer, const juce::File& folder)
{
    viewer.directoryList.setDirectory (folder, true, true);
    viewer.directoryList.refresh();
    ASSERT_TRUE (runMessageLoopUntil (
        [&] { return ! viewer.directoryList.isStillLoading() && ! viewer.isReadingReport(); }));
}

/** A CSV log of one short-term and one momentary line per second. */
juce::File writeLog (const juce::File& file, const std::vector<float>& momentary,
                     const std::vector<float>& shortTerm)
{
    juce::String text ("Type, Value, Date, Time\n");

    for (size_t i = 0; i < momentary.size(); ++i)
    {
        const auto stamp =
            ", 6 Dec 2026, 9:" + juce::String::formatted ("%02d:%02d", (int) i / 60, (int) i % 60);
        text << "ShortTermLoudness, " << juce::String (shortTerm[i], 1) << stamp << "\n"
             << "MomentaryLoudness, " << juce::String (momentary[i], 1) << stamp << "\n";
    }

    return write (file, text);
}

/** What the drawer shows, and what a drawer without a history shows. */
juce::Image drawing (OVRAReport& viewer)
{
    return viewer.historyDrawer.createComponentSnapshot (viewer.historyDrawer.getLocalBounds(), true, 1.0f);
}

int differingPixels (const juce::Image& a, const juce::Image& b)
{
    int count = 0;

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            count += a.getPixelAt (x, y) != b.getPixelAt (x, y) ? 1 : 0;

    return count;
}

/** A clock that the test moves on by the audio it has fed. */
class SampleClock : public MeasurementClock
{
public:
    juce::Time now() const noexcept override
    {
        return juce::Time (startMillis
                           + samples.load() * 1000 / (juce::int64) ProcessorTestHelpers::sampleRate);
    }

    const juce::int64 startMillis = juce::Time (2026, 11, 6, 23, 58, 30).toMilliseconds();
    std::atomic<juce::int64> samples { 0 };
};

/** Peak levels of the programme's 10 s segments; a 997 Hz sine of peak level
    x dBFS on both L and R measures x LUFS. */
const float segmentLevels[] = {
    -20, -26, -23, -30, -18, -24, -28, -21, -25, -19, -27, -22, -23, -29, -20, -24
};

/** What the engine published for the log: one sample per new momentary
    value, with the short-term value published before it (-71 before the
    first), and the time of the last. */
struct Published
{
    std::vector<float> momentary, shortTerm;
    juce::Time lastTime;
};

/** Measures the programme block by block, with a loudness pass every 100 ms
    of audio. Waits for the log writer now and then, so that its queue never
    overflows however fast the feed runs. */
Published measureProgramme (OvrajuceLoudnessAudioProcessor& processor, SampleClock& clock,
                            const juce::File& logFolder)
{
    using namespace ProcessorTestHelpers;
    const auto segment = (int64_t) (10 * sampleRate);
    const auto total = segment * (int64_t) std::size (segmentLevels);

    Published published;
    float shortTerm = -71.0f;
    int events = 0, eventsOnDisk = 0;
    int64_t sinceLastPass = 0;
    auto& module = processor.loudnessModule;

    const auto linesOnDisk = [&logFolder] {
        const auto csv = logFolder.findChildFiles (juce::File::findFiles, false, "*.csv");
        return csv.isEmpty() ? 0 : csv[0].loadFileAsString().retainCharacters ("\n").length() - 1;
    };

    for (int64_t start = 0; start < total; start += blockSize)
    {
        auto block = silentBlock (6);
        const float gain = TestSignals::dbToGain (segmentLevels[start / segment]);
        TestSignals::writeSine (block, 0, 997.0, sampleRate, gain, start);
        TestSignals::writeSine (block, 1, 997.0, sampleRate, gain, start);

        // What this block logs, as the processor decides it.
        if (module.momentaryUpdated)
        {
            published.momentary.push_back (roundToOneDecimal (module.results.momentaryLoudness));
            published.shortTerm.push_back (shortTerm);
            published.lastTime = clock.now();
            ++events;
        }

        if (module.shortTermUpdated)
        {
            shortTerm = roundToOneDecimal (module.results.shortTermLoudness);
            ++events;
        }

        process (processor, block);
        clock.samples += blockSize;

        for (sinceLastPass += blockSize; sinceLastPass >= 4800; sinceLastPass -= 4800)
            module.computeLoudness();

        if (events - eventsOnDisk > 600)
        {
            for (int wait = 0; wait < 2000 && linesOnDisk() < events; ++wait)
                std::this_thread::sleep_for (std::chrono::milliseconds (5));

            eventsOnDisk = events;
        }
    }

    return published;
}

struct ChangeCounter : juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

/** Holds a scan as a network folder that stops answering would: at each file
    (of one folder only, when given) until released. */
struct HangingFilter : juce::WildcardFileFilter
{
    explicit HangingFilter (const juce::File& onlyIn = {})
        : juce::WildcardFileFilter ("*.xml", "", "hangs")
        , folder (onlyIn)
    {
    }

    bool isFileSuitable (const juce::File& file) const override
    {
        if (folder == juce::File() || file.getParentDirectory() == folder)
        {
            entered.signal();
            timedOut = timedOut || ! released.wait (10000);
        }

        return true;
    }

    const juce::File folder;
    mutable juce::WaitableEvent entered, released { true };
    mutable std::atomic<bool> timedOut { false };
};
} // namespace

//==============================================================================
TEST (ReportViewer, ShowsTheSummaryAndUnsetMaximaAsDefaults)
{
    LogTestFiles::TemporaryFolder folder;
    OVRAReport viewer (juce::Font (15.0f));

    load (viewer, write (folder.getChildFile ("Hall_6_Dec.xml"), completeReport));

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

    load (viewer, write (folder.getChildFile ("Silence.xml"), unsetMaximaReport));

    EXPECT_EQ (shown (viewer, "title"), "Silence");
    EXPECT_EQ (shown (viewer, "integratedUnit"), "LKFS");
    EXPECT_EQ (shown (viewer, "shortTerm"), "-");
    EXPECT_EQ (shown (viewer, "shortTermUnit"), "");
    EXPECT_EQ (shown (viewer, "shortTermTime"), "");
    EXPECT_EQ (shown (viewer, "momentary"), "-");
    EXPECT_EQ (shown (viewer, "momentaryUnit"), "-");
    EXPECT_EQ (shown (viewer, "truePeak"), "-");
    // Nothing of the report before stays where this one lacks an element.
    EXPECT_EQ (shown (viewer, "range"), "-");
    EXPECT_EQ (shown (viewer, "start"), "");
}

TEST (ReportViewer, AFileThatIsNoReadableReportClearsTheSummaryAndTheHistoryAndSaysSo)
{
    LogTestFiles::TemporaryFolder folder;
    const auto good = write (folder.getChildFile ("Good.xml"), completeReport);
    writeLog (good.withFileExtension (".csv"), { -30.0f, -20.0f, -25.0f }, { -28.0f, -22.0f, -24.0f });

    const auto bytesOf = [] (const juce::String& text) {
        return juce::MemoryBlock (text.toRawUTF8(), text.getNumBytesAsUTF8());
    };
    const juce::String report (completeReport);
    juce::MemoryBlock binary (4096);
    juce::Random (7).fillBitsRandomly (binary.getData(), binary.getSize());

    // A Latin-1 title: the rest of the report is well-formed.
    auto latin1 = bytesOf (report.replace ("ZEL51Log", "Caf_"));
    latin1[latin1.toString().indexOf ("Caf_") + 3] = (char) 0xe9;

    juce::String huge ("<ZEL5.1Log><UserSelectedTitle value=\"");
    huge << juce::String::repeatedString ("x", (int) LoudnessHistory::maxReportFileSize)
         << "\"/></ZEL5.1Log>";

    const struct
    {
        const char* name;
        juce::MemoryBlock bytes;
    } cases[] = {
        { "malformed", bytesOf (report.replace ("<MaxMomentary", "<MaxMomentary <")) },
        { "cutShort", bytesOf (report.substring (0, report.indexOf ("<MaxShortTerm") + 20)) },
        { "empty", {} },
        { "binary", binary },
        { "notUtf8", latin1 },
        { "foreignRoot",
          bytesOf ("<html><IntegratedMeasurements><LoudnessRange value=\"1\"/></IntegratedMeasurements>"
                   "<UserSelectedTitle/></html>") },
        { "deeplyNested", bytesOf ("<ZEL5.1Log>" + juce::String::repeatedString ("<a>", 1000000)) },
        { "overTheSizeLimit", bytesOf (huge) },
    };

    for (const auto& c : cases)
    {
        const auto file = folder.getChildFile (juce::String (c.name) + ".xml");
        juce::FileOutputStream (file).write (c.bytes.getData(), c.bytes.getSize()); // an empty one too
        // A log beside it must not reach the drawer either.
        writeLog (file.withFileExtension (".csv"), { -18.0f }, { -18.0f });
    }

    OVRAReport viewer (juce::Font (15.0f));
    const auto noHistory = drawing (viewer);

    for (const auto& c : cases)
    {
        select (viewer, good);
        HostTestHelpers::drainMessageLoop();
        ASSERT_EQ (shown (viewer, "title"), "Good");
        ASSERT_EQ (viewer.historyDrawer.getNumSamples(), 3);
        ASSERT_GT (differingPixels (drawing (viewer), noHistory), 0);

        const auto file = folder.getChildFile (juce::String (c.name) + ".xml");
        select (viewer, file);
        HostTestHelpers::drainMessageLoop();

        // The title says what happened; no figure of the good report stays.
        const auto message = file.getFileName() + " is not a readable report";

        for (const auto& value : valuePoints)
            EXPECT_EQ (shown (viewer, value.first), value.first == "title" ? message : juce::String())
                << c.name << " " << value.first;

        EXPECT_EQ (viewer.historyDrawer.getNumSamples(), 0) << c.name;
        EXPECT_EQ (differingPixels (drawing (viewer), noHistory), 0) << c.name;
    }
}

TEST (ReportViewer, AReportWithoutAReadableLogShowsItsOwnFiguresAndNoHistory)
{
    LogTestFiles::TemporaryFolder folder;
    const auto good = write (folder.getChildFile ("Good.xml"), completeReport);
    writeLog (good.withFileExtension (".csv"), { -30.0f, -30.0f, -30.0f }, { -30.0f, -30.0f, -30.0f });

    const auto missing = write (folder.getChildFile ("NoLog.xml"), completeReport);
    const auto garbage = write (folder.getChildFile ("GarbageLog.xml"), completeReport);
    write (garbage.withFileExtension (".csv"), "Type, Value, Date, Time\n"
                                               "MomentaryLoudness, loud, yesterday, noon\n"
                                               "\x01\x02 no line of a log\n");

    OVRAReport viewer (juce::Font (15.0f));
    const auto noHistory = drawing (viewer);

    for (const auto& report : { missing, garbage })
    {
        select (viewer, good);
        HostTestHelpers::drainMessageLoop();
        ASSERT_EQ (viewer.historyDrawer.getNumSamples(), 3);
        ASSERT_EQ (shown (viewer, "integrated"), "-30.0") << "the log's statistics, not the report's";

        select (viewer, report);
        HostTestHelpers::drainMessageLoop();

        const auto name = report.getFileName();
        EXPECT_EQ (shown (viewer, "title"), report.getFileNameWithoutExtension());
        EXPECT_EQ (shown (viewer, "integrated"), "-23.0") << name;
        EXPECT_EQ (shown (viewer, "range"), "7.3") << name;
        EXPECT_EQ (shown (viewer, "duration"), "1 hr 5 mins") << name;
        EXPECT_EQ (shown (viewer, "shortTerm"), "-17.0") << name;
        EXPECT_EQ (shown (viewer, "momentary"), "-12.5") << name;
        EXPECT_EQ (shown (viewer, "start"), "6 Dec 2026 9:05:07") << name;
        EXPECT_EQ (shown (viewer, "end"), "6 Dec 2026 10:10:07") << name;
        EXPECT_EQ (viewer.historyDrawer.getNumSamples(), 0) << name;
        EXPECT_EQ (differingPixels (drawing (viewer), noHistory), 0) << name;
    }
}

TEST (ReportViewer, AReportsOwnHistoryWithoutMomentaryValuesShowsADashForWhatNeedsThem)
{
    LogTestFiles::TemporaryFolder folder;
    const auto logged = write (folder.getChildFile ("Logged.xml"), completeReport);
    writeLog (logged.withFileExtension (".csv"), { -30.0f, -20.0f, -25.0f }, { -28.0f, -22.0f, -24.0f });

    juce::String dynamic ("<DynamicMeasurements>");

    for (int i = 0; i < 10; ++i)
        dynamic << "<ShortTermStampedValue value=\"" << (i == 4 ? "-18.0" : "-24.0") << "\" time=\"9:05:1"
                << i << "\"/>";

    const auto ownHistory =
        write (folder.getChildFile ("OwnHistory.xml"),
               juce::String (completeReport)
                   .replace ("</ZEL5.1Log>", dynamic + "</DynamicMeasurements></ZEL5.1Log>"));

    OVRAReport viewer (juce::Font (15.0f));
    select (viewer, logged);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return shown (viewer, "duration") == "2 secs"; }));

    select (viewer, ownHistory);
    ASSERT_EQ (viewer.historyDrawer.getNumSamples(), 10);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return shown (viewer, "shortTerm") == "-18.0"; }));

    EXPECT_EQ (shown (viewer, "integrated"), "-");
    EXPECT_EQ (shown (viewer, "momentary"), "-");
    // Without dates the history gives no times: the report's own stay.
    EXPECT_EQ (shown (viewer, "start"), "6 Dec 2026 9:05:07");
    EXPECT_EQ (shown (viewer, "end"), "6 Dec 2026 10:10:07");
    EXPECT_EQ (shown (viewer, "duration"), "1 hr 5 mins");
}

TEST (ReportViewer, AFigureThatIsNoFiniteNumberShowsADash)
{
    LogTestFiles::TemporaryFolder folder;
    const auto report = write (folder.getChildFile ("NotANumber.xml"), juce::String (completeReport)
                                                                           .replace ("-23.04", "nan")
                                                                           .replace ("7.3", "inf")
                                                                           .replace ("-17.0", "-inf")
                                                                           .replace ("-12.5", "NaN")
                                                                           .replace ("-1.2", "inf"));
    OVRAReport viewer (juce::Font (15.0f));
    select (viewer, report);

    for (auto* name : { "integrated", "range", "shortTerm", "momentary", "truePeak" })
        EXPECT_EQ (shown (viewer, name), "-") << name;
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
    const auto select = [&tree, &viewer] (const juce::String& name) {
        for (int row = 0; row < tree.getNumRowsInTree(); ++row)
            if (auto* item = tree.getItemOnRow (row); item->getUniqueName().endsWith (name))
                item->setSelected (true, true);

        EXPECT_TRUE (runMessageLoopUntil ([&] { return ! viewer.isReadingReport(); }));

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

TEST (ReportViewer, ShowsWhatTheProcessorMeasuredAndItsHistoryAgrees)
{
    using namespace ProcessorTestHelpers;
    LogTestFiles::TemporaryFolder folder;
    // Only the report's own extension gives the log's name, not the folder's.
    const auto logFolder = folder.getChildFile ("run.xml.d");
    SampleClock clock;
    auto processor = makePreparedProcessor();
    processor->setMeasurementClock (clock);
    processor->setInputLayout (layoutOf ({ 0, 1, 2, 3, 4, 5 }));
    processor->settings.logFilePath = logFolder.getFullPathName();
    processor->settings.logFileName = "Programme";

    processor->setParameterValue (0, 1.0f);
    const auto published = measureProgramme (*processor, clock, logFolder);
    processor->setParameterValue (0, 0.0f);

    const auto reports = logFolder.findChildFiles (juce::File::findFiles, false, "*.xml");
    ASSERT_EQ (reports.size(), 1);
    const auto report = juce::XmlDocument::parse (reports[0]);
    ASSERT_NE (report, nullptr);
    const auto* measured = report->getChildByName ("IntegratedMeasurements");
    const auto reported = [measured] (const char* element) {
        return measured->getChildByName (element)->getStringAttribute ("value");
    };

    OVRAReport viewer (juce::Font (15.0f));
    auto& drawer = viewer.historyDrawer;
    ChangeCounter statistics;
    drawer.addChangeListener (&statistics);
    load (viewer, reports[0]);

    // The summary first shows the report's own values...
    EXPECT_EQ (shown (viewer, "integrated"), reported ("IntegratedLoudness"));
    EXPECT_EQ (shown (viewer, "range"), reported ("LoudnessRange"));
    EXPECT_EQ (shown (viewer, "shortTerm"), reported ("MaxShortTerm"));
    EXPECT_EQ (shown (viewer, "momentary"), reported ("MaxMomentary"));
    EXPECT_EQ (shown (viewer, "truePeak"), reported ("MaxTruePeak"));
    double meanPower = 0.0;
    for (auto level : segmentLevels)
        meanPower += std::pow (10.0, level / 10.0) / (double) std::size (segmentLevels);
    EXPECT_NEAR (reported ("IntegratedLoudness").getFloatValue(), 10.0 * std::log10 (meanPower), 0.3);
    EXPECT_GT (reported ("LoudnessRange").getFloatValue(), 5.0f);

    // ...then the drawer's statistics over the whole record, which agree.
    ASSERT_EQ (drawer.getNumSamples(), (int) published.momentary.size())
        << "every published value is in the history";
    ASSERT_TRUE (runMessageLoopUntil ([&] { return statistics.count > 0; }));
    EXPECT_EQ (shown (viewer, "start"), "6 Dec 2026 23:58:30");
    EXPECT_EQ (shown (viewer, "end"), published.lastTime.toString (true, true, true, true));
    EXPECT_EQ (shown (viewer, "duration"),
               juce::RelativeTime::seconds ((published.lastTime.toMilliseconds() - clock.startMillis) / 1000)
                   .getDescription());
    EXPECT_NEAR (shown (viewer, "integrated").getFloatValue(),
                 reported ("IntegratedLoudness").getFloatValue(), 0.1001f);
    EXPECT_NEAR (shown (viewer, "range").getFloatValue(), reported ("LoudnessRange").getFloatValue(),
                 0.1001f);

    // A marked stretch agrees with the engine's histogram over the same values.
    const int updates = statistics.count;
    drawer.getStartMarker().setTopLeftPosition (300, 0);
    drawer.getEndMarker().setTopLeftPosition (600, 0);
    const int first = drawer.getSelectionStart(), last = drawer.getSelectionEnd();
    ASSERT_GT (last - first, 200);

    OVRALoudnessHistogram integrated, range;
    for (int i = first; i <= last; ++i)
    {
        integrated.add (published.momentary[(size_t) i]);
        range.add (published.shortTerm[(size_t) i]);
    }

    float expectedRange = 0.0f, low = 0.0f, high = 0.0f;
    range.getLoudnessRange (expectedRange, low, high);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return statistics.count > updates; }));
    EXPECT_EQ (shown (viewer, "integrated"), juce::String (integrated.getIntegratedLoudness(), 1));
    EXPECT_EQ (shown (viewer, "range"), juce::String (expectedRange, 1));
    EXPECT_NE (shown (viewer, "integrated"), reported ("IntegratedLoudness"));
    // The units and the true peak stay as the report gave them.
    EXPECT_EQ (shown (viewer, "integratedUnit"), "LUFS");
    EXPECT_EQ (shown (viewer, "truePeak"), reported ("MaxTruePeak"));
    drawer.removeChangeListener (&statistics);
}

TEST (ReportViewer, TheFolderChooserPublishesWhetherAFolderIsPickedOrNot)
{
    LogTestFiles::TemporaryFolder folder;
    OVRAReport viewer (juce::Font (15.0f));
    ChangeCounter changes;
    viewer.addChangeListener (&changes);
    viewer.folderEditor.setText ("/tmp/before", false);
    viewer.nameEditor.setText ("Hall", false);

    const auto openDialog = []() -> juce::FileChooserDialogBox* {
        for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
            if (auto* box =
                    dynamic_cast<juce::FileChooserDialogBox*> (juce::TopLevelWindow::getTopLevelWindow (i)))
                return box;

        return nullptr;
    };

    auto& browse = buttonOf (viewer, "browseButton");
    browse.triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return openDialog() != nullptr; }));
    openDialog()->exitModalState (0);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return changes.count == 1; }));
    EXPECT_EQ (viewer.getLogFilePath(), "/tmp/before");
    EXPECT_EQ (viewer.getLogFileName(), "Hall");

    browse.triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return openDialog() != nullptr; }));
    auto* dialog = openDialog();
    juce::FileBrowserComponent* browser = nullptr;
    std::function<void (juce::Component&)> find = [&] (juce::Component& parent) {
        for (auto* child : parent.getChildren())
            if (auto* b = dynamic_cast<juce::FileBrowserComponent*> (child))
                browser = b;
            else
                find (*child);
    };
    find (*dialog);
    ASSERT_NE (browser, nullptr);
    browser->setRoot (folder.get());
    dialog->exitModalState (1);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return changes.count == 2; }));
    EXPECT_EQ (viewer.folderEditor.getText(), folder.get().getFullPathName());
    EXPECT_EQ (viewer.getLogFilePath(), folder.get().getFullPathName());

    viewer.removeChangeListener (&changes);
}

TEST (ReportViewer, PollsForTooltipsOnlyWhileVisible)
{
    // A tooltip window polls the mouse several times a second, even in a hidden view.
    OVRAReport viewer (juce::Font (15.0f));
    const auto tooltipWindows = [&viewer] {
        int count = 0;
        for (auto* child : viewer.getChildren())
            count += dynamic_cast<juce::TooltipWindow*> (child) != nullptr ? 1 : 0;
        return count;
    };

    EXPECT_EQ (0, tooltipWindows());
    viewer.setVisible (true);
    EXPECT_EQ (1, tooltipWindows());
    viewer.setVisible (false);
    EXPECT_EQ (0, tooltipWindows());
}

TEST (ReportViewer, TheShownStatisticsFollowTheGatingSwitchWithoutAMarkerMove)
{
    LogTestFiles::TemporaryFolder folder;
    const auto report = write (folder.getChildFile ("QuietAndLoud.xml"), completeReport);

    // Every other value far below the rest: only the relative gates leave those out.
    std::vector<float> momentary, shortTerm;

    for (int i = 0; i < 600; ++i)
    {
        momentary.push_back (i % 2 == 0 ? -20.0f : -45.0f);
        shortTerm.push_back (i % 3 == 0 ? -21.0f : (i % 3 == 1 ? -26.0f : -50.0f));
    }

    writeLog (report.withFileExtension (".csv"), momentary, shortTerm);

    OVRAReport viewer (juce::Font (15.0f));
    auto& drawer = viewer.historyDrawer;
    select (viewer, report);
    drawer.getStartMarker().setTopLeftPosition (200, 0);
    drawer.getEndMarker().setTopLeftPosition (700, 0);
    const int first = drawer.getSelectionStart(), last = drawer.getSelectionEnd();
    ASSERT_GT (last - first, 100);

    const auto expected = [&] (bool gated) {
        OVRALoudnessHistogram integrated, range;
        integrated.gatingEnabled = gated;
        range.gatingEnabled = gated;

        for (int i = first; i <= last; ++i)
        {
            integrated.add (momentary[(size_t) i]);
            range.add (shortTerm[(size_t) i]);
        }

        float lra = 0.0f, low = 0.0f, high = 0.0f;
        range.getLoudnessRange (lra, low, high);
        return std::make_pair (juce::String (integrated.getIntegratedLoudness(), 1), juce::String (lra, 1));
    };
    const auto shownFigures = [&viewer] {
        return std::make_pair (shown (viewer, "integrated"), shown (viewer, "range"));
    };

    ASSERT_NE (expected (true).first, expected (false).first);
    ASSERT_NE (expected (true).second, expected (false).second);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return shownFigures() == expected (true); }));

    for (const bool gated : { false, true })
    {
        drawer.setGatingEnabled (gated);
        EXPECT_EQ (drawer.selectionReadout.integratedLoudness, expected (gated).first) << gated;
        EXPECT_EQ (drawer.selectionReadout.loudnessRange, expected (gated).second) << gated;
        EXPECT_TRUE (runMessageLoopUntil ([&] { return shownFigures() == expected (gated); })) << gated;
        EXPECT_EQ (std::make_pair (drawer.getSelectionStart(), drawer.getSelectionEnd()),
                   std::make_pair (first, last));
    }
}

TEST (ReportViewer, AFigureWithoutAValueTheProgramCouldHaveWrittenShowsADash)
{
    LogTestFiles::TemporaryFolder folder;
    const struct
    {
        const char *element, *label, *value, *shownValue;
    } figures[] = {
        { "IntegratedLoudness", "integrated", "-23.04", "-23.0" },
        { "LoudnessRange", "range", "7.3", "7.3" },
        { "MaxShortTerm", "shortTerm", "-17.0", "-17.0" },
        { "MaxMomentary", "momentary", "-12.5", "-12.5" },
        { "MaxTruePeak", "truePeak", "-1.2", "-1.2" },
    };
    // What replaces ` value="..."`; none for the figure as written.
    const std::pair<const char*, const char*> cases[] = {
        { "normal", nullptr },
        { "empty", " value=\"\"" },
        { "missing", "" },
        { "text", " value=\"loud\"" },
        { "numberAndText", " value=\"-23 LUFS\"" },
        { "huge", " value=\"1e40\"" },
        { "justBeyondTheCap", " value=\"1000.1\"" },
    };

    OVRAReport viewer (juce::Font (15.0f));

    for (const auto& f : figures)
        for (const auto& [name, attribute] : cases)
        {
            const auto written = juce::String (" value=\"") + f.value + "\"";
            const auto report = write (
                folder.getChildFile (juce::String (f.element) + name + ".xml"),
                juce::String (completeReport)
                    .replace (juce::String (f.element) + written,
                              juce::String (f.element) + (attribute != nullptr ? attribute : written)));
            load (viewer, report);
            EXPECT_EQ (shown (viewer, f.label), attribute != nullptr ? "-" : f.shownValue)
                << f.element << " " << name;
        }
}

TEST (ReportViewer, ARefreshShowsTheFolderAsItNowIsAndAReportGoneSinceSaysSo)
{
    LogTestFiles::TemporaryFolder folder;

    for (auto* name : { "a.xml", "b.xml", "c.xml" })
        write (folder.getChildFile (name), completeReport);

    OVRAReport viewer (juce::Font (15.0f));
    list (viewer, folder.get());
    ASSERT_TRUE (runMessageLoopUntil ([&] { return rowNames (viewer) == "a.xml|b.xml|c.xml"; }));

    folder.getChildFile ("b.xml").deleteFile();
    folder.getChildFile ("c.xml").moveFileTo (folder.getChildFile ("d.xml"));
    select (viewer, folder.getChildFile ("b.xml"));
    EXPECT_EQ (shown (viewer, "title"), "b.xml no longer exists");

    list (viewer, folder.get());
    EXPECT_EQ (rowNames (viewer), "a.xml|d.xml");

    folder.get().deleteRecursively();
    list (viewer, folder.get());
    EXPECT_EQ (rowNames (viewer), "");
}

TEST (ReportViewer, AFolderThatCannotBeReadDoesNotLookEmpty)
{
    // Running as root reads any folder whatever its permissions: a path that
    // is a file is one that fails for everybody.
    LogTestFiles::TemporaryFolder folder;
    const auto empty = folder.getChildFile ("empty");
    empty.createDirectory();
    const auto file = write (folder.getChildFile ("reports"), completeReport);

    OVRAReport viewer (juce::Font (15.0f));
    auto& tree = fileTreeOf (viewer);
    const auto look = [&] (const juce::File& path) {
        list (viewer, path);
        return tree.createComponentSnapshot (tree.getLocalBounds(), true, 1.0f);
    };

    const auto emptyLook = look (empty);
    EXPECT_EQ (differingPixels (look (folder.getChildFile ("missing")), emptyLook), 0);
    EXPECT_GT (differingPixels (look (file), emptyLook), 100);
    EXPECT_EQ (differingPixels (look (empty), emptyLook), 0);
}

TEST (ReportViewer, ListsInTheFrameworksOrder)
{
    LogTestFiles::TemporaryFolder folder;

    for (auto* name : { "Log 10.xml", "Log 9.xml", "log 9.xml", "Log 1.xml", "LOG 1.xml", "log 1b.xml",
                        "9.xml", "010.xml", "10.xml", "a.xml", "B.XML", "b.xml", "Log_6_Dec_2026_10_5_7.xml",
                        "Log_6_Dec_2026_9_15_7.xml", ".hidden.xml", "Log.csv" })
        write (folder.getChildFile (name), completeReport);

    juce::TimeSliceThread thread ("framework's list");
    thread.startThread();
    OVRAReport viewer (juce::Font (15.0f));
    juce::DirectoryContentsList framework (viewer.reportFilter.get(), thread);
    framework.setDirectory (folder.get(), true, true);
    list (viewer, folder.get());
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! framework.isStillLoading(); }));

    juce::StringArray expected;
    for (int i = 0; i < framework.getNumFiles(); ++i)
        expected.add (framework.getFile (i).getFileName());

    ASSERT_EQ (expected.size(), 14);
    EXPECT_EQ (rowNames (viewer), expected.joinIntoString ("|"));

    // And the rows look the same, a selected one too.
    auto& tree = fileTreeOf (viewer);
    juce::FileTreeComponent frameworkTree (framework);
    frameworkTree.setBounds (tree.getBounds());

    for (int id : { (int) juce::TreeView::backgroundColourId,
                    (int) juce::DirectoryContentsDisplayComponent::textColourId,
                    (int) juce::DirectoryContentsDisplayComponent::highlightColourId })
        frameworkTree.setColour (id, tree.findColour (id));

    ASSERT_TRUE (runMessageLoopUntil ([&] { return frameworkTree.getNumRowsInTree() == 14; }));
    tree.getItemOnRow (3)->setSelected (true, true);
    frameworkTree.getItemOnRow (3)->setSelected (true, true);
    HostTestHelpers::drainMessageLoop();
    const auto lookOf = [] (juce::Component& c) {
        return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
    };
    EXPECT_EQ (differingPixels (lookOf (tree), lookOf (frameworkTree)), 0);
}

TEST (ReportViewer, ARefreshKeepsTheRowsAndTheSelectedReportAndTellsWhenItIsGone)
{
    LogTestFiles::TemporaryFolder folder;
    write (folder.getChildFile ("b.xml"), completeReport);
    const auto selected = write (folder.getChildFile ("c.xml"), completeReport);
    writeLog (selected.withFileExtension (".csv"), { -30.0f, -20.0f, -25.0f }, { -28.0f, -22.0f, -24.0f });

    // A row put on screen anew had none there before: the list showed without it.
    struct RowsMade : juce::ComponentListener
    {
        void componentChildrenChanged (juce::Component&) override { ++count; }
        int count = 0;
    } rowsMade;

    OVRAReport viewer (juce::Font (15.0f));
    const auto noHistory = drawing (viewer);
    select (viewer, selected);
    HostTestHelpers::drainMessageLoop();
    fileTreeOf (viewer).getViewport()->getViewedComponent()->addComponentListener (&rowsMade);

    // The same folder, then one grown by a report listed before the selected one.
    for (const bool grown : { false, true })
    {
        if (grown)
            write (folder.getChildFile ("a.xml"), completeReport);

        rowsMade.count = 0;
        list (viewer, folder.get());
        HostTestHelpers::drainMessageLoop();
        EXPECT_EQ (rowsMade.count, grown ? 1 : 0);
        EXPECT_EQ (fileTreeOf (viewer).getSelectedFile(), selected) << grown;
        EXPECT_EQ (shown (viewer, "title"), "c") << grown;
        EXPECT_EQ (viewer.historyDrawer.getNumSamples(), 3) << grown;
    }

    selected.deleteFile();
    list (viewer, folder.get());
    ASSERT_EQ (rowNames (viewer), "a.xml|b.xml");

    for (const auto& value : valuePoints)
        EXPECT_EQ (shown (viewer, value.first), value.first == "title" ? "c.xml no longer exists" : "")
            << value.first;

    EXPECT_EQ (differingPixels (drawing (viewer), noHistory), 0);
}

TEST (ReportViewer, AReportThatIsThereButCannotBeReadSaysWhy)
{
    LogTestFiles::TemporaryFolder folder;
    // A folder that may be listed but not searched, and a file that may not be read.
    const auto listedOnly = folder.getChildFile ("listed only");
    listedOnly.createDirectory();
    const juce::File reports[] = { write (listedOnly.getChildFile ("Hall.xml"), completeReport),
                                   write (folder.getChildFile ("Studio.xml"), completeReport) };
    ASSERT_EQ (chmod (listedOnly.getFullPathName().toRawUTF8(), 0444), 0);
    ASSERT_EQ (chmod (reports[1].getFullPathName().toRawUTF8(), 0), 0);

    {
        OrdinaryUser user;

        if (! user.isOrdinary())
            GTEST_SKIP() << "cannot run as an ordinary user";

        OVRAReport viewer (juce::Font (15.0f));

        for (const auto& report : reports)
        {
            select (viewer, report);
            EXPECT_EQ (shown (viewer, "title"),
                       report.getFileName() + " cannot be read: " + juce::String (std::strerror (EACCES)));
        }
    }

    chmod (listedOnly.getFullPathName().toRawUTF8(), 0755);
}

TEST (ReportViewer, ARefreshDoesNotWaitForAScanThatHangs)
{
    LogTestFiles::TemporaryFolder folder;
    write (folder.getChildFile ("a.xml"), completeReport);

    const auto filter = std::make_shared<HangingFilter>();
    ReportFolderList list (filter);
    list.setDirectory (folder.get(), true, true);
    ASSERT_TRUE (filter->entered.wait (5000));

    list.refresh();
    filter->released.signal();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! list.isStillLoading(); }));
    EXPECT_FALSE (filter->timedOut) << "the refresh waited for the hung scan";
    EXPECT_EQ (list.getNumFiles(), 1);
}

TEST (ReportViewer, TheListShowsWholeNamesThatTellReportsApartAndKeepsTheRowOfANameThatFits)
{
    LogTestFiles::TemporaryFolder folder;
    const juce::StringArray names { "a.xml", "Evening_News_Studio_B_8_Dec_2026_16_22_25.xml",
                                    "Evening_News_Studio_B_8_Dec_2026_16_22_26.xml" };
    for (const auto& name : names)
        write (folder.getChildFile (name), completeReport);

    OVRAReport viewer (juce::Font (15.0f));
    list (viewer, folder.get());
    auto& tree = fileTreeOf (viewer);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return tree.getNumRowsInTree() == names.size(); }));
    const auto shot = tree.createComponentSnapshot (tree.getLocalBounds(), true, 1.0f);
    const auto row = [&] (int r) {
        return shot.getClippedImage (tree.getItemOnRow (r)->getItemPosition (true));
    };

    EXPECT_EQ (tree.getItemOnRow (0)->getItemHeight(), tree.getItemHeight());
    EXPECT_GT (differingPixels (row (1), row (2)), 10) << "the names differ in their last digit";
}

TEST (ReportViewer, ARunningReportShowsItsLoudnessAndRangeInTheUnitsOfAFinishedOne)
{
    LogTestFiles::TemporaryFolder folder;
    const auto report = write (
        folder.getChildFile ("Running.xml"),
        juce::String (completeReport)
            .replace (R"(<IntegratedLoudness value="-23.04" unit="LUFS"/>)",
                      R"(<IntegratedLoudness value="" unit=""/>)")
            .replace (R"(<LoudnessRange value="7.3" unit="LU"/>)", R"(<LoudnessRange value="" unit=""/>)")
            .replace ("LUFS", "LKFS"));
    writeLog (report.withFileExtension (".csv"), { -30.0f, -30.0f }, { -30.0f, -30.0f });

    OVRAReport viewer (juce::Font (15.0f));
    select (viewer, report);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return shown (viewer, "integrated") == "-30.0"; }));
    EXPECT_EQ (shown (viewer, "integratedUnit"), "LKFS");
    EXPECT_EQ (shown (viewer, "rangeUnit"), "LU");
    EXPECT_EQ (shown (viewer, "limitUnit"), "LKFS");
}

TEST (ReportViewer, AScanThatHangsHoldsUpNeitherAnotherFolderNorTheListsEnd)
{
    LogTestFiles::TemporaryFolder folder;
    const auto stalled = folder.getChildFile ("stalled"), local = folder.getChildFile ("local");

    for (const auto& [subfolder, name] : { std::pair (stalled, "old.xml"), std::pair (local, "new.xml") })
    {
        subfolder.createDirectory();
        write (subfolder.getChildFile (name), completeReport);
    }

    const auto filter = std::make_shared<HangingFilter> (stalled);
    auto list = std::make_unique<ReportFolderList> (filter);
    const auto listed = [&list] {
        return list->getFile (0).getFileName() + "/" + juce::String (list->getNumFiles());
    };
    list->setDirectory (stalled, true, true);
    ASSERT_TRUE (filter->entered.wait (5000));

    list->setDirectory (local, true, true);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! list->isStillLoading(); }));
    EXPECT_FALSE (filter->timedOut) << "the other folder waited for the hung scan";
    EXPECT_EQ (listed(), "new.xml/1");

    // However late the hung scan ends, its list is not taken over.
    filter->released.signal();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return filter.use_count() == 2; })) << "no scan holds the filter";
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (listed(), "new.xml/1");

    // A list that goes, as at a quit, does not wait for a scan that hangs.
    filter->released.reset();
    list->setDirectory (stalled, true, true);
    ASSERT_TRUE (filter->entered.wait (5000));
    list.reset();
    EXPECT_FALSE (filter->timedOut) << "the list's end waited for the hung scan";
    filter->released.signal();
}

TEST (ReportViewer, AReadThatHangsHoldsUpNeitherTheWindowNorAReportAskedForAfter)
{
    LogTestFiles::TemporaryFolder folder;
    const auto hung = write (folder.getChildFile ("Hung.xml"), completeReport);
    const auto quick = write (folder.getChildFile ("Quick.xml"), completeReport);

    // Reads as a file on a network folder that stops answering would.
    struct Stall
    {
        juce::WaitableEvent entered, released { true };
        std::atomic<bool> timedOut { false };
    };
    const auto stall = std::make_shared<Stall>();
    juce::StringArray handedOver;
    ReportReader reader (
        [&] (ReportReader::Reading&& reading) { handedOver.add (reading.report.getFileName()); },
        [stall, hung] (const juce::File& report) {
            if (report == hung)
            {
                stall->entered.signal();
                stall->timedOut = ! stall->released.wait (10000);
            }

            return ReportReader::readFromDisk (report);
        });

    reader.read (hung);
    ASSERT_TRUE (stall->entered.wait (5000));
    reader.read (quick);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! reader.isReading(); }));
    EXPECT_FALSE (stall->timedOut) << "the window waited for the hung read";
    EXPECT_EQ (handedOver.joinIntoString ("|"), "Quick.xml");

    stall->released.signal();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return stall.use_count() == 2; }))
        << "only the test and the reader hold the stall";
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (handedOver.joinIntoString ("|"), "Quick.xml") << "the older read was shown";
}

TEST (ReportViewer, ANamedPipeIsNeitherAReportNorItsLog)
{
    // Opened, a pipe would hold its reader until some program writes to it.
    LogTestFiles::TemporaryFolder folder;
    const auto pipe = folder.getChildFile ("Pipe.xml");
    const auto pipedLog = write (folder.getChildFile ("PipedLog.xml"), completeReport);

    for (const auto& file : { pipe, pipedLog.withFileExtension (".csv") })
        ASSERT_EQ (mkfifo (file.getFullPathName().toRawUTF8(), 0600), 0);

    OVRAReport viewer (juce::Font (15.0f));
    select (viewer, pipe);
    EXPECT_EQ (shown (viewer, "title"), "Pipe.xml is not a readable report");

    select (viewer, pipedLog);
    EXPECT_EQ (shown (viewer, "title"), "PipedLog");
    EXPECT_EQ (shown (viewer, "integrated"), "-23.0");
    EXPECT_EQ (viewer.historyDrawer.getNumSamples(), 0);
}

TEST (ReportViewer, AShownReportIsReadAgainWhenChangedOnAShowOrARefreshOrAClickOnItsRow)
{
    LogTestFiles::TemporaryFolder folder;
    const auto report = folder.getChildFile ("Running.xml");
    const auto running = juce::String (completeReport).replace ("6 Dec 2026 10:10:07", "");

    const std::pair<const char*, std::function<void (OVRAReport&)>> ways[] = {
        { "shownAgain",
          [] (OVRAReport& viewer) {
              viewer.setVisible (false);
              viewer.setVisible (true);
          } },
        { "refreshed", [] (OVRAReport& viewer) { viewer.directoryList.refresh(); } },
        { "rowClicked",
          [] (OVRAReport& viewer) {
              auto& tree = fileTreeOf (viewer);
              tree.getSelectedItem (0)->itemClicked (juce::MouseEvent (
                  juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                  &tree, &tree, juce::Time(), {}, juce::Time(), 1, false));
          } },
    };

    for (const auto& [name, lookAgain] : ways)
    {
        write (report, running);
        OVRAReport viewer (juce::Font (15.0f));
        select (viewer, report);
        ASSERT_EQ (shown (viewer, "end"), "") << name;

        // Stopped since it was read, then broken.
        write (report, completeReport);
        lookAgain (viewer);
        EXPECT_TRUE (runMessageLoopUntil ([&] { return shown (viewer, "end") == "6 Dec 2026 10:10:07"; }))
            << name;

        write (report, "<ZEL5.1Log>");
        lookAgain (viewer);
        EXPECT_TRUE (runMessageLoopUntil ([&] {
            return shown (viewer, "title") == "Running.xml is not a readable report";
        })) << name;
    }
}
