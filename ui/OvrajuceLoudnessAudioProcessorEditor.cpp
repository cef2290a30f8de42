#include "OvrajuceLoudnessAudioProcessorEditor.h"

#include "OVRASocketConnectionWrapper.h"

#include <BinaryData.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{
const juce::Colour white (0xffffffff);
const juce::Colour black (0xff000000);

constexpr int viewButtonGroup = 73333;
constexpr int standardGroup = 65233;
constexpr int scaleGroup = 65232;
constexpr int unitGroup = 65231;
constexpr int referenceGroup = 65230;
constexpr int stereoGroup = 30009;

constexpr int remoteTimerIntervalMs = 100;
constexpr const char* versionText = "2.0.2";
constexpr int buildNumber = 506;

const char* const truePeakLabelNames[] = { "TPLeftDisplay", "TPRightDisplay", "TPCenterDisplay",
                                           "TPLFEDisplay",  "TPLeftSDisplay", "TPRightSDisplay" };

// The true-peak bars inside their face; each overload lamp sits above its bar.
constexpr int truePeakBarX[] = { 66, 106, 146, 185, 225, 265 };
const juce::Point<int> truePeakFaceOrigin (5, 8);

// The correlation meters' places, in the processor's pair order.
const juce::Rectangle<int> correlationBounds[] = { { 4, 355, 292, 37 },   { 4, 390, 130, 37 },
                                                   { 166, 390, 130, 37 }, { 4, 425, 292, 37 },
                                                   { 4, 460, 130, 37 },   { 166, 460, 130, 37 } };

/** An embedded picture by its file name without ".png". */
juce::Image picture (const char* name)
{
    int size = 0;
    const auto resource = juce::String (name) + "_png";
    const auto* data = BinaryData::getNamedResource (resource.toRawUTF8(), size);
    jassert (data != nullptr);
    return data == nullptr ? juce::Image() : juce::ImageCache::getFromMemory (data, size);
}

std::unique_ptr<juce::Drawable> drawable (const char* name)
{
    if (name == nullptr)
        return {};

    auto image = std::make_unique<juce::DrawableImage>();
    image->setImage (picture (name));
    return image;
}

/** Pictures by state: normal, over, down, disabled, normal-on, over-on,
    down-on, disabled-on; nullptr for none. */
void setPictures (juce::DrawableButton& button, std::array<const char*, 8> names)
{
    std::array<std::unique_ptr<juce::Drawable>, 8> d;
    for (size_t i = 0; i < names.size(); ++i)
        d[i] = drawable (names[i]);

    button.setImages (d[0].get(), d[1].get(), d[2].get(), d[3].get(), d[4].get(), d[5].get(), d[6].get(),
                      d[7].get());
}

void setText (juce::Label& label, const juce::String& text)
{
    label.setText (text, juce::dontSendNotification);
}
} // namespace

