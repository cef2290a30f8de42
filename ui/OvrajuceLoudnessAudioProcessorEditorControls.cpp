#include "OvrajuceLoudnessAudioProcessorEditor.h"

#include "OVRASocketConnectionWrapper.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

// The controls: the listeners write the user's choices into the processor's
// live settings, and applySettings brings the controls back into line with a
// copy of them on every display tick.

namespace
{
constexpr int remoteTimerIntervalMs = 100;

/** Turns on the button of a setting's value taken to the nearest whole
    number, the buttons given in the order of their values, and returns that
    value; a value without a button changes nothing and gives -1. */
int turnOnChoice (float setting, std::initializer_list<juce::Button*> buttonsByValue)
{
    const auto value = (int) std::lround (setting);
    if (! juce::isPositiveAndBelow (value, (int) buttonsByValue.size()))
        return -1;

    buttonsByValue.begin()[value]->setToggleState (true, juce::dontSendNotification);
    return value;
}

// The pairs the vectroscope offers, in the order of its channel box's items;
// the first slot is drawn on Y.
constexpr std::pair<int, int> vectroscopePairs[] = { { Slots::L, Slots::R },
                                                     { Slots::L, Slots::LS },
                                                     { Slots::R, Slots::RS } };
} // namespace

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    JUCE_ASSERT_MESSAGE_THREAD
    auto& settings = processor.settings;
    const auto value = (float) slider->getValue();

    if (slider == &truePeakMaxSlider)
        settings.truePeakMaxLevel = value;
    else if (slider == &peakHoldSlider)
        settings.truePeakHoldTime = value;
    else if (slider == &overloadHoldSlider)
        settings.truePeakOverloadTime = value;
    else if (slider == &shortTermMaxSlider)
    {
        auto level = std::nearbyint (value);
        if (luButton.getToggleState())
            level = std::trunc (level - luOffset);
        settings.shtMaxLevel = level;
    }
}

void OvrajuceLoudnessAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    JUCE_ASSERT_MESSAGE_THREAD
    auto& settings = processor.settings;
    const bool on = button->getToggleState();

    if (button == &settingsButton)
        showMode (settingsPanel.isVisible() ? 1 : 2);
    else if (button == &reportsButton)
    {
        reportViewer.directoryList.refresh();
        showMode (reportViewer.isVisible() ? 1 : 3);
    }
    else if (button == &deviceButton)
        showMode (deviceSelector != nullptr && deviceSelector->isVisible() ? 1 : 4);
    else if (button == &metersButton)
    {
        if (! loudnessMeterPanel.isVisible())
            showMode (1);
    }
    else if (button == &startButton)
        processor.setParameterValue (OvrajuceLoudnessAudioProcessor::isMeasuringParameter, on ? 1.0f : 0.0f);
    else if (button == &resetButton)
        processor.resetMeasurement();
    else if (button == &truePeakAlarmLamp
             || std::any_of (overloadLamp.begin(), overloadLamp.end(),
                             [button] (auto& l) { return &l == button; }))
        clearOverloadFlags();
    else if (button == &ebuButton || button == &atscButton || button == &aribButton)
        applyStandardPreset();
    else if (button == &gatingButton)
        settings.gatingOffFlag = on ? 1.0f : 0.0f;
    else if (button == &scaleButtonA || button == &scaleButtonB)
        settings.measurementScale = button == &scaleButtonA ? 1.0f : 0.0f;
    else if (button == &luButton || button == &lufsButton)
        settings.measurementUnit = button == &luButton ? 1.0f : 0.0f;
    else if (button == &refLevelButtonA || button == &refLevelButtonB)
        settings.truePeakRefLevel = button == &refLevelButtonA ? 0.0f : 1.0f;
    else if (button == &fiveOneButton || button == &stereoButton)
        settings.stereoMixdownFlag = fiveOneButton.getToggleState() ? 0.0f : 1.0f;
    else if (button == &connectButton)
        switchRemoteServer (on);
    else if (button == &passwordButton)
        passwordEditor.getText(); // the access code is not set from here
    else if (button == &lockButton)
        lockOverlay.setVisible (on);
}

