#include "OVRAReport.h"

#include "LoudnessHistory.h"
#include "LoudnessStandard.h"

#include <BinaryData.h>

#include <cmath>

namespace
{
const juce::Colour white { 0xFFFFFFFF };
const juce::Colour darkGrey { 0xFF555555 };

// A report read sooner shows without a blank frame in between.
constexpr int beingReadNoticeMs = 300;

/** The picture as a drawable, for the image buttons. */
std::unique_ptr<juce::Drawable> picture (const char* data, int size)
{
    auto drawable = std::make_unique<juce::DrawableImage>();
    drawable->setImage (juce::ImageCache::getFromMemory (data, size));
    return drawable;
}

/** A figure's "value", read as the framework reads a number attribute; nothing
    when the text is empty, missing or not wholly a number ("nan" and "inf"
    included), or lies beyond any figure the program writes. */
std::optional<double> figureOf (const juce::XmlElement& element)
{
    const auto text = element.getStringAttribute ("value").trim();
    auto end = text.getCharPointer();
    const auto value = juce::CharacterFunctions::readDoubleValue (end);

    if (text.isEmpty() || ! end.isEmpty() || ! std::isfinite (value)
        || std::abs (value) > LoudnessHistory::maxMagnitude)
        return std::nullopt;

    return value;
}

juce::String oneDecimal (std::optional<double> value)
{
    return value.has_value() ? juce::String (*value, 1) : "-";
}

void show (juce::Label& label, const juce::String& text) { label.setText (text, juce::dontSendNotification); }

} // namespace