const juce::Colour OvrajuceLoudnessAudioProcessorEditor::green (palette[3]);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::red (palette[4]);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::yellow (0xffffff00);
const juce::Colour OvrajuceLoudnessAudioProcessorEditor::dimGrey (0xff555555);

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
{
    // Top bar
    place (logoImage, topBar, { 35, 35, 116, 36 });
    logoImage.setImage (picture ("logo"));

    setUpButton (startButton, topBar, { 232, 0, 100, 100 }, true);
    setPictures (startButton,
                 { "bStart", "bStartOver", nullptr, nullptr, "bStartOn", "bStartOn", nullptr, nullptr });
    startButton.addShortcut (juce::KeyPress (juce::KeyPress::spaceKey));
    setUpButton (metersButton, topBar, { 232, 0, 100, 100 }, true, viewButtonGroup);
    setPictures (metersButton,
                 { "bMeters", "bMetersOver", nullptr, nullptr, "bMetersOn", nullptr, nullptr, nullptr });
    metersButton.setVisible (false);
    setUpButton (resetButton, topBar, { 346, 0, 100, 100 }, false);
    setPictures (resetButton,
                 { "bReset", "bResetOver", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr });
    setUpButton (deviceButton, topBar, { 346, 0, 100, 100 }, true, viewButtonGroup);
    setPictures (deviceButton,
                 { "bDevice", "bDeviceOver", nullptr, nullptr, "bDeviceOn", nullptr, nullptr, nullptr });
    deviceButton.setVisible (false);
    setUpButton (settingsButton, topBar, { 460, 0, 100, 100 }, true, viewButtonGroup);
    setPictures (settingsButton, { "bSettings", "bSettingsOver", nullptr, nullptr, "bSettingsOn", nullptr,
                                   nullptr, nullptr });
    setUpButton (reportsButton, topBar, { 574, 0, 100, 100 }, true, viewButtonGroup);
    setPictures (reportsButton,
                 { "bReports", "bReportsOver", nullptr, nullptr, "bReportsOn", nullptr, nullptr, nullptr });

    // Loudness meters
    place (loudnessScaleImage, loudnessMeterPanel, { 6, 5, 180, 493 });
    momentaryVU.setName ("VUMeter");
    place (momentaryVU, loudnessMeterPanel, { 67, 10, 34, 483 });
    loudnessRangeBar.setName ("LRVUMeter");
    place (loudnessRangeBar, loudnessMeterPanel, { 137, 12, 22, 483 });
    shortTermArrow.setName ("ArrowVUMeter");
    place (shortTermArrow, loudnessMeterPanel, { 161, 12, 24, 483 });
    // Their faces are opaque pictures of their full size: what lies behind
    // them need not be painted when they change.
    momentaryVU.setOpaque (true);
    loudnessRangeBar.setOpaque (true);

    // Read-outs
    setUpLabel (peakLabel, peakPanel, { 2, 6, 80, 24 }, "Peak", 20.0f);
    const std::array<const char*, 8> lampPictures { "bLamp",   nullptr, nullptr, "bLamp",
                                                    "bLampOn", nullptr, nullptr, nullptr };
    setUpButton (truePeakAlarmLamp, peakPanel, { 56, 13, 20, 9 }, true);
    setPictures (truePeakAlarmLamp, lampPictures);
    truePeakAlarmLamp.setEnabled (false);

    for (int k = 0; k < (int) readoutBox.size(); ++k)
    {
        place (readoutBox[(size_t) k], peakPanel, { 2, 45 + 120 * k, 76, 86 });
        readoutBox[(size_t) k].setImage (picture ("readoutBox"));
    }

    const auto centred = juce::Justification::centred;
    // As the first tick shows them: EBU's unit, the momentary in LU.
    const auto absoluteCaptions = captionsIn (LoudnessStandard::all[LoudnessStandard::ebu].unit);
    setUpLabel (modeValueLabel, readoutBox[0], { 0, 9, 76, 24 }, {}, 25.0f, centred);
    setUpLabel (modeLabel, readoutBox[0], { 0, 52, 76, 24 }, "Mode", 18.0f, centred);
    setUpLabel (integratedValueLabel, readoutBox[1], { 0, 9, 76, 25 }, {}, 25.0f, centred);
    setUpLabel (integratedUnitLabel, readoutBox[1], { 0, 55, 76, 18 }, absoluteCaptions[1], 18.0f, centred);
    setUpLabel (integratedUnitMark, readoutBox[1], { 19, 65, 76, 16 }, "k", 11.0f);
    setUpLabel (shortTermValueLabel, readoutBox[2], { 0, 9, 76, 25 }, {}, 25.0f, centred);
    setUpLabel (shortTermUnitLabel, readoutBox[2], { 0, 55, 76, 18 }, absoluteCaptions[0], 18.0f, centred);
    setUpLabel (shortTermUnitMark, readoutBox[2], { 21, 60, 76, 24 }, "k", 11.0f);
    setUpLabel (loudnessRangeValueLabel, readoutBox[3], { 0, 9, 76, 24 }, {}, 25.0f, centred);
    setUpLabel (loudnessRangeUnitLabel, readoutBox[3], { 0, 52, 76, 24 }, "LRA " + juce::String (LoudnessStandard::relativeUnit), 18.0f,
                centred);

    place (momentaryBox, timePanel, { 42, 16, 101, 61 });
    momentaryBox.setImage (picture ("momentaryBox"));
    setUpLabel (momentaryValueLabel, momentaryBox, { 0, 6, 101, 24 }, "-", 19.0f, centred);
    setUpLabel (momentaryUnitLabel, momentaryBox, { 0, 36, 101, 24 }, captionsIn (LoudnessStandard::relativeUnit)[2], 20.0f,
                centred);
    setUpLabel (momentaryUnitMark, momentaryBox, { 29, 47, 20, 14 }, "k", 14.0f);
    setUpLabel (timecodeLabel, timePanel, { 177, 13, 145, 23 }, "00:00:00:00", 23.0f, centred);
    setUpLabel (timeLabel, timePanel, { 177, 50, 145, 25 }, "Time", 25.0f, centred);

    // True peak
    place (truePeakFace, truePeakPanel, { truePeakFaceOrigin.x, truePeakFaceOrigin.y, 355, 494 });

    for (int k = 0; k < 6; ++k)
    {
        auto& vu =
            *truePeakVU.emplace_back (std::make_unique<OVRAJuceVU> (picture ("blackTPVU"), green, red, 0.5f));
        vu.setName ("VUMeter");
        vu.setAttack (0.0001f);
        vu.setReleaseTime (0.0002f);
        vu.setBallistics (true);
        place (vu, truePeakFace, { truePeakBarX[k], 8, 20, 480 });
        vu.setOpaque (true);

        auto& lamp = overloadLamp[(size_t) k];
        setUpButton (lamp, truePeakPanel, { truePeakFaceOrigin.x + truePeakBarX[k], 0, 20, 9 }, true);
        setPictures (lamp, lampPictures);
        lamp.setEnabled (false);

        auto& box = truePeakBox[(size_t) k];
        place (box, truePeakPanel, { 20 + 55 * k, 528, 48, 60 });
        box.setImage (picture ("truePeakBox"));

        auto& value = truePeakValueLabel[(size_t) k];
        setUpLabel (value, box, { 0, 7, 48, 17 }, {}, 17.0f, centred);
        value.setName (truePeakLabelNames[k]);
        value.setEditable (false);
        setUpLabel (channelNameLabel[(size_t) k], box, { 0, 37, 48, 17 }, Slots::names[(size_t) k], 24.0f,
                    centred);
        channelNameLabel[(size_t) k].setEditable (false);
    }

    // Settings
    setUpLabel (standardCaption, settingsPanel, { 55, 5, 400, 16 }, "Loudness Metering Mode", 16.0f);
    setUpButton (ebuButton, settingsPanel, { 55, 30, 75, 75 }, true, standardGroup);
    setPictures (ebuButton, { "bEbu", nullptr, nullptr, nullptr, "bEbuOn", nullptr, nullptr, nullptr });
    setUpButton (atscButton, settingsPanel, { 155, 30, 75, 75 }, true, standardGroup);
    setPictures (atscButton, { "bAtsc", nullptr, nullptr, nullptr, "bAtscOn", nullptr, nullptr, nullptr });
    setUpButton (aribButton, settingsPanel, { 255, 30, 75, 75 }, true, standardGroup);
    setPictures (aribButton, { "bArib", nullptr, nullptr, nullptr, "bAribOn", nullptr, nullptr, nullptr });

    setUpLabel (scaleCaption, settingsPanel, { 368, 5, 100, 16 }, "Scale", 16.0f);
    setUpButton (scaleButtonA, settingsPanel, { 368, 30, 75, 75 }, true, scaleGroup);
    setPictures (scaleButtonA,
                 { "bScale9", nullptr, nullptr, nullptr, "bScale9On", nullptr, nullptr, nullptr });
    setUpButton (scaleButtonB, settingsPanel, { 468, 30, 75, 75 }, true, scaleGroup);
    setPictures (scaleButtonB,
                 { "bScale18", nullptr, nullptr, nullptr, "bScale18On", nullptr, nullptr, nullptr });

    setUpLabel (unitCaption, settingsPanel, { 581, 5, 100, 16 }, "Units", 16.0f);
    setUpButton (lufsButton, settingsPanel, { 581, 30, 75, 75 }, true, unitGroup);
    setPictures (lufsButton, { "bLufs", nullptr, nullptr, "bLkfs", "bLufsOn", nullptr, nullptr, "bLkfsOn" });
    setUpButton (luButton, settingsPanel, { 681, 30, 75, 75 }, true, unitGroup);
    setPictures (luButton, { "bLu", nullptr, nullptr, nullptr, "bLuOn", nullptr, nullptr, nullptr });

    setUpLabel (referenceCaption, settingsPanel, { 794, 5, 340, 16 }, "True peak ref. level", 16.0f);
    setUpButton (refLevelButtonA, settingsPanel, { 794, 30, 75, 75 }, true, referenceGroup);
    setPictures (refLevelButtonA,
                 { "bRef18", nullptr, nullptr, nullptr, "bRef18On", nullptr, nullptr, nullptr });
    setUpButton (refLevelButtonB, settingsPanel, { 894, 30, 75, 75 }, true, referenceGroup);
    setPictures (refLevelButtonB,
                 { "bRef20", nullptr, nullptr, nullptr, "bRef20On", nullptr, nullptr, nullptr });

    setUpButton (gatingButton, settingsPanel, { 85, 135, 32, 32 }, true);
    setPictures (gatingButton, { "bGating", "bGatingOver", nullptr, nullptr, "bGatingOn", "bGatingOverOn",
                                 nullptr, nullptr });
    gatingButton.setToggleState (true, juce::dontSendNotification);
    setUpLabel (gatingCaption, settingsPanel, { 130, 140, 360, 18 }, "Integrated loudness gatting off",
                18.0f);

    setUpLabel (truePeakMaxCaption, settingsPanel, { 87, 195, 396, 18 }, "True peak max. level   [" + juce::String (LoudnessStandard::truePeakUnit) + "]", 18.0f);
    setUpSlider (truePeakMaxSlider, { 85, 220, 396, 30 }, -12.0, 0.0);
    setUpLabel (shortTermMaxCaption, settingsPanel, { 87, 275, 396, 18 }, absoluteCaptions[3], 18.0f);
    setUpSlider (shortTermMaxSlider, { 85, 300, 396, 30 }, 0.0, 24.0);
    setUpLabel (peakHoldCaption, settingsPanel, { 87, 355, 396, 18 }, "Peak hold   [sec]", 18.0f);
    setUpSlider (peakHoldSlider, { 85, 380, 396, 30 }, 0.0, 10.0);
    setUpLabel (overloadHoldCaption, settingsPanel, { 87, 435, 396, 18 }, "Overload hold   [sec]", 18.0f);
    setUpSlider (overloadHoldSlider, { 85, 460, 396, 30 }, 0.0, 10.0);

    setUpLabel (connectionCaption, settingsPanel, { 540, 195, 400, 18 }, "Connection Settings", 18.0f);
    setUpLabel (addressCaption, settingsPanel, { 540, 245, 150, 18 }, "Your IP:", 18.0f);
    setUpLabel (ipAddressLabel, settingsPanel, { 540, 265, 150, 18 }, "this is your ip", 18.0f);
    setUpLabel (portCaption, settingsPanel, { 540, 328, 150, 18 }, "Port", 18.0f);
    setUpTextEditor (portEditor, { 540, 353, 256, 30 });
    portEditor.setInputRestrictions (10);
    setUpButton (connectButton, settingsPanel, { 796, 353, 82, 30 }, true);
    setPictures (connectButton, { "bConnect", "bConnectOver", nullptr, nullptr, "bConnectOn",
                                  "bConnectOverOn", nullptr, nullptr });
    connectButton.setTooltip ("use the same port in your remote iPad app");
    setUpLabel (passwordCaption, settingsPanel, { 540, 435, 150, 18 }, "Admin Password", 18.0f);
    setUpTextEditor (passwordEditor, { 540, 460, 256, 30 });
    passwordEditor.setPasswordCharacter ((juce::juce_wchar) 0x25cf);
    setUpButton (passwordButton, settingsPanel, { 796, 460, 82, 30 }, true);
    setPictures (passwordButton,
                 { "bSave", "bSaveOver", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr });

    for (auto* link : { &contactLink, &guideLink })
    {
        link->setFont (latoFont (18.0f), false, juce::Justification::centred);
        link->addListener (this);
    }
    place (contactLink, settingsPanel, { 365, 585, 120, 18 });
    place (guideLink, settingsPanel, { 540, 585, 120, 18 });

    setUpLabel (productLabel, settingsPanel, { 87, 565, 250, 18 }, "ZELx 5.1", 18.0f);
    productLabel.setFont (juce::Font (18.0f));
    setUpLabel (versionLabel, settingsPanel, { 87, 585, 250, 16 },
                "Version:" + juce::String (versionText) + " 64b" + " Build:" + juce::String (buildNumber),
                16.0f);
    setUpLabel (noticeLabel, settingsPanel, { 682, 585, 250, 16 },
                juce::String::fromUTF8 ("\xc2\xa9 Tamvo - ")
                    + juce::String (juce::Time::getCurrentTime().getYear()),
                16.0f);

    // Scopes
    soundField.setAttack (0.0001f);
    soundField.setReleaseTime (0.0002f);
    place (soundField, scopePanel, { 9, 15, 283, 283 });
    setUpLabel (displayCaption, scopePanel, { 4, 302, 120, 16 }, "Display:", 14.0f);
    setUpCombo (displayCombo, { 67, 304, 93, 14 }, { "Sound Field", "Vectorscope" });
    setUpLabel (channelsCaption, scopePanel, { 166, 302, 120, 16 }, "Channels:", 14.0f);
    channelsCaption.setColour (juce::Label::textColourId, dimGrey);
    setUpCombo (channelsCombo, { 229, 304, 60, 14 }, { "L/R", "L/LS", "R/RS" });
    channelsCombo.setEnabled (false);
    setUpLabel (loudnessCaption, scopePanel, { 4, 327, 120, 16 }, "Loudness:", 14.0f);
    setUpCombo (loudnessCombo, { 67, 329, 93, 14 }, { "True Peak", "Mom. Loudness" });

    for (int k = 0; k < 6; ++k)
    {
        const auto bounds = correlationBounds[k];
        auto& meter = *correlationMeter.emplace_back (std::make_unique<OVRACorrelationMeter> (
            bounds.getWidth(), black, juce::Colour (0xffff0000), green, yellow, juce::Colour (palette[1]),
            editorFont, Slots::captions[(size_t) Slots::correlationPairs[(size_t) k].first],
            Slots::captions[(size_t) Slots::correlationPairs[(size_t) k].second]));
        meter.setAttack (0.0001f);
        meter.setReleaseTime (k == 3 ? 0.0004f : 0.0002f);
        place (meter, scopePanel, bounds);
    }

    setUpButton (fiveOneButton, scopePanel, { 7, 528, 124, 60 }, true, stereoGroup);
    setPictures (fiveOneButton,
                 { "b5_1", nullptr, nullptr, "b5_1Disabled", "b5_1On", nullptr, nullptr, "b5_1Disabled" });
    setUpButton (stereoButton, scopePanel, { 166, 528, 124, 60 }, true, stereoGroup);
    setPictures (stereoButton, { "bStereo", nullptr, nullptr, "bStereoDisabled", "bStereoOn", nullptr,
                                 nullptr, "bStereoDisabled" });

    // The switch holds the sound field's source; it is never laid out.
    setUpButton (soundFieldSourceSwitch, scopePanel, {}, true);
    setPictures (soundFieldSourceSwitch, { "bSourceSwitch", "bSourceSwitchOver", nullptr, nullptr,
                                           "bSourceSwitchOn", "bSourceSwitchOverOn", nullptr, nullptr });
    setUpLabel (truePeakSourceCaption, scopePanel, {}, "True Peak", 14.0f);
    setUpLabel (momentarySourceCaption, scopePanel, {}, "Mom. Loud.", 14.0f);
    momentarySourceCaption.setColour (juce::Label::textColourId, dimGrey);

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

    place (loudnessMeterPanel, *this, { 0, 140, 205, 510 });
    place (peakPanel, *this, { 225, 140, 80, 510 });
    place (truePeakPanel, *this, { 651, 140, 370, 600 });
    place (topBar, *this, { 0, 0, 1024, 100 });
    place (settingsPanel, *this, { 0, 160, 1024, 608 });
    place (reportViewer, *this, { 0, 100, 1024, 708 });
    auto& limitSlider = reportViewer.limitSlider;
    limitSlider.setColour (juce::Slider::backgroundColourId, juce::Colour (accent[2]));
    limitSlider.setColour (juce::Slider::thumbColourId, juce::Colour (accent[0]));
    limitSlider.setColour (juce::Slider::textBoxTextColourId, white);
    reportViewer.addChangeListener (this);
    place (timePanel, *this, { 0, 650, 323, 100 });
    place (scopePanel, *this, { 336, 140, 300, 600 });
    settingsPanel.setVisible (false);
    reportViewer.setVisible (false);

    setSize (editorWidth, editorHeight);
    resized();
    startTimer (timerIntervalMs);
    updateUnitLabels();
    setPeakHoldTicks();
    setStandardTexts();

    vectroscope.setYChannel ("L");
    vectroscope.setXChannel ("R");
    vectroscope.setLogarithmic (false);
    place (vectroscope, scopePanel, { 9, 6, 283, 283 });
    vectorThread.startThread();
    vectorThread.addTimeSliceClient (&vectroscope);
    soundField.setVisible (true);
    vectroscope.setVisible (false);

    place (lockOverlay, *this, { 0, 0, editorWidth, editorHeight });
    lockOverlay.setVisible (false);
    setPictures (lockButton, { "bLock", nullptr, nullptr, "bLock", "bUnlock", nullptr, nullptr, nullptr });
    setUpButton (lockButton, *this, { 688, 0, 100, 100 }, true);
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

juce::Font OvrajuceLoudnessAudioProcessorEditor::latoFont (float height) const
{
    auto font = editorFont;
    font.setSizeAndStyle (height, juce::Font::plain, 1.0f, 0.0f);
    return font;
}

void OvrajuceLoudnessAudioProcessorEditor::setUpLabel (juce::Label& label, juce::Component& parent,
                                                       juce::Rectangle<int> bounds, const juce::String& text,
                                                       float fontHeight, juce::Justification justification)
{
    label.setText (text, juce::dontSendNotification);
    label.setFont (latoFont (fontHeight));
    label.setJustificationType (justification);
    label.setColour (juce::Label::textColourId, white);
    label.setEditable (false);
    place (label, parent, bounds);
}

void OvrajuceLoudnessAudioProcessorEditor::setUpButton (juce::DrawableButton& button, juce::Component& parent,
                                                        juce::Rectangle<int> bounds, bool toggles,
                                                        int radioGroup)
{
    button.setClickingTogglesState (toggles);
    if (radioGroup != 0)
        button.setRadioGroupId (radioGroup);
    button.addListener (this);
    place (button, parent, bounds);
}

void OvrajuceLoudnessAudioProcessorEditor::setUpSlider (juce::Slider& slider, juce::Rectangle<int> bounds,
                                                        double minimum, double maximum)
{
    slider.setSliderStyle (juce::Slider::LinearBar);
    slider.setTextBoxIsEditable (true);
    slider.setRange (minimum, maximum, 1.0);
    slider.setColour (juce::Slider::backgroundColourId, juce::Colour (accent[2]));
    slider.setColour (juce::Slider::thumbColourId, juce::Colour (accent[0]));
    slider.setColour (juce::Slider::textBoxTextColourId, white);
    slider.setLookAndFeel (&lookAndFeel);
    slider.addListener (this);
    place (slider, settingsPanel, bounds);
}

void OvrajuceLoudnessAudioProcessorEditor::setUpCombo (juce::ComboBox& combo, juce::Rectangle<int> bounds,
                                                       const juce::StringArray& items)
{
    combo.addItemList (items, 1);
    combo.setLookAndFeel (&lookAndFeel);
    combo.addListener (this);
    place (combo, scopePanel, bounds);
}

void OvrajuceLoudnessAudioProcessorEditor::setUpTextEditor (juce::TextEditor& editor,
                                                            juce::Rectangle<int> bounds)
{
    editor.setColour (juce::TextEditor::backgroundColourId, juce::Colour (palette[0]));
    editor.setColour (juce::TextEditor::outlineColourId, juce::Colour (palette[1]));
    editor.setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (palette[1]));
    editor.setColour (juce::TextEditor::textColourId, black);
    editor.addListener (this);
    place (editor, settingsPanel, bounds);
}

