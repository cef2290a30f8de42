#include "../processor/ProcessorTestHelpers.h"
#include "HostTestHelpers.h"
#include "LogTestFiles.h"
#include "OVRASocketConnectionWrapper.h"
#include "OvrajuceLoudnessAudioProcessorEditor.h"
#include "TestDeviceType.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace
{
using Editor = OvrajuceLoudnessAudioProcessorEditor;

// A processor with a 5.1 input and its editor; the display timer is stopped,
// so each test runs the ticks itself.
struct EditorRig
{
    EditorRig()
    {
        processor->setInputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
        processor->settings.logFilePath = logFolder.getFullPathName();
        editor = std::make_unique<Editor> (*processor, &devices);
        editor->stopTimer();
    }

    ~EditorRig()
    {
        editor.reset();
        processor->stopMeasurementLog();
    }

    void tick (int count = 1)
    {
        for (int i = 0; i < count; ++i)
            editor->timerCallback();
    }

    /** A click as the button takes one: a radio button that is on stays on. */
    void click (juce::Button& button)
    {
        if (button.getClickingTogglesState())
        {
            const bool shouldBeOn = button.getRadioGroupId() != 0 || ! button.getToggleState();
            if (shouldBeOn != button.getToggleState())
            {
                button.setToggleState (shouldBeOn, juce::sendNotificationSync);
                return;
            }
        }
        editor->buttonClicked (&button);
    }

    LogTestFiles::TemporaryFolder temporaryFolder;
    const juce::File logFolder = temporaryFolder.get();
    std::unique_ptr<OvrajuceLoudnessAudioProcessor> processor = ProcessorTestHelpers::makePreparedProcessor();
    juce::AudioDeviceManager devices;
    std::unique_ptr<Editor> editor;
};

} // namespace

//==============================================================================
TEST (EditorRules, TimecodeReadsHoursMinutesSecondsAndMilliseconds)
{
    EXPECT_EQ (juce::String ("00:01:05:250"), Editor::formatTimecode (65.25 * 48000.0, 0.0, 48000.0));
    EXPECT_EQ (juce::String ("00:00:01:000"), Editor::formatTimecode (44100.0, 0.0, 44100.0));
    EXPECT_EQ (juce::String ("00:00:01:500"), Editor::formatTimecode (66150.0, 0.0, 44100.0));
    EXPECT_EQ (juce::String ("01:30:00:000"), Editor::formatTimecode (1.5 * 3600.0 * 48000.0, 0.0, 48000.0));
    EXPECT_EQ (juce::String ("00:00:00:000"), Editor::formatTimecode (12345.0, 0.0, 0.0));
    // 2^31 + 24000 samples: 44739 s and 35648 samples, 742 ms.
    EXPECT_EQ (juce::String ("12:25:39:742"), Editor::formatTimecode (2147483648.0 + 24000.0, 0.0, 48000.0));
    // A day at 192 kHz.
    EXPECT_EQ (juce::String ("23:59:59:999"),
               Editor::formatTimecode (86400.0 * 192000.0 - 1.0, 0.0, 192000.0));
    EXPECT_EQ (juce::String ("-00:01:05:250"), Editor::formatTimecode (-65.25 * 48000.0, 0.0, 48000.0));
}

TEST (EditorRules, LevelTextsColoursAndRelativeLevels)
{
    EXPECT_EQ (juce::String ("-"), Editor::levelToText (-60.0f, {}));
    EXPECT_EQ (juce::String ("-"), Editor::levelToText (-70.0f, {}));
    EXPECT_EQ (juce::String ("-59.9 "), Editor::levelToText (-59.9f, {}));
    EXPECT_EQ (juce::String ("-23.0 LUFS"), Editor::levelToText (-23.0f, "LUFS"));

    const struct
    {
        float level;
        juce::Colour ebu, other;
    } colours[] = {
        { -22.0f, Editor::green, Editor::green }, { -21.9f, Editor::yellow, Editor::yellow },
        { -20.5f, Editor::red, Editor::red },     { -28.4f, Editor::yellow, Editor::yellow },
        { -28.5f, Editor::red, Editor::red },     { -25.0f, Editor::yellow, Editor::green },
        { -70.0f, Editor::red, Editor::red },
    };
    for (const auto& c : colours)
    {
        EXPECT_EQ (c.ebu, Editor::integratedColour (c.level, true)) << c.level;
        EXPECT_EQ (c.other, Editor::integratedColour (c.level, false)) << c.level;
    }

    EXPECT_FLOAT_EQ (0.0f, Editor::toRelative (-23.0f, 23.0f));
    EXPECT_FLOAT_EQ (1.0f, Editor::toRelative (-23.0f, 24.0f));
    EXPECT_FLOAT_EQ (-70.0f, Editor::toRelative (-70.0f, 23.0f));
}

TEST (EditorRules, UnitLabelCodesAndTheirCaptions)
{
    EXPECT_EQ (10, Editor::unitLabelCode (true, true, false, true, false));
    EXPECT_EQ (13, Editor::unitLabelCode (false, false, true, true, false));
    EXPECT_EQ (18, Editor::unitLabelCode (true, true, false, false, true));
    EXPECT_EQ (21, Editor::unitLabelCode (false, false, true, false, true));

    // Each caption of a shown code names the unit of its buttons: an absolute
    // level in the unit of the standard (EBU's or the others'), a relative
    // one in LU; the two scales share their captions.
    const juce::String ebuUnit (LoudnessStandard::all[LoudnessStandard::ebu].unit);
    const juce::String otherUnit (LoudnessStandard::all[LoudnessStandard::atsc].unit);
    const juce::String relativeUnit (LoudnessStandard::relativeUnit);
    for (const auto& [code, unit] :
         { std::pair (10, ebuUnit), std::pair (12, ebuUnit), std::pair (11, otherUnit),
           std::pair (13, otherUnit), std::pair (18, relativeUnit), std::pair (19, relativeUnit),
           std::pair (20, relativeUnit), std::pair (21, relativeUnit) })
    {
        const auto captions = Editor::unitCaptions (code);
        ASSERT_EQ (4, captions.size()) << code;
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE (captions[k].endsWith (" " + unit)) << code << ": " << captions[k];
        EXPECT_TRUE (captions[3].endsWith ("[" + unit + "]")) << code << ": " << captions[3];
    }
    for (int code : { 0, 8, 14, 16, 22, 42 })
        EXPECT_TRUE (Editor::unitCaptions (code).isEmpty()) << code;
}

TEST (EditorRules, PortTextFallsBackToTheDefaultPortOnlyWhenEmpty)
{
    EXPECT_EQ (20000, OVRASocketConnectionWrapper::portFromText ("").number);
    EXPECT_EQ (-1, OVRASocketConnectionWrapper::portFromText ("0").number);
    EXPECT_EQ (-1, OVRASocketConnectionWrapper::portFromText ("8000x").number);
}