void OvrajuceLoudnessAudioProcessorEditor::comboBoxChanged (juce::ComboBox* combo)
{
    JUCE_ASSERT_MESSAGE_THREAD
    const int selection = combo->getSelectedId();

    if (combo == &displayCombo)
    {
        const bool vectorscopeShown = selection == 2;
        if (selection != 1 && ! vectorscopeShown)
            return;

        vectroscope.setVisible (vectorscopeShown);
        soundField.setVisible (! vectorscopeShown);
        if (vectorscopeShown)
            vectroscope.refresh();
        channelsCombo.setEnabled (vectorscopeShown);
        channelsCaption.setColour (juce::Label::textColourId, vectorscopeShown ? white : dimGrey);
        loudnessCombo.setEnabled (! vectorscopeShown);
        loudnessCaption.setColour (juce::Label::textColourId, vectorscopeShown ? dimGrey : white);
    }
    else if (combo == &channelsCombo)
    {
        if (juce::isPositiveAndBelow (selection - 1, (int) std::size (vectroscopePairs)))
            showVectroscopePair (selection - 1);
    }
    else if (combo == &loudnessCombo)
    {
        if (selection == 1 || selection == 2)
            processor.settings.vectroscopeInputDataFlag = (float) (selection - 1);
    }
}

void OvrajuceLoudnessAudioProcessorEditor::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    JUCE_ASSERT_MESSAGE_THREAD

    // The next measurement's files go where the viewer says.
    if (source == &reportViewer)
    {
        processor.settings.logFilePath = reportViewer.getLogFilePath();
        processor.settings.logFileName = reportViewer.getLogFileName();
    }
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::applyStandardPreset()
{
    const auto index = standardShown();
    if (index < 0)
        return;

    const auto& preset = LoudnessStandard::all[(size_t) index];
    auto& settings = processor.settings;
    settings.measurementStandard = (float) index;
    settings.truePeakRefLevel = preset.truePeakRefLevel;

    // The two levels are written here as well as through the sliders'
    // notifications: a display tick in between re-sets the sliders from
    // the settings, which would otherwise put the old levels back.
    settings.truePeakMaxLevel = preset.truePeakMaxLevel;
    settings.shtMaxLevel = preset.shortTermMaxLevel;

    truePeakMaxSlider.setValue (preset.truePeakMaxLevel, juce::sendNotificationAsync);
    const auto shortTermMax = preset.shortTermMaxLevel;
    shortTermMaxSlider.setValue (luButton.getToggleState() ? shortTermMax + luOffset : shortTermMax,
                                 juce::sendNotificationAsync);
}

void OvrajuceLoudnessAudioProcessorEditor::switchRemoteServer (bool on)
{
    if (on)
    {
        const auto started = processor.oscRemote.startServer (
            OVRASocketConnectionWrapper::portFromText (portEditor.getText()));
        // Each start is the user's request: a failure is told even when it is the last one again.
        if (started.failed())
            remoteServerNotice.requestFailed (started.getErrorMessage());
        else
            remoteServerNotice.succeeded();

        // Nothing listens: the switch goes back to off, and no bundles are built.
        if (started.failed())
            connectButton.setToggleState (false, juce::dontSendNotification);
        else
            processor.startTimer (remoteTimerIntervalMs);
    }
    else
    {
        processor.stopTimer();
        processor.oscRemote.stopServer(); // closes and deletes every connection
    }
}

void OvrajuceLoudnessAudioProcessorEditor::clearOverloadFlags()
{
    auto& display = processor.displaySnapshot;
    display.truePeakAlarm = 0;
    for (auto& flag : display.truePeakAlarmsPerChannel)
        flag = 0;
}

juce::StringArray OvrajuceLoudnessAudioProcessorEditor::vectroscopePairNames()
{
    juce::StringArray names;
    for (const auto& [y, x] : vectroscopePairs)
        names.add (juce::String (Slots::names[(size_t) y]) + "/" + Slots::names[(size_t) x]);
    return names;
}