void OvrajuceLoudnessAudioProcessorEditor::setShortTermRange (double minimum, double maximum)
{
    // Set on every tick; the slider redraws its text on each new range.
    if (shortTermMaxSlider.getMinimum() != minimum || shortTermMaxSlider.getMaximum() != maximum)
        shortTermMaxSlider.setRange (minimum, maximum, 1.0);
}

void OvrajuceLoudnessAudioProcessorEditor::showUnitPictures (const juce::String& unit)
{
    // The pictures are named after the unit word they show: "bLufs", "bLkfsOn".
    const auto off = "b" + unit.substring (0, 1) + unit.substring (1).toLowerCase();
    const auto on = off + "On";
    setPictures (lufsButton,
                 { off.toRawUTF8(), nullptr, nullptr, "bLkfs", on.toRawUTF8(), nullptr, nullptr, "bLkfsOn" });
}

std::array<juce::DrawableButton*, LoudnessStandard::count> OvrajuceLoudnessAudioProcessorEditor::standardButtons()
{
    return { &ebuButton, &atscButton, &aribButton };
}

int OvrajuceLoudnessAudioProcessorEditor::standardShown()
{
    const auto buttons = standardButtons();
    const auto on = std::find_if (buttons.begin(), buttons.end(), [] (auto* b) { return b->getToggleState(); });
    return on == buttons.end() ? -1 : (int) (on - buttons.begin());
}