//==============================================================================
TEST (Editor, ProcessorMakesItAt1024By768)
{
    auto processor = ProcessorTestHelpers::makePreparedProcessor();
    EXPECT_TRUE (processor->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor->createEditorIfNeeded());
    ASSERT_NE (nullptr, dynamic_cast<Editor*> (editor.get()));
    EXPECT_EQ (juce::Rectangle<int> (0, 0, 1024, 768), editor->getLocalBounds());

    editor->setSize (800, 600);
    EXPECT_EQ (juce::Rectangle<int> (0, 0, 1024, 768), editor->getLocalBounds());
}

TEST (Editor, ConstructionLaysOutTheMeterView)
{
    EditorRig rig;
    auto& e = *rig.editor;
    const auto inEditor = [&e] (juce::Component& c) { return e.getLocalArea (&c, c.getLocalBounds()); };
    const auto shownInEditor = [&e] (juce::Component& c) {
        auto* shown = &c;
        while (shown != nullptr && shown != &e && shown->isVisible())
            shown = shown->getParentComponent();
        return shown == &e;
    };

    // The meter view's panels tile the editor without overlapping.
    const std::vector<juce::Component*> panels { &e.topBar,    &e.loudnessMeterPanel, &e.peakPanel,
                                                 &e.timePanel, &e.scopePanel,         &e.truePeakPanel };
    for (auto* panel : panels)
    {
        EXPECT_EQ (&e, panel->getParentComponent());
        EXPECT_TRUE (e.getLocalBounds().contains (panel->getBounds())) << panel->getName();
        for (auto* other : panels)
            EXPECT_TRUE (panel == other || ! panel->getBounds().intersects (other->getBounds()));
    }

    // The lock overlay covers the whole editor; the other views open below the top bar.
    EXPECT_EQ (e.getLocalBounds(), e.lockOverlay.getBounds());
    for (auto* view : std::initializer_list<juce::Component*> { &e.settingsPanel, &e.reportViewer })
        EXPECT_GE (view->getY(), e.topBar.getBottom()) << view->getName();

    // No two controls or meters that are shown lie over one another, and
    // each lies on the editor; the correlation meters' rows overlap by their
    // frames, so they are kept apart from the others only.
    std::vector<juce::Component*> controls { &e.startButton,   &e.resetButton,      &e.settingsButton,
                                             &e.reportsButton, &e.lockButton,       &e.truePeakAlarmLamp,
                                             &e.momentaryVU,   &e.loudnessRangeBar, &e.shortTermArrow,
                                             &e.soundField,    &e.displayCombo,     &e.channelsCombo,
                                             &e.loudnessCombo, &e.fiveOneButton,    &e.stereoButton };
    std::vector<juce::Component*> correlationMeters;
    for (size_t k = 0; k < Slots::count; ++k)
    {
        controls.insert (controls.end(), { e.truePeakVU[k].get(), &e.overloadLamp[k], &e.truePeakBox[k] });
        correlationMeters.push_back (e.correlationMeter[k].get());
    }
    for (auto* c : controls)
    {
        EXPECT_TRUE (shownInEditor (*c)) << c->getName();
        EXPECT_TRUE (e.getLocalBounds().contains (inEditor (*c))) << c->getName();
        for (auto* other : controls)
            EXPECT_TRUE (c == other || ! inEditor (*c).intersects (inEditor (*other)))
                << inEditor (*c).toString() << " over " << inEditor (*other).toString();
        for (auto* meter : correlationMeters)
            EXPECT_FALSE (inEditor (*c).intersects (inEditor (*meter)))
                << inEditor (*c).toString() << " over " << inEditor (*meter).toString();
    }

    // Each value read-out and its caption sit centred on their box's quarter
    // and three-quarter lines.
    const auto expectOnQuarterLines = [] (juce::Component& box, juce::Label& value, juce::Label& caption) {
        EXPECT_EQ (&box, value.getParentComponent()) << value.getName();
        EXPECT_EQ (&box, caption.getParentComponent()) << caption.getName();
        EXPECT_EQ (box.getHeight() / 4 - value.getHeight() / 2, value.getY()) << value.getName();
        EXPECT_EQ (3 * box.getHeight() / 4 - caption.getHeight() / 2, caption.getY()) << caption.getText();
    };
    expectOnQuarterLines (e.readoutBox[0], e.modeValueLabel, e.modeLabel);
    expectOnQuarterLines (e.readoutBox[1], e.integratedValueLabel, e.integratedUnitLabel);
    expectOnQuarterLines (e.readoutBox[2], e.shortTermValueLabel, e.shortTermUnitLabel);
    expectOnQuarterLines (e.readoutBox[3], e.loudnessRangeValueLabel, e.loudnessRangeUnitLabel);
    for (size_t k = 0; k < Slots::count; ++k)
        expectOnQuarterLines (e.truePeakBox[k], e.truePeakValueLabel[k], e.channelNameLabel[k]);

    for (auto* c : std::initializer_list<juce::Component*> {
             &e.topBar, &e.startButton, &e.resetButton, &e.settingsButton, &e.reportsButton, &e.lockButton,
             &e.loudnessMeterPanel, &e.peakPanel, &e.timePanel, &e.truePeakPanel, &e.scopePanel,
             &e.soundField })
        EXPECT_TRUE (c->isVisible()) << c->getName();
    for (auto* c :
         std::initializer_list<juce::Component*> { &e.settingsPanel, &e.vectroscope, &e.metersButton,
                                                   &e.deviceButton, &e.lockOverlay, &e.reportViewer })
        EXPECT_FALSE (c->isVisible()) << c->getName();

    // The device selector is built when its view is first shown.
    EXPECT_EQ (nullptr, e.deviceSelector);
    EXPECT_GT (e.getIndexOfChildComponent (&e.reportViewer), e.getIndexOfChildComponent (&e.settingsPanel));

    // The lock toggle lies above the overlay.
    EXPECT_GT (e.getIndexOfChildComponent (&e.lockButton), e.getIndexOfChildComponent (&e.lockOverlay));

    // The first tick applies the default settings: EBU, the +18 scale, LUFS.
    rig.tick();
    EXPECT_EQ (juce::String ("EBU"), e.modeValueLabel.getText());
    EXPECT_EQ (juce::String ("SL  LUFS"), e.shortTermUnitLabel.getText());
    EXPECT_EQ (juce::Rectangle<int> (21, 60, 76, 24), e.shortTermUnitMark.getBounds());
    EXPECT_TRUE (e.loudnessScaleImage.getImage().isValid());
}

TEST (Editor, EachOverloadLampSitsStraightAboveItsBar)
{
    EditorRig rig;
    auto& e = *rig.editor;

    for (size_t k = 0; k < 6; ++k)
    {
        const auto bar =
            e.truePeakPanel.getLocalArea (e.truePeakVU[k].get(), e.truePeakVU[k]->getLocalBounds());
        const auto lamp = e.overloadLamp[k].getBounds();
        EXPECT_EQ (bar.getX(), lamp.getX()) << k;
        EXPECT_EQ (bar.getWidth(), lamp.getWidth()) << k;
        EXPECT_LE (lamp.getBottom(), bar.getY()) << k;
    }
}

