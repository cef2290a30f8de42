#include "OvrajuceLoudnessAudioProcessorEditor.h"

#include <BinaryData.h>

// Building the editor's children: what each is, where it sits, how it looks.
// Positions are fixed pixels in the parent; resized applies them again.

namespace
{
enum RadioGroup
{
    noGroup = 0,
    stereoGroup = 30009,
    refLevelGroup = 65230,
    unitGroup = 65231,
    scaleGroup = 65232,
    standardGroup = 65233,
    viewGroup = 73333
};

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
} // namespace

//==============================================================================
juce::Image OvrajuceLoudnessAudioProcessorEditor::picture (const char* name)
{
    int size = 0;
    const auto resource = juce::String (name) + "_png";
    const auto* data = BinaryData::getNamedResource (resource.toRawUTF8(), size);
    jassert (data != nullptr);
    return data == nullptr ? juce::Image() : juce::ImageCache::getFromMemory (data, size);
}

void OvrajuceLoudnessAudioProcessorEditor::setPictures (juce::DrawableButton& button, const Pictures& p)
{
    const auto drawable = [] (const char* name) -> std::unique_ptr<juce::Drawable> {
        if (*name == 0)
            return {};

        auto image = std::make_unique<juce::DrawableImage>();
        image->setImage (picture (name));
        return image;
    };
    const auto off = drawable (p.off), over = drawable (p.over), on = drawable (p.on),
               overOn = drawable (p.overOn), disabled = drawable (p.disabled),
               disabledOn = drawable (p.disabledOn);

    // No picture of their own for the pressed states: the framework shows the over ones.
    button.setImages (off.get(), over.get(), nullptr, disabled.get(), on.get(), overOn.get(), nullptr,
                      disabledOn.get());
}