void OvrajuceLoudnessAudioProcessorEditor::showVectroscopePair (int index)
{
    const auto [y, x] = vectroscopePairs[index];
    vectroscope.setYChannel (Slots::names[(size_t) y]);
    vectroscope.setXChannel (Slots::names[(size_t) x]);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::applySettings (const SettingsSnapshot& settings)
{
    JUCE_ASSERT_MESSAGE_THREAD
    startButton.setToggleState (settings.isMeasuring != 0.0f, juce::dontSendNotification);

    if ((float) lastStandard != settings.measurementStandard)
    {
        if (const auto index = LoudnessStandard::indexOf (settings.measurementStandard); index >= 0)
        {
            const auto& standard = LoudnessStandard::all[(size_t) index];
            standardButtons()[(size_t) index]->setToggleState (true, juce::dontSendNotification);
            showUnitPictures (standard.unit);
            luOffset = standard.luOffset;
        }
        lastStandard = (int) settings.measurementStandard;
    }

    turnOnChoice (settings.measurementScale, { &scaleButtonB, &scaleButtonA });

    // The short-term maximum is shown in the unit chosen.
    switch (turnOnChoice (settings.measurementUnit, { &lufsButton, &luButton }))
    {
        case 0:
            setShortTermRange (-24.0, 0.0);
            shortTermMaxSlider.setValue (settings.shtMaxLevel, juce::dontSendNotification);
            break;
        case 1:
            setShortTermRange (0.0, 24.0);
            shortTermMaxSlider.setValue (luOffset + settings.shtMaxLevel, juce::dontSendNotification);
            break;
        default:
            break;
    }

    // The statistics of the viewer's marked stretch follow the same gating.
    const bool gated = settings.gatingOffFlag == 0.0f;
    gatingButton.setToggleState (! gated, juce::dontSendNotification);
    reportViewer.historyDrawer.setGatingEnabled (gated);

    turnOnChoice (settings.truePeakRefLevel, { &refLevelButtonA, &refLevelButtonB });

    truePeakMaxSlider.setValue (settings.truePeakMaxLevel, juce::dontSendNotification);
    peakHoldSlider.setValue (settings.truePeakHoldTime, juce::dontSendNotification);
    overloadHoldSlider.setValue (settings.truePeakOverloadTime, juce::dontSendNotification);

    (settings.stereoMixdownFlag == 0.0f ? fiveOneButton : stereoButton)
        .setToggleState (true, juce::dontSendNotification);

    const bool truePeakSource = settings.vectroscopeInputDataFlag == 0.0f;
    soundFieldSourceSwitch.setToggleState (! truePeakSource, juce::dontSendNotification);
    truePeakSourceCaption.setColour (juce::Label::textColourId, truePeakSource ? white : dimGrey);
    momentarySourceCaption.setColour (juce::Label::textColourId, truePeakSource ? dimGrey : white);
    if (truePeakSource)
        soundField.setAlarmLevel ((float) truePeakMaxSlider.getValue());

    updateUnitLabels();
    setStandardTexts();

    const auto split =
        processor.meterScales.positionOnRow ((float) truePeakMaxSlider.getValue(), MeterScales::truePeakRow);
    const auto holdMs = (int) (peakHoldSlider.getValue() * 1000.0);
    for (auto& vu : truePeakVU)
    {
        vu->setSplitPosition (split);
        vu->setHoldTicks (holdMs / timerIntervalMs);
    }

    setPeakHoldTicks();

    if (settings.logFilePath != reportViewer.appliedLogFilePath)
    {
        reportViewer.appliedLogFilePath = settings.logFilePath;
        reportViewer.folderEditor.setText (settings.logFilePath, false);
        // The folder the next measurement writes to, a relative path included;
        // the running one keeps its start and its files.
        reportViewer.directoryList.setDirectory (
            OvrajuceLoudnessAudioProcessor::getLogFolder (settings.logFilePath), true, true);
    }

    if (settings.logFileName != reportViewer.appliedLogFileName)
    {
        reportViewer.appliedLogFileName = settings.logFileName;
        reportViewer.nameEditor.setText (settings.logFileName, false);
    }
}

void OvrajuceLoudnessAudioProcessorEditor::setShortTermRange (double minimum, double maximum)
{
    // Set on every tick; the slider redraws its text on each new range.
    if (shortTermMaxSlider.getMinimum() != minimum || shortTermMaxSlider.getMaximum() != maximum)
        shortTermMaxSlider.setRange (minimum, maximum, 1.0);
}

std::array<OvrajuceLoudnessAudioProcessorEditor::PictureButton*, LoudnessStandard::count>
OvrajuceLoudnessAudioProcessorEditor::standardButtons() noexcept
{
    return { &ebuButton, &atscButton, &aribButton };
}

int OvrajuceLoudnessAudioProcessorEditor::standardShown() noexcept
{
    const auto buttons = standardButtons();
    const auto on =
        std::find_if (buttons.begin(), buttons.end(), [] (auto* b) { return b->getToggleState(); });
    return on == buttons.end() ? -1 : (int) (on - buttons.begin());
}

void OvrajuceLoudnessAudioProcessorEditor::showUnitPictures (const juce::String& unit)
{
    // The pictures are named after the unit word they show: "bLufs", "bLkfsOn".
    const auto off = "b" + unit.substring (0, 1) + unit.substring (1).toLowerCase();
    const auto on = off + "On";
    setPictures (lufsButton, { off.toRawUTF8(), "", on.toRawUTF8(), "", "bLkfs", "bLkfsOn" });
}

//==============================================================================
int OvrajuceLoudnessAudioProcessorEditor::unitLabelCode (bool ebuOn, bool scaleAOn, bool scaleBOn,
                                                         bool lufsOn, bool luOn) noexcept
{
    return (ebuOn ? 0 : 1) + 2 * (scaleAOn ? 1 : 0) + 4 * (scaleBOn ? 1 : 0) + 8 * (lufsOn ? 1 : 0)
           + 16 * (luOn ? 1 : 0);
}

juce::StringArray OvrajuceLoudnessAudioProcessorEditor::unitCaptions (int code)
{
    switch (code)
    {
        case 10:
        case 12:
            return captionsIn (LoudnessStandard::all[LoudnessStandard::ebu].unit);
        case 11:
        case 13:
            return captionsIn (LoudnessStandard::all[LoudnessStandard::atsc].unit);
        case 18:
        case 19:
        case 20:
        case 21:
            return captionsIn (LoudnessStandard::relativeUnit);
        default:
            return {};
    }
}

juce::StringArray OvrajuceLoudnessAudioProcessorEditor::captionsIn (const juce::String& unit)
{
    return { "SL  " + unit, "IL  " + unit, "ML    " + unit, "Short term max. level   [" + unit + "]" };
}

void OvrajuceLoudnessAudioProcessorEditor::updateUnitLabels()
{
    const int code =
        unitLabelCode (ebuButton.getToggleState(), scaleButtonA.getToggleState(),
                       scaleButtonB.getToggleState(), lufsButton.getToggleState(), luButton.getToggleState());

    // Run on every tick: the captions are made only for a new code.
    if (const auto captions = code != unitLabelState ? unitCaptions (code) : juce::StringArray();
        ! captions.isEmpty())
    {
        struct Look
        {
            const char* scale;
            int shortTermX, integratedX, momentaryX;
        };
        const Look look = code == 10   ? Look { "sLufsEbu9", 20, 18, 32 }
                          : code == 11 ? Look { "sLkfs9", 21, 18, 32 }
                          : code == 12 ? Look { "sLufsEbu18", 21, 18, 32 }
                          : code == 13 ? Look { "sLkfs18", 21, 18, 32 }
                          : code <= 19 ? Look { "sLu9", 29, 28, 41 }
                                       : Look { "sLu18", 29, 28, 41 };

        loudnessScaleImage.setImage (picture (look.scale));
        loudnessScaleImage.repaint();
        setText (shortTermUnitLabel, captions[0]);
        setText (integratedUnitLabel, captions[1]);
        setText (momentaryUnitLabel, captions[2]);
        setText (shortTermMaxCaption, captions[3]);

        const auto at = [] (juce::Label& caption, int dx, int dy, int w, int h) {
            return juce::Rectangle<int> (caption.getX() + dx, caption.getY() + dy, w, h);
        };
        move (shortTermUnitMark, at (shortTermUnitLabel, look.shortTermX, 5, readoutBox[2].getWidth(), 24));
        move (integratedUnitMark,
              at (integratedUnitLabel, look.integratedX, 10, readoutBox[1].getWidth(), 16));
        move (momentaryUnitMark, at (momentaryUnitLabel, look.momentaryX, 11, 20, 14));
        unitLabelState = code;
    }

    const int code2 = code + 32 * (soundFieldSourceSwitch.getToggleState() ? 0 : 1);
    if (code2 != soundFieldScaleState)
    {
        const bool loudnessScale = ! unitCaptions (code2).isEmpty();
        soundField.setScale (loudnessScale ? code2 : 4);
        soundFieldScaleState = code2;
    }

    const int reference = refLevelButtonA.getToggleState() ? 1 : 0;
    if (reference != refLevelImageState)
    {
        truePeakFace.setImage (picture (reference == 1 ? "sDbtp18" : "sDbtp20"));
        refLevelImageState = reference;
    }
}

void OvrajuceLoudnessAudioProcessorEditor::setStandardTexts()
{
    const auto index = standardShown();
    if (index < 0)
        return;

    setText (modeValueLabel, LoudnessStandard::all[(size_t) index].name);
    modeValueLabel.setColour (juce::Label::textColourId, gatingButton.getToggleState() ? red : green);
}

void OvrajuceLoudnessAudioProcessorEditor::setPeakHoldTicks()
{
    overloadHoldSeconds = (float) overloadHoldSlider.getValue();
    overloadHoldEnabled = overloadHoldSeconds != 0.0f;
    if (overloadHoldEnabled)
        overloadHoldTicks = (int) (overloadHoldSeconds * 1000.0f / (float) timerIntervalMs);
}