TEST (Editor, ViewButtonsShowTheirViews)
{
    EditorRig rig;
    auto& e = *rig.editor;
    const auto meterViewShown = [&] {
        return e.loudnessMeterPanel.isVisible() && e.timePanel.isVisible() && e.scopePanel.isVisible()
               && e.peakPanel.isVisible() && e.truePeakPanel.isVisible() && e.startButton.isVisible()
               && e.resetButton.isVisible();
    };

    rig.click (e.settingsButton);
    rig.tick();
    EXPECT_EQ (2, e.displayMode);
    EXPECT_TRUE (e.settingsPanel.isVisible());
    EXPECT_FALSE (e.loudnessMeterPanel.isVisible() || e.startButton.isVisible() || e.scopePanel.isVisible());
    EXPECT_TRUE (e.metersButton.isVisible() && e.deviceButton.isVisible());

    EXPECT_FALSE (e.reportViewer.isVisible());

    rig.click (e.reportsButton);
    EXPECT_EQ (3, e.displayMode);
    EXPECT_TRUE (e.reportViewer.isVisible());
    EXPECT_FALSE (e.settingsPanel.isVisible() || e.loudnessMeterPanel.isVisible());
    EXPECT_TRUE (e.metersButton.isVisible() && e.deviceButton.isVisible());

    rig.click (e.deviceButton);
    EXPECT_EQ (4, e.displayMode);
    ASSERT_NE (nullptr, e.deviceSelector);
    EXPECT_EQ (&e, e.deviceSelector->getParentComponent());
    EXPECT_EQ (juce::Rectangle<int> (0, 100, 1024, 608), e.deviceSelector->getBounds());
    EXPECT_EQ (0, e.getIndexOfChildComponent (e.deviceSelector.get())) << "under the panels";
    EXPECT_TRUE (e.deviceSelector->isVisible());
    EXPECT_FALSE (e.settingsPanel.isVisible() || e.loudnessMeterPanel.isVisible()
                  || e.reportViewer.isVisible());

    rig.click (e.metersButton);
    rig.tick();
    EXPECT_EQ (1, e.displayMode);
    EXPECT_TRUE (meterViewShown());
    EXPECT_FALSE (e.settingsPanel.isVisible() || e.metersButton.isVisible() || e.deviceButton.isVisible()
                  || e.reportViewer.isVisible() || e.deviceSelector->isVisible());

    // The meters button while the meters are shown changes nothing.
    e.buttonClicked (&e.metersButton);
    EXPECT_EQ (1, e.displayMode);
    EXPECT_TRUE (meterViewShown());
}

//==============================================================================
// The window opens the device and then builds the editor: the editor must
// leave the running device alone until the user opens its view.
TEST (Editor, StartingLeavesTheOpenDeviceAlone)
{
    juce::StringArray inputs, outputs;
    for (int i = 1; i <= 8; ++i)
    {
        inputs.add ("in " + juce::String (i));
        outputs.add ("out " + juce::String (i));
    }
    auto type = std::make_unique<TestDeviceType>();
    type->addDevice ("Six", inputs, outputs);
    juce::AudioDeviceManager devices;
    devices.addAudioDeviceType (std::move (type));
    ASSERT_EQ (juce::String(), devices.initialise (6, 6, nullptr, false));
    HostTestHelpers::drainMessageLoop();

    auto processor = ProcessorTestHelpers::makePreparedProcessor();
    processor->setOutputLayout (ChannelLayout::fromText ("0;1;2;3;4;-1;"));

    struct Counter : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++changes; }
        int changes = 0;
    } counter;
    devices.addChangeListener (&counter);

    {
        Editor editor (*processor, &devices);
        for (int i = 0; i < 5; ++i)
            HostTestHelpers::drainMessageLoop();
        EXPECT_EQ (0, counter.changes);
    }

    devices.removeChangeListener (&counter);
}

TEST (Editor, StandardPresetsWriteTheSettingsAndShowTheirLevels)
{
    EditorRig rig;
    auto& e = *rig.editor;
    auto& settings = rig.processor->settings;
    settings.measurementUnit = 1.0f;
    rig.tick();
    EXPECT_FLOAT_EQ (23.0f, e.luOffset);

    rig.click (e.ebuButton);
    rig.click (e.aribButton);
    EXPECT_DOUBLE_EQ (13.0, e.shortTermMaxSlider.getValue()) << "-10 + 23, the offset shown before the click";
    EXPECT_FLOAT_EQ (2.0f, settings.measurementStandard);
    EXPECT_FLOAT_EQ (1.0f, settings.truePeakRefLevel);

    // A display tick before the sliders' notifications must not put the old levels back.
    rig.tick();
    HostTestHelpers::drainMessageLoop();
    EXPECT_FLOAT_EQ (-10.0f, settings.shtMaxLevel);
    EXPECT_FLOAT_EQ (-2.0f, settings.truePeakMaxLevel);
    rig.tick();
    EXPECT_DOUBLE_EQ (14.0, e.shortTermMaxSlider.getValue());
    EXPECT_EQ (juce::String ("ARIB"), e.modeValueLabel.getText());
    EXPECT_EQ (juce::String ("SL  LU"), e.shortTermUnitLabel.getText());

    rig.click (e.ebuButton);
    HostTestHelpers::drainMessageLoop();
    rig.tick();
    EXPECT_FLOAT_EQ (0.0f, settings.measurementStandard);
    EXPECT_FLOAT_EQ (-18.0f, settings.shtMaxLevel);
    EXPECT_FLOAT_EQ (-1.0f, settings.truePeakMaxLevel);
    EXPECT_DOUBLE_EQ (5.0, e.shortTermMaxSlider.getValue());
}

TEST (Editor, RestoredStandardOutsideTheThreeLeavesTheButtonsAlone)
{
    EditorRig rig;
    auto& e = *rig.editor;
    auto& settings = rig.processor->settings;
    settings.measurementStandard = 2.0f;
    rig.tick();
    ASSERT_TRUE (e.aribButton.getToggleState());

    settings.measurementStandard = 3.0f;
    rig.tick();
    EXPECT_TRUE (e.aribButton.getToggleState());
    EXPECT_FALSE (e.ebuButton.getToggleState() || e.atscButton.getToggleState());
    EXPECT_EQ (3, e.lastStandard);
    EXPECT_FLOAT_EQ (24.0f, e.luOffset);
    EXPECT_EQ (juce::String ("ARIB"), e.modeValueLabel.getText());
}

TEST (Editor, StartingKeepsTheRestoredSoundFieldSource)
{
    auto processor = ProcessorTestHelpers::makePreparedProcessor();
    processor->settings.vectroscopeInputDataFlag = 1.0f;
    Editor editor (*processor, nullptr);
    HostTestHelpers::drainMessageLoop();

    EXPECT_FLOAT_EQ (1.0f, processor->settings.vectroscopeInputDataFlag);
    EXPECT_EQ (2, editor.loudnessCombo.getSelectedId());
    EXPECT_EQ (1, editor.displayCombo.getSelectedId());
    EXPECT_FALSE (editor.vectroscope.isVisible());
}