void OvrajuceLoudnessAudioProcessorEditor::setText (juce::Label& label, const juce::String& text)
{
    label.setText (text, juce::dontSendNotification);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::buildPanels()
{
    // In their stacking order; the report viewer above the settings.
    place (loudnessMeterPanel, *this, { 0, 140, 205, 510 });
    place (peakPanel, *this, { 225, 140, 80, 510 });
    place (truePeakPanel, *this, { 651, 140, 370, 600 });
    place (topBar, *this, { 0, 0, 1024, 100 });
    place (settingsPanel, *this, { 0, 160, 1024, 608 });
    place (reportViewer, *this, { 0, 100, 1024, 708 });
    setSliderColours (reportViewer.limitSlider);
    place (timePanel, *this, { 0, 650, 323, 100 });
    place (scopePanel, *this, { 336, 140, 300, 600 });
    settingsPanel.setVisible (false);
    reportViewer.setVisible (false);

    place (lockOverlay, *this, { 0, 0, editorWidth, editorHeight });
    lockOverlay.setVisible (false);
}

void OvrajuceLoudnessAudioProcessorEditor::buildTopBar()
{
    place (logoImage, topBar, { 35, 35, 116, 36 });
    logoImage.setImage (picture ("logo"));
}

void OvrajuceLoudnessAudioProcessorEditor::buildLoudnessMeters()
{
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
}

void OvrajuceLoudnessAudioProcessorEditor::buildReadouts()
{
    setUpLabel (peakLabel, peakPanel, { 2, 6, 80, 24 }, "Peak", 20.0f);

    for (int k = 0; k < (int) readoutBox.size(); ++k)
    {
        place (readoutBox[(size_t) k], peakPanel, { 2, 45 + 120 * k, 76, 86 });
        readoutBox[(size_t) k].setImage (picture ("readoutBox"));
    }

    // As the first tick shows them: EBU's unit, the momentary in LU.
    const auto absolute = captionsIn (LoudnessStandard::all[LoudnessStandard::ebu].unit);
    const auto relative = captionsIn (LoudnessStandard::relativeUnit);
    const auto centred = juce::Justification::centred;

    setUpLabel (modeValueLabel, readoutBox[0], { 0, 9, 76, 24 }, {}, 25.0f, centred);
    setUpLabel (modeLabel, readoutBox[0], { 0, 52, 76, 24 }, "Mode", 18.0f, centred);
    setUpLabel (integratedValueLabel, readoutBox[1], { 0, 9, 76, 25 }, {}, 25.0f, centred);
    setUpLabel (integratedUnitLabel, readoutBox[1], { 0, 55, 76, 18 }, absolute[1], 18.0f, centred);
    setUpLabel (integratedUnitMark, readoutBox[1], { 19, 65, 76, 16 }, "k", 11.0f);
    setUpLabel (shortTermValueLabel, readoutBox[2], { 0, 9, 76, 25 }, {}, 25.0f, centred);
    setUpLabel (shortTermUnitLabel, readoutBox[2], { 0, 55, 76, 18 }, absolute[0], 18.0f, centred);
    setUpLabel (shortTermUnitMark, readoutBox[2], { 21, 60, 76, 24 }, "k", 11.0f);
    setUpLabel (loudnessRangeValueLabel, readoutBox[3], { 0, 9, 76, 24 }, {}, 25.0f, centred);
    setUpLabel (loudnessRangeUnitLabel, readoutBox[3], { 0, 52, 76, 24 },
                "LRA " + juce::String (LoudnessStandard::relativeUnit), 18.0f, centred);

    place (momentaryBox, timePanel, { 42, 16, 101, 61 });
    momentaryBox.setImage (picture ("momentaryBox"));
    setUpLabel (momentaryValueLabel, momentaryBox, { 0, 6, 101, 24 }, "-", 19.0f, centred);
    setUpLabel (momentaryUnitLabel, momentaryBox, { 0, 36, 101, 24 }, relative[2], 20.0f, centred);
    setUpLabel (momentaryUnitMark, momentaryBox, { 29, 47, 20, 14 }, "k", 14.0f);
    setUpLabel (timecodeLabel, timePanel, { 177, 13, 145, 23 }, "00:00:00:00", 23.0f, centred);
    setUpLabel (timeLabel, timePanel, { 177, 50, 145, 25 }, "Time", 25.0f, centred);
}

void OvrajuceLoudnessAudioProcessorEditor::buildTruePeak()
{
    place (truePeakFace, truePeakPanel, { truePeakFaceOrigin.x, truePeakFaceOrigin.y, 355, 494 });

    for (size_t k = 0; k < Slots::count; ++k)
    {
        auto& vu =
            *truePeakVU.emplace_back (std::make_unique<OVRAJuceVU> (picture ("blackTPVU"), green, red, 0.5f));
        vu.setName ("VUMeter");
        vu.setAttack (0.0001f);
        vu.setReleaseTime (0.0002f);
        vu.setBallistics (true);
        place (vu, truePeakFace, { truePeakBarX[k], 8, 20, 480 });
        vu.setOpaque (true);

        auto& box = truePeakBox[k];
        place (box, truePeakPanel, { 20 + 55 * (int) k, 528, 48, 60 });
        box.setImage (picture ("truePeakBox"));

        const auto centred = juce::Justification::centred;
        auto& value = truePeakValueLabel[k];
        setUpLabel (value, box, { 0, 7, 48, 17 }, {}, 17.0f, centred);
        value.setName (truePeakLabelNames[k]);
        setUpLabel (channelNameLabel[k], box, { 0, 37, 48, 17 }, Slots::names[k], 24.0f, centred);
    }
}

void OvrajuceLoudnessAudioProcessorEditor::buildSettings()
{
    setUpLabel (standardCaption, settingsPanel, { 55, 5, 400, 16 }, "Loudness Metering Mode", 16.0f);
    setUpLabel (scaleCaption, settingsPanel, { 368, 5, 100, 16 }, "Scale", 16.0f);
    setUpLabel (unitCaption, settingsPanel, { 581, 5, 100, 16 }, "Units", 16.0f);
    setUpLabel (referenceCaption, settingsPanel, { 794, 5, 340, 16 }, "True peak ref. level", 16.0f);
    setUpLabel (gatingCaption, settingsPanel, { 130, 140, 360, 18 }, "Integrated loudness gatting off",
                18.0f);

    // The short-term caption as the first tick shows it, in EBU's unit.
    const juce::String truePeakUnit (LoudnessStandard::truePeakUnit);
    const auto absolute = captionsIn (LoudnessStandard::all[LoudnessStandard::ebu].unit);
    setUpLabel (truePeakMaxCaption, settingsPanel, { 87, 195, 396, 18 },
                "True peak max. level   [" + truePeakUnit + "]", 18.0f);
    setUpSlider (truePeakMaxSlider, { 85, 220, 396, 30 }, -12.0, 0.0);
    setUpLabel (shortTermMaxCaption, settingsPanel, { 87, 275, 396, 18 }, absolute[3], 18.0f);
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
    setUpLabel (passwordCaption, settingsPanel, { 540, 435, 150, 18 }, "Admin Password", 18.0f);
    setUpTextEditor (passwordEditor, { 540, 460, 256, 30 });
    passwordEditor.setPasswordCharacter ((juce::juce_wchar) 0x25cf);

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
}

void OvrajuceLoudnessAudioProcessorEditor::buildScopes()
{
    soundField.setAttack (0.0001f);
    soundField.setReleaseTime (0.0002f);
    place (soundField, scopePanel, { 9, 15, 283, 283 });
    setUpLabel (displayCaption, scopePanel, { 4, 302, 120, 16 }, "Display:", 14.0f);
    setUpCombo (displayCombo, { 67, 304, 93, 14 }, { "Sound Field", "Vectorscope" });
    setUpLabel (channelsCaption, scopePanel, { 166, 302, 120, 16 }, "Channels:", 14.0f);
    channelsCaption.setColour (juce::Label::textColourId, dimGrey);
    setUpCombo (channelsCombo, { 229, 304, 60, 14 }, vectroscopePairNames());
    channelsCombo.setEnabled (false);
    setUpLabel (loudnessCaption, scopePanel, { 4, 327, 120, 16 }, "Loudness:", 14.0f);
    setUpCombo (loudnessCombo, { 67, 329, 93, 14 }, { "True Peak", "Mom. Loudness" });

    for (size_t k = 0; k < Slots::correlationPairs.size(); ++k)
    {
        const auto bounds = correlationBounds[k];
        const auto [first, second] = Slots::correlationPairs[k];
        auto& meter = *correlationMeter.emplace_back (std::make_unique<OVRACorrelationMeter> (
            bounds.getWidth(), black, juce::Colour (0xffff0000), green, yellow, juce::Colour (palette[1]),
            editorFont, Slots::captions[(size_t) first], Slots::captions[(size_t) second]));
        meter.setAttack (0.0001f);
        meter.setReleaseTime (k == 3 ? 0.0004f : 0.0002f);
        place (meter, scopePanel, bounds);
    }

    // The sound field's source is held by a switch that is never laid out,
    // and so are its two captions.
    setUpLabel (truePeakSourceCaption, scopePanel, {}, "True Peak", 14.0f);
    setUpLabel (momentarySourceCaption, scopePanel, {}, "Mom. Loud.", 14.0f);
    momentarySourceCaption.setColour (juce::Label::textColourId, dimGrey);

    showVectroscopePair (0);
    vectroscope.setLogarithmic (false);
    place (vectroscope, scopePanel, { 9, 6, 283, 283 });
    soundField.setVisible (true);
    vectroscope.setVisible (false);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::buildButtons()
{
    struct Row
    {
        juce::DrawableButton& button;
        const char* name;
        juce::Component& parent;
        juce::Rectangle<int> bounds;
        bool toggles;
        RadioGroup group;
        juce::DrawableButton::ButtonStyle style;
        Pictures pictures; // off, over, on, over-on, disabled, disabled-on
    };
    constexpr bool push = false, toggles = true;
    constexpr auto raw = juce::DrawableButton::ImageRaw, stretched = juce::DrawableButton::ImageStretched;
    const Pictures lamp { "bLamp", "", "bLampOn", "", "bLamp", "" };

    // clang-format off
    const Row rows[] = {
        { startButton, "startButton", topBar, { 232, 0, 100, 100 }, toggles, noGroup, raw,
          { "bStart", "bStartOver", "bStartOn", "bStartOn", "", "" } },
        { metersButton, "metersButton", topBar, { 232, 0, 100, 100 }, toggles, viewGroup, raw,
          { "bMeters", "bMetersOver", "bMetersOn", "", "", "" } },
        { resetButton, "resetButton", topBar, { 346, 0, 100, 100 }, push, noGroup, raw,
          { "bReset", "bResetOver", "", "", "", "" } },
        { deviceButton, "deviceButton", topBar, { 346, 0, 100, 100 }, toggles, viewGroup, raw,
          { "bDevice", "bDeviceOver", "bDeviceOn", "", "", "" } },
        { settingsButton, "settingsButton", topBar, { 460, 0, 100, 100 }, toggles, viewGroup, raw,
          { "bSettings", "bSettingsOver", "bSettingsOn", "", "", "" } },
        { reportsButton, "reportsButton", topBar, { 574, 0, 100, 100 }, toggles, viewGroup, raw,
          { "bReports", "bReportsOver", "bReportsOn", "", "", "" } },
        { truePeakAlarmLamp, "truePeakAlarmLamp", peakPanel, { 56, 13, 20, 9 }, toggles, noGroup, raw,
          lamp },

        { ebuButton, "ebuButton", settingsPanel, { 55, 30, 75, 75 }, toggles, standardGroup, raw,
          { "bEbu", "", "bEbuOn", "", "", "" } },
        { atscButton, "atscButton", settingsPanel, { 155, 30, 75, 75 }, toggles, standardGroup, raw,
          { "bAtsc", "", "bAtscOn", "", "", "" } },
        { aribButton, "aribButton", settingsPanel, { 255, 30, 75, 75 }, toggles, standardGroup, raw,
          { "bArib", "", "bAribOn", "", "", "" } },
        { scaleButtonA, "scaleButtonA", settingsPanel, { 368, 30, 75, 75 }, toggles, scaleGroup, raw,
          { "bScale9", "", "bScale9On", "", "", "" } },
        { scaleButtonB, "scaleButtonB", settingsPanel, { 468, 30, 75, 75 }, toggles, scaleGroup, raw,
          { "bScale18", "", "bScale18On", "", "", "" } },
        { lufsButton, "lufsButton", settingsPanel, { 581, 30, 75, 75 }, toggles, unitGroup, stretched,
          { "bLufs", "", "bLufsOn", "", "bLkfs", "bLkfsOn" } },
        { luButton, "luButton", settingsPanel, { 681, 30, 75, 75 }, toggles, unitGroup, raw,
          { "bLu", "", "bLuOn", "", "", "" } },
        { refLevelButtonA, "refLevelButtonA", settingsPanel, { 794, 30, 75, 75 }, toggles, refLevelGroup, raw,
          { "bRef18", "", "bRef18On", "", "", "" } },
        { refLevelButtonB, "refLevelButtonB", settingsPanel, { 894, 30, 75, 75 }, toggles, refLevelGroup, raw,
          { "bRef20", "", "bRef20On", "", "", "" } },
        { gatingButton, "gatingButton", settingsPanel, { 85, 135, 32, 32 }, toggles, noGroup, raw,
          { "bGating", "bGatingOver", "bGatingOn", "bGatingOverOn", "", "" } },
        { connectButton, "connectButton", settingsPanel, { 796, 353, 82, 30 }, toggles, noGroup, stretched,
          { "bConnect", "bConnectOver", "bConnectOn", "bConnectOverOn", "", "" } },
        { passwordButton, "passwordButton", settingsPanel, { 796, 460, 82, 30 }, toggles, noGroup, stretched,
          { "bSave", "bSaveOver", "", "", "", "" } },

        { fiveOneButton, "fiveOneButton", scopePanel, { 7, 528, 124, 60 }, toggles, stereoGroup, raw,
          { "b5_1", "", "b5_1On", "", "b5_1Disabled", "b5_1Disabled" } },
        { stereoButton, "stereoButton", scopePanel, { 166, 528, 124, 60 }, toggles, stereoGroup, raw,
          { "bStereo", "", "bStereoOn", "", "bStereoDisabled", "bStereoDisabled" } },
        { soundFieldSourceSwitch, "soundFieldSourceSwitch", scopePanel, {}, toggles, noGroup, stretched,
          { "bSourceSwitch", "bSourceSwitchOver", "bSourceSwitchOn", "bSourceSwitchOverOn", "", "" } },

        // Above the lock overlay, so that it stays clickable.
        { lockButton, "lockButton", *this, { 688, 0, 100, 100 }, toggles, noGroup, stretched,
          { "bLock", "", "bUnlock", "", "bLock", "" } },
    };
    // clang-format on

    const auto setUp = [this] (const Row& row) {
        auto& button = row.button;
        button.setName (row.name);
        button.setButtonText (row.name);
        button.setButtonStyle (row.style);
        button.setClickingTogglesState (row.toggles);
        if (row.group != noGroup)
            button.setRadioGroupId (row.group);
        button.addListener (this);
        place (button, row.parent, row.bounds);
        setPictures (button, row.pictures);
    };

    for (const auto& row : rows)
        setUp (row);

    for (size_t k = 0; k < Slots::count; ++k)
    {
        const auto name = "overloadLamp" + juce::String (Slots::names[k]);
        const juce::Rectangle<int> bounds (truePeakFaceOrigin.x + truePeakBarX[k], 0, 20, 9);
        setUp ({ overloadLamp[k], name.toRawUTF8(), truePeakPanel, bounds, toggles, noGroup, raw, lamp });
        overloadLamp[k].setEnabled (false);
    }

    startButton.addShortcut (juce::KeyPress (juce::KeyPress::spaceKey));
    metersButton.setVisible (false);
    deviceButton.setVisible (false);
    truePeakAlarmLamp.setEnabled (false);
    gatingButton.setToggleState (true, juce::dontSendNotification);
    connectButton.setTooltip ("use the same port in your remote iPad app");
}

//==============================================================================
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

void OvrajuceLoudnessAudioProcessorEditor::setSliderColours (juce::Slider& slider)
{
    slider.setColour (juce::Slider::backgroundColourId, juce::Colour (accent[2]));
    slider.setColour (juce::Slider::thumbColourId, juce::Colour (accent[0]));
    slider.setColour (juce::Slider::textBoxTextColourId, white);
}

void OvrajuceLoudnessAudioProcessorEditor::setUpSlider (juce::Slider& slider, juce::Rectangle<int> bounds,
                                                        double minimum, double maximum)
{
    slider.setSliderStyle (juce::Slider::LinearBar);
    slider.setTextBoxIsEditable (true);
    slider.setRange (minimum, maximum, 1.0);
    setSliderColours (slider);
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