//==============================================================================
OVRAReport::OVRAReport (const juce::Font& font)
    : historyDrawer (juce::Colour (0xff000000), juce::Colour (0xffffffff), juce::Colour (0xff5ad5fd),
                     juce::Colour (0xff90ee90), juce::Colour (0xffff0000), juce::Colour (0xffffffff), -10.0f)
    , labelFont (font)
{
    setUpLabel (titleLabel, {}, 17.0f);
    setUpLabel (integratedCaption, "Program Loudness:");
    setUpLabel (firstDurationCaption, "Duration:");
    setUpLabel (firstDurationValue, {});
    setUpLabel (integratedValue, {});
    setUpLabel (integratedUnit, {});
    setUpLabel (secondDurationCaption, "Duration:");
    setUpLabel (secondDurationValue, {});
    setUpLabel (rangeValue, {});
    setUpLabel (rangeUnit, {});
    setUpLabel (rangeCaption, "Loudness Range:");
    setUpLabel (shortTermCaption, "Max. Short Term Loudness:");
    setUpLabel (shortTermPositionCaption, "Position:");
    setUpLabel (shortTermTime, {});
    setUpLabel (shortTermValue, {});
    setUpLabel (shortTermUnit, {});
    setUpLabel (momentaryCaption, "Max. Momentary Loudness:");
    setUpLabel (momentaryPositionCaption, "Position:");
    setUpLabel (momentaryTime, {});
    setUpLabel (momentaryValue, {});
    setUpLabel (momentaryUnit, {});
    setUpLabel (truePeakCaption, "Max. True Peak:");
    setUpLabel (truePeakPositionCaption, "Position:");
    setUpLabel (truePeakTime, {});
    setUpLabel (truePeakValue, {});
    setUpLabel (truePeakUnit, {});
    setUpLabel (startCaption, "Start Time:");
    setUpLabel (startValue, {});
    setUpLabel (endCaption, "End Time:");
    setUpLabel (endValue, {});
    setUpLabel (limitLabel, "Short Term Limit:");
    setUpLabel (limitUnit, {});

    firstDurationCaption.attachToComponent (&firstDurationValue, true);
    integratedValue.attachToComponent (&integratedUnit, true);
    secondDurationCaption.attachToComponent (&secondDurationValue, true);
    rangeValue.attachToComponent (&rangeUnit, true);
    shortTermValue.attachToComponent (&shortTermUnit, true);
    momentaryValue.attachToComponent (&momentaryUnit, true);
    truePeakValue.attachToComponent (&truePeakUnit, true);

    limitSlider.setSliderStyle (juce::Slider::LinearBar);
    limitSlider.setRange (-30.0, -10.0, 1.0);
    limitSlider.setValue (-10.0, juce::sendNotificationAsync);
    limitSlider.setTextBoxIsEditable (true);
    limitSlider.setColour (juce::Slider::backgroundColourId, juce::Colour (0xFFD3D3D3));
    limitSlider.setColour (juce::Slider::thumbColourId, sliderThumbColour);
    limitSlider.setColour (juce::Slider::textBoxTextColourId, white);
    limitSlider.setLookAndFeel (&sliderLookAndFeel);
    addAndMakeVisible (limitSlider);

    setUpLabel (highResolutionLabel, "High Resolution");
    setUpLabel (lowResolutionLabel, "Low Resolution");
    lowResolutionLabel.setColour (juce::Label::textColourId, darkGrey);

    const auto switchOff = picture (BinaryData::bReportSwitch_png, BinaryData::bReportSwitch_pngSize);
    const auto switchOn = picture (BinaryData::bReportSwitchOn_png, BinaryData::bReportSwitchOn_pngSize);

    for (auto* toggle : { &resolutionButton, &seriesButton })
    {
        toggle->setImages (switchOff.get(), nullptr, nullptr, nullptr, switchOn.get());
        toggle->setClickingTogglesState (true);
        addAndMakeVisible (toggle);
    }

    fileTree.setColour (juce::FileTreeComponent::backgroundColourId, juce::Colour (0xFF000000));
    // On the tree itself rather than on the application's look and feel, which
    // other windows share.
    fileTree.setColour (juce::DirectoryContentsDisplayComponent::textColourId, white);
    fileTree.setColour (juce::DirectoryContentsDisplayComponent::highlightColourId,
                        juce::Colour (0xFF979797));
    directoryList.setDirectory (juce::File::getSpecialLocation (juce::File::userHomeDirectory), true, true);
    addAndMakeVisible (fileTree);

    addAndMakeVisible (historyDrawer);

    for (auto* editor : { &folderEditor, &nameEditor })
    {
        editor->setColour (juce::TextEditor::backgroundColourId, editorBackgroundColour);
        editor->setColour (juce::TextEditor::outlineColourId, editorOutlineColour);
        editor->setColour (juce::TextEditor::focusedOutlineColourId, editorOutlineColour);
        editor->setColour (juce::TextEditor::textColourId, juce::Colour (0xFF000000));
        editor->applyColourToAllText (juce::Colour (0xFF000000));
        addAndMakeVisible (editor);
    }

    folderEditor.setText (
        juce::File::getSpecialLocation (juce::File::userDocumentsDirectory).getFullPathName(), false);

    browseButton.setImages (picture (BinaryData::bBrowse_png, BinaryData::bBrowse_pngSize).get(), nullptr,
                            picture (BinaryData::bBrowseDown_png, BinaryData::bBrowseDown_pngSize).get());
    nameButton.setImages (picture (BinaryData::bLogName_png, BinaryData::bLogName_pngSize).get(), nullptr,
                          picture (BinaryData::bLogNameDown_png, BinaryData::bLogNameDown_pngSize).get());

    for (auto* button : { &browseButton, &nameButton })
    {
        button->setClickingTogglesState (true);
        addAndMakeVisible (button);
    }

    setUpLabel (shortTermLabel, "Short Term Loudness");
    setUpLabel (momentaryLabel, "Momentary Loudness");
    momentaryLabel.setColour (juce::Label::textColourId, darkGrey);

    for (auto* button : { &resolutionButton, &seriesButton, &browseButton, &nameButton })
        button->addListener (this);

    folderEditor.addListener (this);
    nameEditor.addListener (this);
    limitSlider.addListener (this);
    fileTree.addListener (this);
    historyDrawer.addChangeListener (this);
    directoryList.addChangeListener (this);

    setSize (864, 768);
    resized();
}

OVRAReport::~OVRAReport()
{
    directoryList.removeChangeListener (this);
    historyDrawer.removeChangeListener (this);
    fileTree.removeListener (this);
    limitSlider.setLookAndFeel (nullptr);
}

void OVRAReport::setUpLabel (juce::Label& label, const juce::String& text, float height)
{
    label.setText (text, juce::dontSendNotification);
    label.setFont (labelFont.withHeight (height)
                       .withStyle (juce::Font::plain)
                       .withHorizontalScale (1.0f)
                       .withExtraKerningFactor (0.0f));
    label.setColour (juce::Label::textColourId, white);
    label.setInterceptsMouseClicks (false, false);
    addAndMakeVisible (label);
}