TEST (Editor, LogLocationAndGatingGoBothWaysWithTheReportViewer)
{
    EditorRig rig;
    auto& e = *rig.editor;
    auto& settings = rig.processor->settings;
    const auto folder = rig.logFolder.getChildFile ("reports");
    ASSERT_TRUE (folder.createDirectory());

    // Settings to the viewer: shown and listed.
    settings.logFilePath = folder.getFullPathName();
    settings.logFileName = "Session";
    rig.tick();
    EXPECT_EQ (folder.getFullPathName(), e.reportViewer.folderEditor.getText());
    EXPECT_EQ (juce::String ("Session"), e.reportViewer.nameEditor.getText());
    EXPECT_EQ (folder, e.reportViewer.directoryList.getDirectory());

    // The viewer to the settings, when the user confirms.
    e.reportViewer.folderEditor.setText (rig.logFolder.getFullPathName(), false);
    e.reportViewer.nameEditor.setText ("Other", false);
    e.reportViewer.textEditorReturnKeyPressed (e.reportViewer.nameEditor);
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (rig.logFolder.getFullPathName(), settings.logFilePath);
    EXPECT_EQ (juce::String ("Other"), settings.logFileName);

    EXPECT_TRUE (e.reportViewer.historyDrawer.isGatingEnabled());
    settings.gatingOffFlag = 1.0f;
    rig.tick();
    EXPECT_FALSE (e.reportViewer.historyDrawer.isGatingEnabled());
    EXPECT_TRUE (e.gatingButton.getToggleState());
}

// Pointing the viewer at another folder while measuring lists that folder
// and serves the next measurement; the running one keeps its start and files.
TEST (Editor, AFolderChosenWhileMeasuringServesTheNextMeasurement)
{
    ProcessorTestHelpers::ManualClock clock (juce::Time (2026, 11, 6, 9, 5, 7));
    EditorRig rig;
    auto& e = *rig.editor;
    const auto first = rig.logFolder.getChildFile ("first"), second = rig.logFolder.getChildFile ("second");
    rig.processor->setMeasurementClock (clock);
    rig.processor->settings.logFilePath = first.getFullPathName();
    rig.tick();
    rig.click (e.startButton);
    ASSERT_TRUE (rig.processor->isMeasurementLogRunning());
    const auto started = rig.processor->measurementLog.measurementStartTime.get();

    clock.advance (juce::RelativeTime::seconds (3));
    e.reportViewer.folderEditor.setText (second.getFullPathName(), false);
    e.reportViewer.textEditorReturnKeyPressed (e.reportViewer.folderEditor);
    HostTestHelpers::drainMessageLoop();
    rig.tick();
    EXPECT_EQ (second, e.reportViewer.directoryList.getDirectory());
    EXPECT_EQ (started.toMilliseconds(),
               rig.processor->measurementLog.measurementStartTime.get().toMilliseconds())
        << "the one-day roll-over counts from the start";

    rig.click (e.startButton);
    const auto report = juce::XmlDocument::parse (first.getChildFile ("ZELX51Log_6_Dec_2026_9_5_7.xml"));
    ASSERT_NE (report, nullptr);
    EXPECT_EQ (juce::String ("3 secs"), report->getChildByName ("MeasurementInterval")
                                            ->getChildByName ("UpTime")
                                            ->getStringAttribute ("value"));
    EXPECT_FALSE (second.exists());

    rig.click (e.startButton);
    rig.click (e.startButton);
    EXPECT_TRUE (second.getChildFile ("ZELX51Log_6_Dec_2026_9_5_10.xml").existsAsFile());
}

// Files that cannot be written are told in a box naming the file and the
// reason while the measurement goes on; once they are written again, the
// next failure is told again.
TEST (Editor, UnwritableMeasurementFilesAreToldWhileTheMeasurementGoesOn)
{
    using HostTestHelpers::alertWindows;
    using HostTestHelpers::runMessageLoopUntil;
    ProcessorTestHelpers::ManualClock clock (juce::Time (2026, 11, 6, 9, 5, 7));
    EditorRig rig;
    auto& e = *rig.editor;
    HostTestHelpers::RecordingLookAndFeel alerts;
    const juce::ScopeGuard closeBoxes { [] { HostTestHelpers::closeAlertWindows(); } };
    const auto& failures = rig.processor->getLogWriteFailures();

    // A folder through a plain file cannot be made, not even by root.
    const auto blocker = rig.logFolder.getChildFile ("blocker");
    const auto report = blocker.getChildFile ("logs/ZELX51Log_6_Dec_2026_9_5_7.xml");
    const auto log = report.withFileExtension (".csv");
    ASSERT_TRUE (blocker.replaceWithText ("not a folder"));
    rig.processor->setMeasurementClock (clock);
    rig.processor->settings.logFilePath = report.getParentDirectory().getFullPathName();
    rig.tick();
    rig.click (e.startButton);

    const auto measure = [&] {
        ProcessorTestHelpers::measureSine (*rig.processor, 0, 0.1f, 0.3);
        rig.tick();
    };

    ASSERT_TRUE (runMessageLoopUntil (
        [&] {
            measure();
            return ! alertWindows().empty() && failures.getLatest().message.contains (log.getFullPathName());
        },
        20000));
    ASSERT_EQ (1, alerts.messages.size()) << "the report and the log fail together, and are told once";
    EXPECT_EQ (juce::String ("Measurement not saved"), alertWindows().front()->getName());
    EXPECT_TRUE (
        alerts.messages[0].contains (report.getFullPathName() + "\nIts folder could not be created: "))
        << alerts.messages[0];

    // The measurement goes on; more failed writes tell nothing new.
    const auto elapsed = e.timecodeLabel.getText();
    measure();
    HostTestHelpers::drainMessageLoop();
    EXPECT_NE (elapsed, e.timecodeLabel.getText());
    EXPECT_TRUE (e.startButton.getToggleState() && rig.processor->isMeasurementLogRunning());
    EXPECT_EQ (1, alerts.messages.size());
    HostTestHelpers::closeAlertWindows();

    // Writable again: both files are written, and no box comes.
    ASSERT_TRUE (blocker.deleteFile());
    ASSERT_TRUE (runMessageLoopUntil (
        [&] {
            measure();
            return ! failures.getLatest().isGoingOn;
        },
        20000));
    EXPECT_TRUE (report.existsAsFile() && log.existsAsFile());
    HostTestHelpers::drainMessageLoop();
    EXPECT_TRUE (alertWindows().empty());

    // The writers may make the folder again in between, so until it holds.
    ASSERT_TRUE (runMessageLoopUntil ([&] {
        blocker.deleteRecursively();
        return blocker.replaceWithText ("not a folder");
    }));
    ASSERT_TRUE (runMessageLoopUntil (
        [&] {
            measure();
            return ! alertWindows().empty();
        },
        20000));
    // Writes that slipped in while the folder was swapped may have made
    // more than one new failure; each is told once.
    ASSERT_GE (alerts.messages.size(), 2);
    EXPECT_TRUE (alerts.messages[1].contains ("ZELX51Log_6_Dec_2026_9_5_7.")) << alerts.messages[1];
    EXPECT_TRUE (alerts.messages.strings.getLast().contains ("Its folder could not be created: "))
        << alerts.messages.strings.getLast();
    rig.click (e.startButton);
}