const LoudnessStandard& OvrajuceLoudnessAudioProcessorEditor::rowOf (bool ebu) noexcept
{
    // ATSC and ARIB share their levels: the other standards' row.
    return LoudnessStandard::all[ebu ? LoudnessStandard::ebu : LoudnessStandard::atsc];
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

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
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

void OvrajuceLoudnessAudioProcessorEditor::showMode (int mode)
{
    displayMode = mode;
    updatePanelVisibility();
}

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
        remoteServerNotice.update (started.failed(), started.getErrorMessage());

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

void OvrajuceLoudnessAudioProcessorEditor::comboBoxChanged (juce::ComboBox* combo)
{
    const int selection = combo->getSelectedId();

    if (combo == &displayCombo)
    {
        const bool vectorscopeShown = selection == 2;
        if (selection != 1 && ! vectorscopeShown)
            return;

        vectroscope.setVisible (vectorscopeShown);
        soundField.setVisible (! vectorscopeShown);
        channelsCombo.setEnabled (vectorscopeShown);
        channelsCaption.setColour (juce::Label::textColourId, vectorscopeShown ? white : dimGrey);
        loudnessCombo.setEnabled (! vectorscopeShown);
        loudnessCaption.setColour (juce::Label::textColourId, vectorscopeShown ? dimGrey : white);
    }
    else if (combo == &channelsCombo)
    {
        static const char* const pairs[][2] = { { "L", "R" }, { "L", "LS" }, { "R", "RS" } };
        if (selection < 1 || selection > 3)
            return;

        vectroscope.setYChannel (pairs[selection - 1][0]);
        vectroscope.setXChannel (pairs[selection - 1][1]);
    }
    else if (combo == &loudnessCombo)
    {
        if (selection == 1 || selection == 2)
            processor.settings.vectroscopeInputDataFlag = (float) (selection - 1);
    }
}

void OvrajuceLoudnessAudioProcessorEditor::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    // The next measurement's files go where the viewer says.
    if (source == &reportViewer)
    {
        processor.settings.logFilePath = reportViewer.getLogFilePath();
        processor.settings.logFileName = reportViewer.getLogFileName();
    }
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::applySettings (const SettingsSnapshot& settings)
{
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

    switch ((int) std::lround (settings.measurementScale))
    {
        case 0:
            scaleButtonB.setToggleState (true, juce::dontSendNotification);
            break;
        case 1:
            scaleButtonA.setToggleState (true, juce::dontSendNotification);
            break;
        default:
            break;
    }

    switch ((int) std::lround (settings.measurementUnit))
    {
        case 0:
            lufsButton.setToggleState (true, juce::dontSendNotification);
            setShortTermRange (-24.0, 0.0);
            shortTermMaxSlider.setValue (settings.shtMaxLevel, juce::dontSendNotification);
            break;
        case 1:
            luButton.setToggleState (true, juce::dontSendNotification);
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

    switch ((int) std::lround (settings.truePeakRefLevel))
    {
        case 0:
            refLevelButtonA.setToggleState (true, juce::dontSendNotification);
            break;
        case 1:
            refLevelButtonB.setToggleState (true, juce::dontSendNotification);
            break;
        default:
            break;
    }

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
        if (vu->refreshIntervalMs != 0)
            vu->setHoldTicks (holdMs / vu->refreshIntervalMs);
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
    const auto captions = unitCaptions (code);

    if (code != unitLabelState && ! captions.isEmpty())
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

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::timerCallback()
{
    updatePanelVisibility();
    displayValues = processor.displaySnapshot;
    applySettings (processor.getSettings());

    // Every failure begun since the last tick gets its box, even one already
    // over: a new number means the files were fine in between.
    if (const auto& failures = processor.getLogWriteFailures();
        failures.getNumFailures() != toldLogWriteFailure)
    {
        const auto latest = failures.getLatest();
        toldLogWriteFailure = latest.number;
        logWriteNotice.succeeded();
        logWriteNotice.failed (latest.message + "\n\nThe measurement goes on, and writing is tried again.");
    }

    const double sampleRate = processor.lastSampleRate;
    updateTimeDisplay (displayValues.processedSamplesCounter, sampleRate);

    if (sampleRate != 0.0 && sampleRate != meterSampleRate)
    {
        for (auto& vu : truePeakVU)
            vu->setSampleRate (sampleRate);
        soundField.setSampleRate (sampleRate);
        for (auto& meter : correlationMeter)
            meter->setSampleRate (sampleRate);
        meterSampleRate = sampleRate;
    }

    momentaryVU.setLevel (displayValues.momentaryLoudnessPix);

    arrowLevel = juce::jlimit (0.0f, 1.0f, 0.1f * displayValues.arrowSliderValue + 0.9f * arrowLevel);
    shortTermArrow.setLevel (arrowLevel);

    rangeLow = juce::jlimit (0.0f, 1.0f, 0.1f * displayValues.loudnessRangeVectorMin + 0.9f * rangeLow);
    rangeHigh = juce::jlimit (0.0f, 1.0f, 0.1f * displayValues.loudnessRangeVectorMax + 0.9f * rangeHigh);
    loudnessRangeBar.setRange (rangeLow, rangeHigh);

    for (size_t k = 0; k < truePeakVU.size(); ++k)
        truePeakVU[k]->setLevel (displayValues.truePeakValuesPerChannelPix[k]);

    setLevelText (loudnessRangeValueLabel, displayValues.loudnessRange);
    updateLoudnessReadouts();

    for (size_t k = 0; k < correlationMeter.size(); ++k)
        correlationMeter[k]->setValue (displayValues.vurnCorr[k]);

    const auto& v = displayValues.vectroscopeValue;
    const auto soundFieldBefore = soundField.getLevels();
    soundField.setLevels (v[0], v[1], v[2], v[3], v[4], v[5]);
    soundField.pushLevels();

    vectroscope.repaint();
    checkStereoRouting();

    if (soundField.getLevels() != soundFieldBefore)
        soundField.repaintLevels();

    for (size_t k = 0; k < truePeakValueLabel.size(); ++k)
        setLevelText (truePeakValueLabel[k], displayValues.truePeakValuesPerChannel[k]);

    if (displayValues.truePeakAlarm == 1)
    {
        truePeakAlarmLamp.setEnabled (true);
        truePeakAlarmLamp.setToggleState (true, juce::dontSendNotification);
        for (size_t k = 0; k < overloadLamp.size(); ++k)
            if (displayValues.truePeakAlarmsPerChannel[k] == 1)
            {
                overloadLamp[k].setEnabled (true);
                overloadLamp[k].setToggleState (true, juce::dontSendNotification);
            }
    }
    else
    {
        clearOverloadLamps();
    }

    runOverloadHold();
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

void OvrajuceLoudnessAudioProcessorEditor::updateTimeDisplay (double samples, double sampleRate)
{
    setText (timecodeLabel, formatTimecode (samples, 0.0, sampleRate));
}

juce::String OvrajuceLoudnessAudioProcessorEditor::formatTimecode (double samples, double framesPerSecond,
                                                                   double sampleRate)
{
    // 64-bit throughout: a day of audio is far more than 2^31 samples. A
    // negative count reads as its magnitude behind a minus sign.
    const auto rate = (juce::int64) sampleRate;
    const double magnitude = std::abs (samples);
    juce::int64 hours = 0, minutes = 0, seconds = 0, last = 0;

    if (rate > 0)
    {
        const auto total = (juce::int64) (magnitude / sampleRate);
        hours = total / 3600;
        minutes = (total - hours * 3600) / 60;
        seconds = total % 60;

        if (framesPerSecond == 0.0)
            last = (juce::int64) ((double) ((juce::int64) magnitude % rate) / sampleRate * 1000.0);
        else
        {
            const auto samplesPerFrame =
                juce::jmax ((juce::int64) 1, (juce::int64) (sampleRate / framesPerSecond));
            last = ((juce::int64) magnitude / samplesPerFrame)
                   % juce::jmax ((juce::int64) 1, (juce::int64) framesPerSecond);
        }
    }

    const auto pad = [] (juce::int64 value, int digits) {
        return juce::String (value).paddedLeft ('0', digits);
    };
    return (samples < 0.0 ? "-" : "") + pad (hours, 2) + ":" + pad (minutes, 2) + ":" + pad (seconds, 2) + ":"
           + pad (last, framesPerSecond == 0.0 ? 3 : 2);
}

void OvrajuceLoudnessAudioProcessorEditor::setLevelText (juce::Label& label, float level)
{
    // Turning a number into text is the dearest part of a tick, and steady
    // readings repeat their levels tick after tick.
    const auto [shown, first] = shownLevels.try_emplace (&label, level);
    if (! first && shown->second == level)
        return;

    shown->second = level;
    setText (label, levelToText (level, {}));
}

juce::String OvrajuceLoudnessAudioProcessorEditor::levelToText (float level, const juce::String& unit)
{
    if (level <= -60.0f)
        return "-";

    return juce::String (level, 1) + " " + unit;
}

float OvrajuceLoudnessAudioProcessorEditor::toRelative (float level, float offset) noexcept
{
    return level > levelFloor ? level + offset : levelFloor;
}

juce::Colour OvrajuceLoudnessAudioProcessorEditor::integratedColour (float integrated, bool ebu)
{
    switch (rowOf (ebu).zoneOf (integrated))
    {
        case LoudnessStandard::Zone::onTarget:
            return green;
        case LoudnessStandard::Zone::withinTolerance:
            return yellow;
        case LoudnessStandard::Zone::outside:
            break;
    }
    return red;
}

void OvrajuceLoudnessAudioProcessorEditor::updateLoudnessReadouts()
{
    const bool ebu = ebuButton.getToggleState();
    const float offset = rowOf (ebu).luOffset;
    float momentary = displayValues.momentaryLoudness;
    const float shortTerm = displayValues.shortTermLoudness;
    float shownShortTerm = shortTerm;
    float integrated = displayValues.programLoudness;

    integratedValueLabel.setColour (juce::Label::textColourId, integratedColour (integrated, ebu));

    auto threshold = (float) shortTermMaxSlider.getValue();
    if (luButton.getToggleState())
    {
        momentary = toRelative (momentary, offset);
        shownShortTerm = toRelative (shortTerm, offset);
        integrated = toRelative (integrated, offset);
        threshold -= offset;
    }

    shortTermValueLabel.setColour (juce::Label::textColourId, threshold <= shortTerm ? red : green);
    setLevelText (shortTermValueLabel, shownShortTerm);
    setLevelText (integratedValueLabel, integrated);
    setLevelText (momentaryValueLabel, momentary);
}

void OvrajuceLoudnessAudioProcessorEditor::checkStereoRouting()
{
    bool stereo = stereoButton.getToggleState();
    const auto inputs = processor.getInputLayout();
    const bool surroundMissing =
        inputs[Slots::C] == ChannelLayout::none || inputs[Slots::LFE] == ChannelLayout::none
        || inputs[Slots::LS] == ChannelLayout::none || inputs[Slots::RS] == ChannelLayout::none;

    if (surroundMissing)
        stereo = true;

    stereoButton.setEnabled (! surroundMissing);
    fiveOneButton.setEnabled (! surroundMissing);
    processor.setParameterValue (OvrajuceLoudnessAudioProcessor::stereoStateParameter, stereo ? 1.0f : 0.0f);
}

void OvrajuceLoudnessAudioProcessorEditor::clearOverloadLamps()
{
    for (auto* lamp : { &truePeakAlarmLamp, &overloadLamp[0], &overloadLamp[1], &overloadLamp[2],
                        &overloadLamp[3], &overloadLamp[4], &overloadLamp[5] })
    {
        lamp->setToggleState (false, juce::dontSendNotification);
        lamp->setEnabled (false);
    }
}

void OvrajuceLoudnessAudioProcessorEditor::runOverloadHold()
{
    if (overloadHoldEnabled)
    {
        if (displayValues.truePeakAlarm != 1)
            return;

        if (! overloadHoldCounting)
        {
            overloadHoldCounting = true;
            overloadHoldCounter = 0;
            return;
        }

        if (overloadHoldCounter < overloadHoldTicks)
        {
            ++overloadHoldCounter;
            return;
        }

        overloadHoldCounting = false;
        overloadHoldCounter = 0;
    }

    clearOverloadFlags();
}