//==============================================================================
void OVRAReport::paint (juce::Graphics& g) { g.fillAll (juce::Colour (0xFF000000)); }

void OVRAReport::visibilityChanged()
{
    if (! isVisible())
    {
        tooltipWindow.reset();
        return;
    }

    // The shown report may have changed meanwhile (a measurement stopped).
    reader.readAgainIfChanged();

    if (tooltipWindow.has_value())
        return;

    tooltipWindow.emplace (this, 500);
    tooltipWindow->setColour (juce::TooltipWindow::backgroundColourId, juce::Colour (0xFF000000));
    tooltipWindow->setColour (juce::TooltipWindow::outlineColourId, juce::Colour (0xFF000000));
    tooltipWindow->setColour (juce::TooltipWindow::textColourId, white);
}

void OVRAReport::resized()
{
    titleLabel.setBounds (265, 70, 500, 20);
    integratedCaption.setBounds (265, 100, 130, 20);
    firstDurationValue.setBounds (682, 100, 130, 20);
    integratedUnit.setBounds (538, 100, 130, 20);
    secondDurationValue.setBounds (682, 125, 130, 20);
    rangeUnit.setBounds (538, 125, 130, 20);
    rangeCaption.setBounds (265, 125, 130, 20);
    shortTermCaption.setBounds (265, 150, 180, 20);
    shortTermPositionCaption.setBounds (622, 150, 180, 20);
    shortTermTime.setBounds (682, 150, 180, 20);
    shortTermUnit.setBounds (538, 150, 130, 20);
    momentaryCaption.setBounds (265, 175, 180, 20);
    momentaryPositionCaption.setBounds (622, 175, 180, 20);
    momentaryTime.setBounds (682, 175, 180, 20);
    momentaryUnit.setBounds (538, 175, 130, 20);
    truePeakCaption.setBounds (265, 200, 180, 20);
    truePeakPositionCaption.setBounds (622, 200, 180, 20);
    truePeakTime.setBounds (682, 200, 180, 20);
    truePeakUnit.setBounds (538, 200, 130, 20);
    // The start and end values, and the switches with their right-hand
    // captions, sit far enough right that the captions before them do not
    // run under them in the program's typeface.
    startCaption.setBounds (265, 255, 180, 20);
    startValue.setBounds (345, 255, 180, 20);
    endCaption.setBounds (265, 280, 180, 20);
    endValue.setBounds (345, 280, 180, 20);
    limitLabel.setBounds (622, 235, 180, 20);
    limitUnit.setBounds (885, 235, 180, 20);

    limitSlider.setBounds (785, 235, 100, 20);
    highResolutionLabel.setBounds (622, 263, 180, 15);
    resolutionButton.setBounds (772, 264, 41, 16);
    lowResolutionLabel.setBounds (815, 263, 180, 15);
    shortTermLabel.setBounds (622, 288, 180, 15);
    seriesButton.setBounds (772, 288, 41, 16);
    momentaryLabel.setBounds (815, 288, 180, 15);
    folderEditor.setBounds (270, 27, 221, 30);
    browseButton.setBounds (491, 27, 82, 30);
    nameEditor.setBounds (626, 27, 221, 30);
    nameButton.setBounds (847, 27, 82, 30);
    fileTree.setBounds (12, 25, 230, 270);
    historyDrawer.setBounds (20, 307, 1000, 370);
}

//==============================================================================
void OVRAReport::buttonClicked (juce::Button* button)
{
    if (button == &browseButton)
    {
        openFolderChooser();
    }
    else if (button == &nameButton)
    {
        publishLogLocation();
    }
    else if (button == &resolutionButton)
    {
        const bool wide = resolutionButton.getToggleState();
        lowResolutionLabel.setColour (juce::Label::textColourId, wide ? white : darkGrey);
        highResolutionLabel.setColour (juce::Label::textColourId, wide ? darkGrey : white);
        historyDrawer.setScaleMode (! wide);
    }
    else if (button == &seriesButton)
    {
        const bool momentary = seriesButton.getToggleState();
        momentaryLabel.setColour (juce::Label::textColourId, momentary ? white : darkGrey);
        shortTermLabel.setColour (juce::Label::textColourId, momentary ? darkGrey : white);
        limitLabel.setText (momentary ? "Momentary Limit:" : "Short Term Limit:", juce::dontSendNotification);
        historyDrawer.showShortTerm = ! momentary;
        historyDrawer.repaint();
    }
}