// A box still up when the files can be written again says so; it keeps no
// hold on the meter meanwhile.
TEST (Editor, AMeasurementNotSavedBoxSaysWhenTheFilesAreWrittenAgain)
{
    using HostTestHelpers::alertWindows;
    EditorRig rig;
    auto& e = *rig.editor;
    const juce::ScopeGuard closeBoxes { [] { HostTestHelpers::closeAlertWindows(); } };

    const auto blocker = rig.logFolder.getChildFile ("blocker");
    ASSERT_TRUE (blocker.replaceWithText ("not a folder"));
    rig.processor->settings.logFilePath = blocker.getChildFile ("logs").getFullPathName();
    rig.tick();
    rig.click (e.startButton);

    const auto boxSays = [&] (const juce::String& text) {
        return HostTestHelpers::runMessageLoopUntil (
            [&] {
                ProcessorTestHelpers::measureSine (*rig.processor, 0, 0.1f, 0.3);
                rig.tick();
                const auto boxes = alertWindows();
                return boxes.size() == 1 && boxes.front()->getDescription().contains (text);
            },
            20000);
    };

    ASSERT_TRUE (boxSays ("Its folder could not be created: "));
    EXPECT_FALSE (e.isCurrentlyBlockedByAnotherModalComponent());
    ASSERT_TRUE (blocker.deleteFile());
    // Its title and first line say that it is over; what and when stay below.
    ASSERT_TRUE (boxSays ("Measurement saved again. The files have been written again since "));
    const auto ended = alertWindows().front()->getDescription();
    EXPECT_TRUE (ended.contains ("Its folder could not be created: ") && ended.contains ("\n\nHappened at "))
        << ended;
    EXPECT_FALSE (ended.contains ("writing is tried again")) << ended;
    rig.click (e.startButton);
}

TEST (Editor, ReadoutsInLuAndTheirColours)
{
    EditorRig rig;
    auto& e = *rig.editor;
    auto& display = rig.processor->displaySnapshot;
    rig.processor->settings.measurementUnit = 1.0f;
    rig.processor->settings.shtMaxLevel = -18.0f;
    display.programLoudness = -23.0f;
    display.shortTermLoudness = -18.0f;
    display.momentaryLoudness = -70.0f;
    rig.tick();

    EXPECT_EQ (juce::String ("0.0 "), e.integratedValueLabel.getText());
    EXPECT_EQ (Editor::green, e.integratedValueLabel.findColour (juce::Label::textColourId));
    EXPECT_EQ (juce::String ("5.0 "), e.shortTermValueLabel.getText());
    EXPECT_EQ (Editor::red, e.shortTermValueLabel.findColour (juce::Label::textColourId));
    EXPECT_EQ (juce::String ("-"), e.momentaryValueLabel.getText());

    display.shortTermLoudness = -18.1f;
    display.programLoudness = -70.0f;
    rig.tick();
    EXPECT_EQ (Editor::green, e.shortTermValueLabel.findColour (juce::Label::textColourId));
    EXPECT_EQ (juce::String ("-"), e.integratedValueLabel.getText());
    EXPECT_EQ (Editor::red, e.integratedValueLabel.findColour (juce::Label::textColourId));
}

TEST (Editor, OverloadHoldKeepsTheFlagsForItsTicks)
{
    EditorRig rig;
    auto& e = *rig.editor;
    auto& display = rig.processor->displaySnapshot;
    auto& settings = rig.processor->settings;

    // Hold 0: lit for the tick in which the overload was seen only.
    settings.truePeakOverloadTime = 0.0f;
    display.truePeakAlarm = 1;
    display.truePeakAlarmsPerChannel[2] = 1;
    rig.tick();
    EXPECT_TRUE (e.truePeakAlarmLamp.getToggleState() && e.overloadLamp[2].getToggleState());
    EXPECT_FALSE (e.overloadLamp[1].getToggleState());
    EXPECT_EQ (0, (int) display.truePeakAlarm);
    EXPECT_EQ (0, (int) display.truePeakAlarmsPerChannel[2]);
    rig.tick();
    EXPECT_FALSE (e.truePeakAlarmLamp.getToggleState() || e.overloadLamp[2].getToggleState());
    EXPECT_FALSE (e.truePeakAlarmLamp.isEnabled());

    // Hold 3 s: 60 ticks, and the flags stay set for 62 ticks from the first.
    settings.truePeakOverloadTime = 3.0f;
    rig.tick();
    EXPECT_EQ (60, e.overloadHoldTicks);
    display.truePeakAlarm = 1;
    int litTicks = 0;
    for (int i = 0; i < 100 && display.truePeakAlarm == 1; ++i, ++litTicks)
        rig.tick();
    EXPECT_EQ (62, litTicks);
}

TEST (Editor, StereoCheckFollowsTheInputLayout)
{
    EditorRig rig;
    auto& e = *rig.editor;
    rig.tick();
    EXPECT_TRUE (e.stereoButton.isEnabled() && e.fiveOneButton.isEnabled());
    EXPECT_FALSE (rig.processor->settings.stereoState);

    rig.processor->setInputLayout (ChannelLayout::fromText ("0;1;-1;2;3;4;"));
    rig.tick();
    EXPECT_TRUE (e.fiveOneButton.getToggleState());
    EXPECT_FALSE (e.stereoButton.isEnabled() || e.fiveOneButton.isEnabled());
    EXPECT_TRUE (rig.processor->settings.stereoState);
}

