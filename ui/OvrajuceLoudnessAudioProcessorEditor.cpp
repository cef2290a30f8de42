#include "OvrajuceLoudnessAudioProcessorEditor.h"

#include <BinaryData.h>

const juce::Colour OvrajuceLoudnessAudioProcessorEditor::green (palette[3]);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::red (palette[4]);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::yellow (0xffffff00);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::dimGrey (0xff555555);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::white (0xffffffff);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::black (0xff000000);

//==============================================================================
OvrajuceLoudnessAudioProcessorEditor::OvrajuceLoudnessAudioProcessorEditor (
    OvrajuceLoudnessAudioProcessor& owner, juce::AudioDeviceManager* devices)
    : juce::AudioProcessorEditor (owner)
    , processor (owner)
    , deviceManager (devices)
    , editorFont (juce::Typeface::createSystemTypefaceFor (BinaryData::LatoReg_ttf,
                                                           (size_t) BinaryData::LatoReg_ttfSize))
    , momentaryVU (picture ("blackMomentaryVU"), picture ("blueMomentaryVU"))
    , loudnessRangeBar (picture ("blackRangeVU"), picture ("blueRangeVU"))
    , shortTermArrow (picture ("blackArrowVU"), picture ("LoudnessArrowBlue"))
    , soundField (black, juce::Colour (0xfff5f5f5), green, red, editorFont)
    , vectroscope (&owner.scopeFeed, green, white, black)
    , repaintGate (new RepaintGate (*this))
{
    // Black everywhere: nothing behind the editor needs painting.
    setOpaque (true);
    setCachedComponentImage (repaintGate);

    // The panels first, so that each child lands on the panel it belongs to
    // in the order that keeps overlapping ones clickable; the buttons last,
    // the lock toggle above the lock overlay.
    buildPanels();
    buildTopBar();
    buildLoudnessMeters();
    buildReadouts();
    buildTruePeak();
    buildSettings();
    buildScopes();
    buildButtons();

    // Each box reports its choice once the message loop runs. The loudness
    // box starts at the restored source, which its report would otherwise
    // overwrite with "True Peak" on every start.
    displayCombo.setSelectedId (1, juce::sendNotificationAsync);
    loudnessCombo.setSelectedId (processor.settings.vectroscopeInputDataFlag == 1.0f ? 2 : 1,
                                 juce::sendNotificationAsync);
    channelsCombo.setSelectedId (1, juce::sendNotificationAsync);

    localAddresses = juce::IPAddress::getAllAddresses();
    setText (ipAddressLabel,
             (localAddresses.isEmpty() ? juce::IPAddress() : localAddresses.getLast()).toString());

    reportViewer.addChangeListener (this);

    setSize (editorWidth, editorHeight);
    resized();
    startTimer (timerIntervalMs);
    updateUnitLabels();
    setPeakHoldTicks();
    setStandardTexts();

    vectorThread.startThread();
    vectorThread.addTimeSliceClient (&vectroscope);
}

OvrajuceLoudnessAudioProcessorEditor::~OvrajuceLoudnessAudioProcessorEditor()
{
    // The vectroscope's slices read it and the feed: they end before anything goes.
    vectorThread.stopThread (vectorThreadStopTimeoutMs);
    vectorThread.removeTimeSliceClient (&vectroscope);
    stopTimer();
    reportViewer.removeChangeListener (this);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::paint (juce::Graphics& g) { g.fillAll (black); }

void OvrajuceLoudnessAudioProcessorEditor::resized()
{
    // The layout is fixed: any other size asked for is put back.
    if (getWidth() != editorWidth || getHeight() != editorHeight)
    {
        setSize (editorWidth, editorHeight);
        return;
    }

    for (const auto& placement : layout)
        placement.component->setBounds (placement.bounds);
}

void OvrajuceLoudnessAudioProcessorEditor::place (juce::Component& child, juce::Component& parent,
                                                  juce::Rectangle<int> bounds)
{
    parent.addAndMakeVisible (child);
    layout.push_back ({ &child, bounds });
    child.setBounds (bounds);
}

void OvrajuceLoudnessAudioProcessorEditor::move (juce::Component& child, juce::Rectangle<int> bounds)
{
    for (auto& placement : layout)
        if (placement.component == &child)
            placement.bounds = bounds;

    child.setBounds (bounds);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::showMode (int mode)
{
    displayMode = mode;
    updatePanelVisibility();

    // The scope's trail was not kept while its view was away.
    if (isVectroscopeShown())
        vectroscope.refresh();
}

void OvrajuceLoudnessAudioProcessorEditor::updatePanelVisibility()
{
    if (displayMode < 1 || displayMode > 4)
        return;

    const bool meters = displayMode == 1;
    for (auto* c :
         std::initializer_list<juce::Component*> { &loudnessMeterPanel, &timePanel, &scopePanel, &peakPanel,
                                                   &truePeakPanel, &startButton, &resetButton })
        c->setVisible (meters);

    settingsPanel.setVisible (displayMode == 2);
    reportViewer.setVisible (displayMode == 3);
    if (displayMode == 4)
        createDeviceSelector();
    if (deviceSelector != nullptr)
        deviceSelector->setVisible (displayMode == 4);
    metersButton.setVisible (! meters);
    deviceButton.setVisible (! meters);
}

void OvrajuceLoudnessAudioProcessorEditor::createDeviceSelector()
{
    // Built when first shown rather than with the editor: a selector applies
    // its channel choice again wherever the open channels differ from it (a
    // JACK device counts a port that another program connects as open), and
    // a view the user never opened must not reopen the device.
    if (deviceSelector != nullptr || deviceManager == nullptr)
        return;

    deviceSelector = std::make_unique<OVRAAudioDeviceSelectorComponent> (
        *deviceManager, processor.getTotalNumInputChannels(), processor.getTotalNumInputChannels(),
        processor.getTotalNumOutputChannels(), processor.getTotalNumOutputChannels(), &processor);
    place (*deviceSelector, *this, { 0, 100, 1024, 608 });
    deviceSelector->toBack(); // under the panels
}