void OVRAReport::openFolderChooser()
{
    // Asynchronous, so the message loop keeps running while the dialog is open;
    // a second click while it is open does nothing.
    if (folderChooserOpen)
        return;

    folderChooserOpen = true;
    folderChooser.launchAsync (
        juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectDirectories,
        [safeThis = juce::Component::SafePointer<OVRAReport> (this)] (const juce::FileChooser& chooser) {
            if (safeThis == nullptr)
                return;

            safeThis->folderChooserOpen = false;
            const auto folder = chooser.getResult();

            if (folder != juce::File())
                safeThis->folderEditor.setText (folder.getFullPathName(), false);

            safeThis->publishLogLocation();
        });
}

void OVRAReport::textEditorReturnKeyPressed (juce::TextEditor&) { publishLogLocation(); }

void OVRAReport::publishLogLocation()
{
    logFileName = nameEditor.getText();
    logFilePath = folderEditor.getText();
    sendChangeMessage();
}

void OVRAReport::sliderValueChanged (juce::Slider* slider)
{
    if (slider == &limitSlider)
        historyDrawer.setTargetLevel ((float) limitSlider.getValue());
}

//==============================================================================
void OVRAReport::selectionChanged()
{
    const auto file = fileTree.getSelectedFile (0);

    // A row that goes with a refresh leaves no selection; the list's change
    // message then looks at the shown report again. Exactly ".xml": a report
    // named in capitals is listed but not loaded.
    if (file != juce::File() && file.getFileExtension() == ".xml")
        loadReport (file.getFullPathName());
}

void OVRAReport::fileClicked (const juce::File& file, const juce::MouseEvent&)
{
    // A click on the row already selected reads its report again; a click
    // that selects a row has just asked for it.
    if (file == reader.getReportAsked() && ! reader.isReading())
        loadReport (file.getFullPathName());
}

void OVRAReport::loadReport (const juce::String& path)
{
    reader.read (juce::File (path));
    startTimer (beingReadNoticeMs);
}

void OVRAReport::timerCallback()
{
    stopTimer();

    // Until it is read, no figure of the report before may pass for its.
    if (! reader.isReading())
        return;

    clearSummary();
    historyDrawer.clear();
    show (titleLabel, reader.getReportAsked().getFileName() + " is being read");
}