TEST (Editor, DisplayTickFeedsEachMeterItsReading)
{
    EditorRig rig;
    auto& e = *rig.editor;
    auto& p = *rig.processor;
    auto& display = p.displaySnapshot;
    p.settings.truePeakMaxLevel = -6.0f;
    p.settings.truePeakHoldTime = 3.0f;

    // A different reading in every place, so that one fed to the wrong
    // meter or channel shows.
    display.momentaryLoudnessPix = 0.35f;
    display.arrowSliderValue = 0.8f;
    display.loudnessRangeVectorMin = 0.3f;
    display.loudnessRangeVectorMax = 0.6f;
    for (size_t k = 0; k < 6; ++k)
    {
        display.truePeakValuesPerChannelPix[k] = 0.2f + 0.1f * (float) k;
        display.vurnCorr[k] = 0.9f - 0.35f * (float) k;
        display.vectroscopeValue[k] = 0.15f * (float) (k + 1);
    }

    // What a component holds after the first tick (NaN: not checked, its own
    // smoothing moves it there over several ticks) and once it has settled.
    constexpr double notChecked = std::numeric_limits<double>::quiet_NaN();
    const double rate = ProcessorTestHelpers::sampleRate;
    const double split = p.meterScales.positionOnRow (-6.0f, MeterScales::truePeakRow);
    struct Row
    {
        juce::String what;
        std::function<double()> shown;
        double afterOneTick, settled;
    };
    std::vector<Row> rows {
        { "momentary bar", [&] { return e.momentaryVU.getLevel(); }, 0.35, 0.35 },
        { "short-term arrow", [&] { return e.shortTermArrow.getLevel(); }, 0.08, 0.8 },
        { "range low", [&] { return e.loudnessRangeBar.getLow(); }, 0.03, 0.3 },
        { "range high", [&] { return e.loudnessRangeBar.getHigh(); }, 0.06, 0.6 },
        { "sound field rate", [&] { return e.soundField.getSampleRate(); }, rate, rate },
    };
    for (size_t k = 0; k < 6; ++k)
    {
        const auto& bar = *e.truePeakVU[k];
        const auto& meter = *e.correlationMeter[k];
        const auto slot = " " + juce::String ((int) k);
        const double pix = display.truePeakValuesPerChannelPix[k];
        rows.insert (
            rows.end(),
            {
                { "true-peak bar" + slot, [&bar] { return bar.getLevel(); }, pix, pix },
                { "true-peak bar rate" + slot, [&bar] { return bar.getSampleRate(); }, rate, rate },
                { "true-peak split" + slot, [&bar] { return bar.getSplitPosition(); }, split, split },
                { "true-peak hold ticks" + slot, [&bar] { return bar.getHoldTicks(); }, 60, 60 },
                { "correlation" + slot, [&meter] { return meter.getValue(); }, notChecked,
                  display.vurnCorr[k] },
                { "correlation rate" + slot, [&meter] { return meter.getSampleRate(); }, rate, rate },
                { "sound field" + slot, [&e, k] { return e.soundField.getLevels()[k]; }, notChecked,
                  display.vectroscopeValue[k] },
            });
    }
    ASSERT_NE (split, 0.5) << "the bars' split before the first tick";

    rig.tick();
    for (const auto& row : rows)
        if (! std::isnan (row.afterOneTick))
        {
            EXPECT_NEAR (row.shown(), row.afterOneTick, 1e-3) << row.what;
        }

    rig.tick (400);
    for (const auto& row : rows)
        EXPECT_NEAR (row.shown(), row.settled, 1e-3) << row.what;

    // The vectroscope draws the pair each channel choice names, Y first.
    const auto slotNamed = [] (const juce::String& name) {
        const auto found = std::find_if (Slots::names.begin(), Slots::names.end(),
                                         [&name] (const char* slotName) { return name == slotName; });
        return (int) (found - Slots::names.begin());
    };
    e.displayCombo.setSelectedId (2, juce::sendNotificationSync);
    for (int item = 0; item < e.channelsCombo.getNumItems(); ++item)
    {
        e.channelsCombo.setSelectedItemIndex (item, juce::sendNotificationSync);
        rig.tick();
        const auto text = e.channelsCombo.getItemText (item);
        EXPECT_EQ (slotNamed (text.upToFirstOccurrenceOf ("/", false, false)), p.scopeFeed.yChannel.get())
            << text;
        EXPECT_EQ (slotNamed (text.fromFirstOccurrenceOf ("/", false, false)), p.scopeFeed.xChannel.get())
            << text;
    }
}

TEST (Editor, CorrelationCaptionsNameTheSlotsOfTheirPairs)
{
    // Each meter names the slots of the pair whose reading it shows; a
    // surround is written as its side with a small s.
    EditorRig rig;
    ASSERT_EQ (Slots::correlationPairs.size(), rig.editor->correlationMeter.size());

    const auto written = [] (int slot) {
        const auto side = slot == Slots::LS ? Slots::L : (slot == Slots::RS ? Slots::R : -1);
        return side < 0 ? juce::String (Slots::names[(size_t) slot])
                        : Slots::names[(size_t) side] + juce::String ("s");
    };

    for (size_t k = 0; k < Slots::correlationPairs.size(); ++k)
    {
        const auto caption = rig.editor->correlationMeter[k]->getCaption();
        const auto [a, b] = Slots::correlationPairs[k];
        EXPECT_EQ (written (a) + " / " + written (b), caption);
    }
}

// The timer does more than show readings: the settings' controls follow a
// click or a preset only through its ticks, so it keeps running while no
// device runs.
TEST (Editor, DisplayKeepsRunningWhileTheDeviceIsStopped)
{
    auto processor = ProcessorTestHelpers::makePreparedProcessor();
    std::unique_ptr<juce::AudioProcessorEditor> created (processor->createEditorIfNeeded());
    auto& e = dynamic_cast<Editor&> (*created);
    processor->prepareToPlay (ProcessorTestHelpers::sampleRate, ProcessorTestHelpers::blockSize);
    processor->releaseResources();
    EXPECT_TRUE (e.isTimerRunning());

    e.luButton.setToggleState (true, juce::sendNotificationSync);
    EXPECT_TRUE (
        HostTestHelpers::runMessageLoopUntil ([&] { return e.shortTermUnitLabel.getText() == "SL  LU"; }));
    created.reset();
}

TEST (Editor, ConnectionSwitchRunsTheServerAndTheRemoteTimer)
{
    EditorRig rig;
    auto& e = *rig.editor;

    // A port that is free now.
    int port = 0;
    {
        juce::StreamingSocket probe;
        ASSERT_TRUE (probe.createListener (0, "127.0.0.1"));
        port = probe.getBoundPort();
    }

    e.portEditor.setText (" " + juce::String (port) + " ");
    rig.click (e.connectButton);
    EXPECT_EQ (port, rig.processor->oscRemote.getBoundPort());
    EXPECT_TRUE (rig.processor->isTimerRunning());
    EXPECT_EQ (100, rig.processor->getTimerInterval());

    rig.click (e.connectButton);
    EXPECT_EQ (-1, rig.processor->oscRemote.getBoundPort());
    EXPECT_FALSE (rig.processor->isTimerRunning());
}

