#pragma once

#include "OVRAJuceLogDrawer.h"
#include "ReportFileTree.h"
#include "ReportFolderList.h"
#include "ReportReader.h"
#include "ZelxLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

/** The editor's page of saved measurements: a file tree of the reports in the
    log folder, the summary of the report the user selects, its loudness
    history in the drawer with the statistics of the marked stretch, and the
    folder and name of the next measurement's files.

    Whenever the user confirms the folder or the name, the viewer sends a
    change message; its listener reads getLogFilePath and getLogFileName.
    Everything runs on the message thread except the folder scan and the
    reading of a report, each on a thread of its own ("ZELX file previewer"),
    so that a folder on a share that stops answering never holds the window.
    The shown report is read again when its files changed since: when the
    view shows again, when the list is refreshed, and on a click on its row.

        OVRAReport viewer (font);
        viewer.addChangeListener (this);
        viewer.loadReport (reportFile.getFullPathName());
*/
class OVRAReport : public juce::Component,
                   public juce::Button::Listener,
                   public juce::FileBrowserListener,
                   public juce::Slider::Listener,
                   public juce::TextEditor::Listener,
                   public juce::SettableTooltipClient,
                   public juce::ChangeBroadcaster,
                   public juce::ChangeListener,
                   private juce::Timer
{
public:
    explicit OVRAReport (const juce::Font& font);
    ~OVRAReport() override;

    //==============================================================================
    void paint (juce::Graphics&) override;
    void resized() override;
    /** The tooltip window, whose timer polls the mouse several times a second,
        exists only while the report is visible. */
    void visibilityChanged() override;

    void buttonClicked (juce::Button*) override;
    void selectionChanged() override;
    void fileClicked (const juce::File&, const juce::MouseEvent&) override;
    void fileDoubleClicked (const juce::File&) override {}
    void browserRootChanged (const juce::File&) override {}
    void sliderValueChanged (juce::Slider*) override;
    void textEditorReturnKeyPressed (juce::TextEditor&) override;
    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    //==============================================================================
    /** Reads a report off the message thread and shows its summary and its
        history once read; a report asked for later wins. What the report
        lacks shows empty, a lacking figure "-". For a file that is not a
        readable report of ours, or no longer exists, the title says so, and
        no figure or history is shown. */
    void loadReport (const juce::String& path);

    /** The report asked for last is still being read. */
    bool isReadingReport() const noexcept { return reader.isReading(); }

    /** The folder and name last published. */
    juce::String getLogFilePath() const { return logFilePath; }
    juce::String getLogFileName() const { return logFileName; }

private:
    //==============================================================================
    void publishLogLocation();
    void openFolderChooser();
    void setUpLabel (juce::Label&, const juce::String& text, float height = 15.0f);
    void clearSummary();
    void showReport (ReportReader::Reading&);
    void showUnreadable (const ReportReader::Reading&);
    void timerCallback() override;

    //==============================================================================
    std::optional<juce::TooltipWindow> tooltipWindow;

    juce::Label titleLabel;
    juce::Label integratedCaption, firstDurationCaption, firstDurationValue, integratedValue, integratedUnit;
    juce::Label secondDurationCaption, secondDurationValue, rangeValue, rangeUnit, rangeCaption;
    juce::Label shortTermCaption, shortTermPositionCaption, shortTermTime, shortTermValue, shortTermUnit;
    juce::Label momentaryCaption, momentaryPositionCaption, momentaryTime, momentaryValue, momentaryUnit;
    juce::Label truePeakCaption, truePeakPositionCaption, truePeakTime, truePeakValue, truePeakUnit;
    juce::Label startCaption, startValue, endCaption, endValue;
    juce::Label limitLabel, limitUnit;

    // Before the slider that uses it, so that it outlives it.
    ZelxLookAndFeel sliderLookAndFeel;

public:
    /** The drawer's target level; the editor gives it its own slider colours. */
    juce::Slider limitSlider;

private:
    juce::Label highResolutionLabel, lowResolutionLabel;
    juce::DrawableButton resolutionButton { "resolutionButton", juce::DrawableButton::ImageStretched };
    const juce::Colour sliderThumbColour { 0xFF3A93DD };

public:
    /** Admits report files only, and no subfolders. Shared with the folder
        scans, which may outlive the viewer. */
    const std::shared_ptr<const juce::WildcardFileFilter> reportFilter =
        std::make_shared<juce::WildcardFileFilter> ("*.xml", "", "ZEL reports");

    /** The listed folder; the editor points it at the log folder and refreshes it. */
    ReportFolderList directoryList { reportFilter };

private:
    ReportFileTree fileTree { directoryList };

public:
    OVRAJuceLogDrawer historyDrawer;

private:
    juce::String reportPath;

public:
    /** The log folder and name as typed; the editor writes them from the settings. */
    juce::TextEditor folderEditor;

private:
    juce::FileChooser folderChooser { "Browse", juce::File(), "", true };
    bool folderChooserOpen = false;
    const juce::Colour editorBackgroundColour { 0xFFD8D8D8 }, editorOutlineColour { 0xFF979797 };
    juce::DrawableButton browseButton { "browseButton", juce::DrawableButton::ImageStretched };
    juce::DrawableButton nameButton { "nameButton", juce::DrawableButton::ImageStretched };

public:
    juce::TextEditor nameEditor;

private:
    juce::Font labelFont;
    juce::String logFilePath, logFileName;

public:
    /** The folder and name last taken over from the settings; written by the editor. */
    juce::String appliedLogFilePath, appliedLogFileName;

private:
    juce::DrawableButton seriesButton { "seriesButton", juce::DrawableButton::ImageStretched };
    juce::Label momentaryLabel, shortTermLabel;

    ReportReader reader { [this] (ReportReader::Reading&& reading) { showReport (reading); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAReport)
};