void OVRAReport::showReport (ReportReader::Reading& reading)
{
    stopTimer();
    const auto& file = reading.report;
    const auto& root = reading.root;

    // Only a report of ours: a foreign document would otherwise reach the
    // drawer through a CSV file beside it.
    if (root == nullptr)
    {
        showUnreadable (reading);
        return;
    }

    // Nothing of the last report may stay where this one lacks an element; a
    // figure it lacks shows as one that is no finite number does.
    clearSummary();

    for (auto* figure : { &integratedValue, &rangeValue, &shortTermValue, &momentaryValue, &truePeakValue })
        show (*figure, "-");

    reportPath = file.getFullPathName();

    if (root->getChildByName ("UserSelectedTitle") != nullptr)
        titleLabel.setText (file.getFileNameWithoutExtension(), juce::dontSendNotification);

    if (auto* interval = root->getChildByName ("MeasurementInterval"))
    {
        if (auto* start = interval->getChildByName ("StartTime"))
            show (startValue, start->getStringAttribute ("value"));

        if (auto* stop = interval->getChildByName ("StopTime"))
            show (endValue, stop->getStringAttribute ("value"));

        if (auto* upTime = interval->getChildByName ("UpTime"))
        {
            show (firstDurationValue, upTime->getStringAttribute ("value"));
            show (secondDurationValue, upTime->getStringAttribute ("value"));
        }
    }

    if (auto* measurements = root->getChildByName ("IntegratedMeasurements"))
    {
        // A running measurement's report has these two units only from its stop on; its
        // history gives the figures meanwhile, which read in the units of a finished one:
        // the loudness unit of its maxima, and the range's own.
        auto loudnessUnit = [measurements] (const juce::XmlElement& figure) {
            auto unit = figure.getStringAttribute ("unit");
            for (auto* maximum : { "MaxShortTerm", "MaxMomentary" })
                if (auto* other = measurements->getChildByName (maximum); other != nullptr && unit.isEmpty())
                    unit = other->getStringAttribute ("unit");
            return unit;
        };

        if (auto* integrated = measurements->getChildByName ("IntegratedLoudness"))
        {
            show (integratedValue, oneDecimal (figureOf (*integrated)));
            show (integratedUnit, loudnessUnit (*integrated));
            show (limitUnit, integratedUnit.getText());
        }

        if (auto* range = measurements->getChildByName ("LoudnessRange"))
        {
            show (rangeValue, oneDecimal (figureOf (*range)));
            const auto unit = range->getStringAttribute ("unit");
            show (rangeUnit, unit.isNotEmpty() ? unit : juce::String (LoudnessStandard::relativeUnit));
        }

        if (auto* shortTerm = measurements->getChildByName ("MaxShortTerm"))
        {
            show (shortTermValue, oneDecimal (figureOf (*shortTerm)));
            show (shortTermUnit, shortTerm->getStringAttribute ("unit"));
            show (shortTermTime, shortTerm->getStringAttribute ("maxTime"));
        }

        if (auto* momentary = measurements->getChildByName ("MaxMomentary"))
        {
            show (momentaryValue, oneDecimal (figureOf (*momentary)));
            show (momentaryUnit, momentary->getStringAttribute ("unit", "-"));
            show (momentaryTime, momentary->getStringAttribute ("maxTime"));
        }

        if (auto* truePeak = measurements->getChildByName ("MaxTruePeak"))
        {
            // At or below -70 the meter recorded no peak.
            auto value = figureOf (*truePeak);

            if (value.has_value() && *value <= -70.0)
                value.reset();

            show (truePeakValue, oneDecimal (value));
            show (truePeakUnit, truePeak->getStringAttribute ("unit"));
            show (truePeakTime, truePeak->getStringAttribute ("maxTime"));
        }
    }

    // The report's own history or its CSV log's; a missing log gives an empty
    // history, not the last report's.
    historyDrawer.loadHistory (std::move (reading.history));
}

void OVRAReport::clearSummary()
{
    // Whatever the last report showed would pass for the next file's.
    reportPath = {};

    for (auto* label : { &titleLabel, &firstDurationValue, &integratedValue, &integratedUnit,
                         &secondDurationValue, &rangeValue, &rangeUnit, &shortTermTime, &shortTermValue,
                         &shortTermUnit, &momentaryTime, &momentaryValue, &momentaryUnit, &truePeakTime,
                         &truePeakValue, &truePeakUnit, &startValue, &endValue, &limitUnit })
        show (*label, {});
}

void OVRAReport::showUnreadable (const ReportReader::Reading& reading)
{
    using Problem = ReportReader::Reading::Problem;
    clearSummary();
    historyDrawer.clear();
    show (titleLabel, reading.report.getFileName()
                          + (reading.problem == Problem::gone         ? " no longer exists"
                             : reading.problem == Problem::cannotOpen ? " cannot be read: " + reading.reason
                                                                      : " is not a readable report"));
}

void OVRAReport::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    // A refresh of the list looks at the shown report too: it may have
    // changed or gone since it was read.
    if (source == &directoryList)
    {
        reader.readAgainIfChanged();
        return;
    }

    // Statistics of an empty history are made of nothing; the report's own
    // figures stay.
    if (source != &historyDrawer || historyDrawer.getNumSamples() == 0)
        return;

    const auto readout = historyDrawer.selectionReadout;
    show (integratedValue, readout.integratedLoudness);
    show (rangeValue, readout.loudnessRange);
    show (shortTermValue, readout.maxShortTerm);
    show (shortTermTime, readout.maxShortTermTime);
    show (momentaryValue, readout.maxMomentary);
    show (momentaryTime, readout.maxMomentaryTime);

    // A report's own history has no dates, so the drawer gives no times; the
    // report's stay rather than blanks.
    if (readout.startTime.isEmpty())
        return;

    show (firstDurationValue, readout.totalTime);
    show (secondDurationValue, readout.totalTime);
    show (startValue, readout.startTime);
    show (endValue, readout.endTime);
}