TEST (Editor, ConnectionSwitchThatCannotListenGoesBackToOffAndSaysWhy)
{
    EditorRig rig;
    auto& e = *rig.editor;

    juce::StreamingSocket otherProgram;
    ASSERT_TRUE (otherProgram.createListener (0, "127.0.0.1"));
    const auto heldPort = otherProgram.getBoundPort();

    // The box of each failed click, or "" when none was shown.
    const auto switchOnWith = [&] (const juce::String& portText) {
        e.portEditor.setText (portText);
        rig.click (e.connectButton);
        HostTestHelpers::drainMessageLoop();

        EXPECT_FALSE (e.connectButton.getToggleState()) << portText;
        EXPECT_EQ (-1, rig.processor->oscRemote.getBoundPort()) << portText;
        EXPECT_FALSE (rig.processor->isTimerRunning()) << portText;

        const auto boxes = HostTestHelpers::alertWindows();
        const auto shown = boxes.empty() ? juce::String() : boxes.front()->getDescription();
        EXPECT_LE (boxes.size(), 1u);
        HostTestHelpers::closeAlertWindows();
        return shown;
    };

    // Every click that fails is told, the same failure again too.
    for (int click = 0; click < 2; ++click)
        EXPECT_EQ ("Remote control not started. Port " + juce::String (heldPort)
                       + " cannot be used: it is already in use.",
                   switchOnWith (juce::String (heldPort)));
    for (const juce::String typed : { "0", "2000 1" })
        EXPECT_EQ ("Remote control not started. Port " + typed
                       + " cannot be used: port numbers go from 1 to 65535.",
                   switchOnWith (" " + typed));
    EXPECT_EQ (juce::String ("Remote control not started. Port 99999999 cannot be used: port numbers go from 1 "
                             "to 65535."),
               switchOnWith ("99999999"));
    // Named as typed, even beyond the largest int.
    EXPECT_EQ (juce::String ("Remote control not started. Port 4294975296 cannot be used: port numbers go "
                             "from 1 to 65535."),
               switchOnWith ("4294975296"));

    // A free port starts as ever.
    otherProgram.close();
    e.portEditor.setText (juce::String (heldPort));
    rig.click (e.connectButton);
    EXPECT_TRUE (e.connectButton.getToggleState());
    EXPECT_EQ (heldPort, rig.processor->oscRemote.getBoundPort());
    EXPECT_TRUE (rig.processor->isTimerRunning());
    rig.click (e.connectButton);

    EXPECT_EQ (
        juce::String ("Remote control not started. Port 99999999 cannot be used: port numbers go from 1 "
                      "to 65535."),
        switchOnWith ("99999999"));
}

//==============================================================================
namespace
{
void clickAt (juce::Component& top, juce::Point<int> position)
{
    auto* peer = top.getPeer();
    const auto time = juce::Time::currentTimeMillis();
    peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, position.toFloat(),
                            juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier),
                            juce::MouseInputSource::defaultPressure,
                            juce::MouseInputSource::defaultOrientation, time);
    peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, position.toFloat(),
                            juce::ModifierKeys(), juce::MouseInputSource::defaultPressure,
                            juce::MouseInputSource::defaultOrientation, time + 10);
}

juce::Point<int> centreOf (juce::Component& top, juce::Component& c)
{
    return top.getLocalPoint (&c, c.getLocalBounds().getCentre());
}

/** Presses and releases a key as the user does (the X test extension), so that
    the key state the shortcuts read changes too. */
bool pressKey (const char* key)
{
    juce::ChildProcess xdotool;
    return xdotool.start (juce::StringArray { "xdotool", "key", key })
           && xdotool.waitForProcessToFinish (5000) && xdotool.getExitCode() == 0;
}
} // namespace

TEST (Editor, LockBlocksEveryControlButTheLockToggleAndTheSpaceBar)
{
    EditorRig rig;
    auto& e = *rig.editor;
    e.addToDesktop (0);
    e.setVisible (true);
    e.toFront (true);

    rig.click (e.lockButton);
    EXPECT_TRUE (e.lockOverlay.isVisible());

    // Meter view: the top bar, the scope controls.
    for (auto* c : std::initializer_list<juce::Component*> {
             &e.startButton, &e.resetButton, &e.settingsButton, &e.reportsButton, &e.fiveOneButton,
             &e.stereoButton, &e.displayCombo })
    {
        EXPECT_EQ (&e.lockOverlay, e.getComponentAt (centreOf (e, *c))) << c->getName();
        clickAt (e, centreOf (e, *c));
    }
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (0, e.displayMode);
    EXPECT_FLOAT_EQ (0.0f, rig.processor->settings.isMeasuring);
    EXPECT_FALSE (e.settingsButton.getToggleState() || e.stereoButton.getToggleState());
    EXPECT_FALSE (e.displayCombo.isPopupActive());

    // Settings view, locked.
    rig.click (e.lockButton);
    rig.click (e.settingsButton);
    rig.tick();
    rig.click (e.lockButton);
    for (auto* c :
         std::initializer_list<juce::Component*> { &e.atscButton, &e.luButton, &e.gatingButton,
                                                   &e.truePeakMaxSlider, &e.connectButton, &e.metersButton })
    {
        EXPECT_EQ (&e.lockOverlay, e.getComponentAt (centreOf (e, *c))) << c->getName();
        clickAt (e, centreOf (e, *c));
    }
    HostTestHelpers::drainMessageLoop();
    EXPECT_EQ (2, e.displayMode);
    EXPECT_FLOAT_EQ (0.0f, rig.processor->settings.measurementStandard);
    EXPECT_FLOAT_EQ (0.0f, rig.processor->settings.measurementUnit);
    EXPECT_FLOAT_EQ (-1.0f, rig.processor->settings.truePeakMaxLevel);
    EXPECT_EQ (-1, rig.processor->oscRemote.getBoundPort());

    // The lock toggle itself stays reachable.
    rig.click (e.metersButton);
    rig.tick();
    clickAt (e, centreOf (e, e.lockButton));
    EXPECT_FALSE (e.lockButton.getToggleState());
    EXPECT_FALSE (e.lockOverlay.isVisible());
    clickAt (e, centreOf (e, e.lockButton));
    EXPECT_TRUE (e.lockOverlay.isVisible());

    // The overlay takes no keyboard focus: the space bar still starts a measurement.
    EXPECT_FALSE (e.lockOverlay.getWantsKeyboardFocus());
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] {
        e.grabKeyboardFocus();
        return e.hasKeyboardFocus (true);
    }));
    ASSERT_TRUE (pressKey ("space"));
    EXPECT_TRUE (
        HostTestHelpers::runMessageLoopUntil ([&] { return rig.processor->settings.isMeasuring == 1.0f; }));
}

// Built and torn down while the feed is written: the vector thread must stop
// before anything it reads goes (AddressSanitizer reports it otherwise).
TEST (Editor, TornDownCleanlyWhileTheScopeReads)
{
    auto processor = ProcessorTestHelpers::makePreparedProcessor();
    processor->setInputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
    std::atomic<bool> writing { true };
    std::thread audio ([&] {
        for (int64_t start = 0; writing; start += 256)
        {
            auto block = ProcessorTestHelpers::silentBlock (6, 256);
            TestSignals::writeSine (block, 0, 997.0, ProcessorTestHelpers::sampleRate, 0.5f, start);
            ProcessorTestHelpers::process (*processor, block);
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    });

    for (int i = 0; i < 5; ++i)
    {
        auto editor = std::make_unique<Editor> (*processor, nullptr);
        editor->displayCombo.setSelectedId (2, juce::sendNotificationSync);
        HostTestHelpers::runMessageLoopUntil ([] { return false; }, 60);
        EXPECT_TRUE (editor->vectorThread.isThreadRunning());
        editor.reset();
    }

    writing = false;
    audio.join();
}

//==============================================================================
namespace
{
/** Six channels of one block of 64 frames, slot L holding y throughout. */
void processLeft (OvrajuceLoudnessAudioProcessor& processor, float y)
{
    auto block = ProcessorTestHelpers::silentBlock (6, OVRAVectroscope::blockSize);
    juce::FloatVectorOperations::fill (block.getWritePointer (0), y, block.getNumSamples());
    ProcessorTestHelpers::process (processor, block);
}

/** Whether the window shows an area of the editor as the editor draws it
    now, read back from the display server. */
bool showsAsDrawn (juce::Component& editor, juce::Rectangle<int> area)
{
    const auto file = juce::File::createTempFile (".png");
    const auto window =
        juce::String::toHexString ((juce::pointer_sized_int) editor.getPeer()->getNativeHandle());
    const auto geometry = juce::String (area.getWidth()) + "x" + juce::String (area.getHeight()) + "+"
                          + juce::String (area.getX()) + "+" + juce::String (area.getY());
    juce::ChildProcess import;
    if (! import.start (juce::StringArray { "import", "-window", "0x" + window, "-crop", geometry, "+repage",
                                            file.getFullPathName() })
        || ! import.waitForProcessToFinish (10000))
        return false;

    const auto shown = juce::ImageFileFormat::loadFrom (file);
    file.deleteFile();
    const auto drawn = editor.createComponentSnapshot (area, true, 1.0f);
    if (shown.getBounds() != drawn.getBounds())
        return false;

    for (int y = 0; y < drawn.getHeight(); ++y)
        for (int x = 0; x < drawn.getWidth(); ++x)
        {
            const auto a = shown.getPixelAt (x, y), b = drawn.getPixelAt (x, y);
            if (std::abs (a.getRed() - b.getRed()) > 2 || std::abs (a.getGreen() - b.getGreen()) > 2
                || std::abs (a.getBlue() - b.getBlue()) > 2)
                return false;
        }
    return true;
}
} // namespace

// Away from the meter view the scope's feed is only emptied at each tick; the
// view shows the audio of now as soon as it returns, before any tick.
TEST (Editor, TheVectroscopeShowsTheAudioOfNowWhenItsViewReturns)
{
    EditorRig rig;
    auto& e = *rig.editor;
    e.displayCombo.setSelectedId (2, juce::sendNotificationSync);
    rig.click (e.settingsButton);

    // Twice what the feed holds, a tick every 40 blocks, then Y = 0.5.
    for (int b = 0; b < 2 * ScopeFeed::fifoCapacity / OVRAVectroscope::blockSize; ++b)
    {
        processLeft (*rig.processor, 0.25f);
        if (b % 40 == 0)
            rig.tick();
    }
    processLeft (*rig.processor, 0.5f);
    rig.click (e.metersButton);

    // Y = 0.5 on the 283-pixel scope lands at (141.5 - 50.03, 141.5 - 50.03): the newest dot, opaque.
    const auto shot = e.vectroscope.createComponentSnapshot (e.vectroscope.getLocalBounds(), true, 1.0f);
    EXPECT_EQ (Editor::green.getARGB(), shot.getPixelAt (91, 91).getARGB());
}

// A window that cannot be seen (hidden here; minimised is the same to the
// editor) repaints nothing, yet every tick takes its readings, lamps and
// hold count; shown again, its first paint opens the display again, showing
// what is now, and the next reading shows at its tick.
TEST (Editor, AWindowThatCannotBeSeenTakesEveryReadingAndShowsThemWhenShownAgain)
{
    EditorRig rig;
    auto& e = *rig.editor;
    auto& display = rig.processor->displaySnapshot;
    rig.processor->settings.truePeakOverloadTime = 1.0f;

    // In a window of its own, as in the program.
    juce::Component window;
    window.setSize (e.getWidth(), e.getHeight());
    window.addAndMakeVisible (e);
    window.addToDesktop (0);
    window.setVisible (true);
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] {
        rig.tick();
        return e.isOnScreen();
    }));

    window.setVisible (false);
    rig.tick (Editor::screenCheckTicks);
    ASSERT_FALSE (e.isOnScreen());

    display.truePeakValuesPerChannel[2] = -0.5f;
    display.truePeakAlarm = 1;
    display.truePeakAlarmsPerChannel[2] = 1;
    rig.tick (5);
    EXPECT_TRUE (e.overloadLamp[2].getToggleState());
    EXPECT_EQ (juce::String ("-0.5 "), e.truePeakValueLabel[2].getText());
    EXPECT_EQ (1, (int) display.truePeakAlarm) << "held for 20 ticks";

    window.setVisible (true);
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] { return e.isOnScreen(); }));
    const auto lamp = e.getLocalArea (&e.overloadLamp[2], e.overloadLamp[2].getLocalBounds());
    const auto readout = e.getLocalArea (&e.truePeakValueLabel[2], e.truePeakValueLabel[2].getLocalBounds());
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
        [&] { return showsAsDrawn (e, lamp) && showsAsDrawn (e, readout); }, 20000));

    display.truePeakValuesPerChannel[2] = -3.0f;
    rig.tick();
    EXPECT_EQ (juce::String ("-3.0 "), e.truePeakValueLabel[2].getText());
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] { return showsAsDrawn (e, readout); }, 20000));
    window.removeChildComponent (&e);
}

// On a window its refresh paces the ticks and the timer only watches it;
// once the window goes, the timer paces them again.
TEST (Editor, AWindowsRefreshPacesTheTicksAndWithoutOneTheTimerDoes)
{
    auto processor = ProcessorTestHelpers::makePreparedProcessor();
    std::unique_ptr<juce::AudioProcessorEditor> created (processor->createEditorIfNeeded());
    auto& e = dynamic_cast<Editor&> (*created);
    auto& peaks = processor->displaySnapshot.truePeakValuesPerChannel;
    EXPECT_EQ (Editor::timerIntervalMs, e.getTimerInterval());

    juce::Component window;
    window.setSize (e.getWidth(), e.getHeight());
    window.addAndMakeVisible (e);
    window.addToDesktop (0);
    window.setVisible (true);
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
        [&] { return e.getTimerInterval() == Editor::refreshWatchdogMs; }));
    peaks[0] = -6.0f;
    EXPECT_TRUE (
        HostTestHelpers::runMessageLoopUntil ([&] { return e.truePeakValueLabel[0].getText() == "-6.0 "; }));

    window.removeFromDesktop();
    EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil (
        [&] { return e.getTimerInterval() == Editor::timerIntervalMs; }));
    peaks[0] = -9.0f;
    EXPECT_TRUE (
        HostTestHelpers::runMessageLoopUntil ([&] { return e.truePeakValueLabel[0].getText() == "-9.0 "; }));
    window.removeChildComponent (&e);
}
