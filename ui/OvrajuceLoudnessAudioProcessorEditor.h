#pragma once

#include "BrowserLink.h"
#include "DisplayPacer.h"
#include "FailureNotice.h"
#include "LockComponent.h"
#include "LoudnessStandard.h"
#include "OVRAAudioDeviceSelectorComponent.h"
#include "OVRACorrelationMeter.h"
#include "OVRADrawVectorscope.h"
#include "OVRAJuceArrowVU.h"
#include "OVRAJuceLRVU.h"
#include "OVRAJuceVU.h"
#include "OVRAReport.h"
#include "OVRAVectroscope.h"
#include "OvrajuceLoudnessAudioProcessor.h"
#include "RepaintGate.h"
#include "Slots.h"
#include "ZelxLookAndFeel.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <cstdint>
#include <map>
#include <vector>

/** The meter's window: a fixed 1024 x 768 component with every panel,
    control, meter and scope of the user interface.

    Its 50 ms timer polls the processor's readings and settings and brings
    every meter, read-out and control into line with them; its listeners write
    the user's choices straight into the processor's live settings. Views:
    1 meters, 2 settings, 3 reports, 4 audio device.

        auto* editor = processor.createEditorIfNeeded();   // this class
        content.addAndMakeVisible (editor);

    The definition is split by concern, one file each:
    - OvrajuceLoudnessAudioProcessorEditor.cpp: lifecycle, views, paint and layout;
    - OvrajuceLoudnessAudioProcessorEditorChildren.cpp: building the children
      from their tables;
    - OvrajuceLoudnessAudioProcessorEditorControls.cpp: the listeners and
      applySettings;
    - OvrajuceLoudnessAudioProcessorEditorDisplay.cpp: the display timer with
      its read-outs, lamps and overload hold.

    On a window, the window's own refresh (the framework's vertical-blank
    callback, which runs whatever the program does) paces the ticks, so that
    a tick wakes no thread of its own and its repaints go out in the same
    refresh; the timer then only watches that the refresh keeps coming, and
    paces the ticks itself without a window. A stopped timer stops the ticks.

    While the window cannot be seen (minimised), the ticks go on and every
    meter, read-out and lamp keeps taking its readings, but nothing is
    repainted; the window is repainted whole when it shows again.

    Message thread only, apart from the vectroscope's slices on vectorThread.
*/
class OvrajuceLoudnessAudioProcessorEditor : public juce::AudioProcessorEditor,
                                             public juce::Button::Listener,
                                             public juce::Timer,
                                             public juce::Slider::Listener,
                                             public juce::TextEditor::Listener,
                                             public juce::ChangeListener,
                                             public juce::ComboBox::Listener
{
public:
    //==============================================================================
    // Lifecycle, views and layout (OvrajuceLoudnessAudioProcessorEditor.cpp)

    static constexpr int editorWidth = 1024;
    static constexpr int editorHeight = 768;
    /** The display's tick, which the peak hold of the bars and the overload
        hold count in. */
    static constexpr int timerIntervalMs = 50;
    /** While the window's refresh paces the ticks, the timer only checks
        this often that the refresh still comes. */
    static constexpr int refreshWatchdogMs = 500;
    /** Ticks between two questions whether the window can be seen. */
    static constexpr int screenCheckTicks = 10;
    static constexpr int vectorThreadStopTimeoutMs = 1000;

    /** The maker's pages; the product has no site of its own yet. */
    static constexpr const char* contactUrl = "https://tamvo.example/contact";
    static constexpr const char* supportUrl = "https://tamvo.example/support";

    OvrajuceLoudnessAudioProcessorEditor (OvrajuceLoudnessAudioProcessor& processor,
                                          juce::AudioDeviceManager* deviceManager);
    ~OvrajuceLoudnessAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Shows the panels of displayMode; mode 0 leaves them as built. */
    void updatePanelVisibility();

    //==============================================================================
    // The controls (OvrajuceLoudnessAudioProcessorEditorControls.cpp): the
    // user's choices into the processor's settings, and the settings back into
    // the controls on every tick

    void buttonClicked (juce::Button*) override;
    void buttonStateChanged (juce::Button*) override {}
    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override {}
    void sliderDragEnded (juce::Slider*) override {}
    void textEditorTextChanged (juce::TextEditor&) override {}
    void textEditorReturnKeyPressed (juce::TextEditor&) override {}
    void textEditorEscapeKeyPressed (juce::TextEditor&) override {}
    void textEditorFocusLost (juce::TextEditor&) override {}
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void comboBoxChanged (juce::ComboBox*) override;

    /** Brings every control into line with a copy of the settings. */
    void applySettings (const SettingsSnapshot& settings);
    void updateUnitLabels();
    void setStandardTexts();
    void setPeakHoldTicks();

    /** The unit-label code of the button states (10 .. 21 are shown). */
    static int unitLabelCode (bool ebuOn, bool scaleAOn, bool scaleBOn, bool lufsOn, bool luOn) noexcept;

    /** Captions for a code: short-term, integrated, momentary, short-term
        maximum; empty for a code that is not shown. */
    static juce::StringArray unitCaptions (int code);

    //==============================================================================
    // The display timer (OvrajuceLoudnessAudioProcessorEditorDisplay.cpp):
    // readings, read-outs, lamps and the overload hold

    /** One display tick: views, readings, settings, meters, lamps, hold;
        while the window's refresh paces the ticks, only the check that it
        still comes. */
    void timerCallback() override;

    /** Whether the window could be seen when last asked (every few ticks)
        or since it last painted; while it cannot, nothing is repainted. */
    bool isOnScreen() const noexcept { return repaintGate->isOpen(); }

    void updateTimeDisplay (double samples, double sampleRate);
    void updateLoudnessReadouts();
    void clearOverloadLamps();
    /** A read-out's text by levelToText, formatted only for a level it does not show yet. */
    void setLevelText (juce::Label& label, float level);

    /** "[-]hh:mm:ss:" then milliseconds (fps 0) or frames; all zero at rate 0. */
    static juce::String formatTimecode (double samples, double framesPerSecond, double sampleRate);

    /** "-" at or below -60, else one decimal place, a blank and the unit. */
    static juce::String levelToText (float level, const juce::String& unit);

    /** A level shown relative to the target: value + offset, the floor kept. */
    static float toRelative (float level, float offset) noexcept;

    /** The integrated read-out's colour: green on target, yellow within
        tolerance, red outside (EBU row or the row of the other standards). */
    static juce::Colour integratedColour (float integrated, bool ebu);

    //==============================================================================
    // Colours
    static constexpr std::array<juce::uint32, 5> palette { 0xffd8d8d8, 0xff979797, 0xff3a93dd, 0xff81ca2f,
                                                           0xffd70014 };
    static constexpr std::array<juce::uint32, 3> accent { 0xff16a085, 0xff1abc9c, 0xff3e454d };
    static const juce::Colour green, red, yellow, dimGrey, white, black;

    //==============================================================================
    // State
    OvrajuceLoudnessAudioProcessor& processor;
    juce::AudioDeviceManager* const deviceManager;

    juce::TimeSliceThread vectorThread { "ZELX Editor Vector Thread" };
    juce::Font editorFont;
    ZelxLookAndFeel lookAndFeel;
    juce::Array<juce::IPAddress> localAddresses;

    // What the controls last applied.
    int displayMode = 0;
    float luOffset = LoudnessStandard::all[LoudnessStandard::atsc].luOffset; // until a standard is applied
    int lastStandard = -1;
    int unitLabelState = -1;
    int soundFieldScaleState = -1;
    int refLevelImageState = -1;

    // What the display timer keeps from tick to tick.
    DisplaySnapshot displayValues;
    double meterSampleRate = 0.0;
    bool overloadHoldEnabled = false;
    int overloadHoldTicks = 0;
    float overloadHoldSeconds = 0.0f;
    bool overloadHoldCounting = false;
    int overloadHoldCounter = 0;
    float arrowLevel = 0.0f, rangeLow = 0.0f, rangeHigh = 0.0f; // as last given to the two meters
    int ticksUntilScreenCheck = 0;
    std::map<const juce::Label*, float> shownLevels; // by setLevelText
    struct
    {
        double samples = -1.0, rate = -1.0;
    } shownTime; // what the time read-out shows

    // Tells of measurement files that cannot be written; the number of the
    // last failure it told of.
    FailureNotice logWriteNotice { "Measurement not saved", "The files have been written again",
                                   "Measurement saved again" };
    juce::uint32 toldLogWriteFailure = 0;

    //==============================================================================
    // The children, by panel (built in OvrajuceLoudnessAudioProcessorEditorChildren.cpp)

    /** A button drawn from pictures; its name, style, place and pictures come
        from the editor's table of buttons. */
    struct PictureButton : public juce::DrawableButton
    {
        PictureButton() : juce::DrawableButton ({}, juce::DrawableButton::ImageRaw) {}
    };

    // Top bar
    juce::Component topBar;
    juce::ImageComponent logoImage;
    PictureButton startButton, metersButton, resetButton, deviceButton, settingsButton, reportsButton;
    PictureButton lockButton;

    // Loudness meters
    juce::Component loudnessMeterPanel;
    juce::ImageComponent loudnessScaleImage;
    OVRAJuceVU momentaryVU;
    OVRAJuceLRVU loudnessRangeBar;
    OVRAJuceArrowVU shortTermArrow;

    // Read-outs
    juce::Component peakPanel;
    juce::Label peakLabel;
    PictureButton truePeakAlarmLamp;
    std::array<juce::ImageComponent, 4> readoutBox;
    juce::Label modeValueLabel, modeLabel;
    juce::Label integratedValueLabel, integratedUnitLabel, integratedUnitMark;
    juce::Label shortTermValueLabel, shortTermUnitLabel, shortTermUnitMark;
    juce::Label loudnessRangeValueLabel, loudnessRangeUnitLabel;

    juce::Component timePanel;
    juce::ImageComponent momentaryBox;
    juce::Label momentaryValueLabel, momentaryUnitLabel, momentaryUnitMark;
    juce::Label timecodeLabel, timeLabel;

    // True peak
    juce::Component truePeakPanel;
    juce::ImageComponent truePeakFace;
    std::vector<std::unique_ptr<OVRAJuceVU>> truePeakVU;
    std::array<PictureButton, Slots::count> overloadLamp;
    std::array<juce::ImageComponent, Slots::count> truePeakBox;
    std::array<juce::Label, Slots::count> truePeakValueLabel, channelNameLabel;

    // Settings
    juce::Component settingsPanel;
    juce::Label standardCaption, scaleCaption, unitCaption, referenceCaption;
    PictureButton ebuButton, atscButton, aribButton;
    PictureButton scaleButtonA, scaleButtonB, lufsButton, luButton, refLevelButtonA, refLevelButtonB;
    PictureButton gatingButton;
    juce::Label gatingCaption, truePeakMaxCaption, shortTermMaxCaption, peakHoldCaption, overloadHoldCaption;
    juce::Slider truePeakMaxSlider, shortTermMaxSlider, peakHoldSlider, overloadHoldSlider;
    juce::Label connectionCaption, addressCaption, ipAddressLabel, portCaption, passwordCaption;
    juce::TextEditor portEditor, passwordEditor;
    PictureButton connectButton, passwordButton;
    BrowserLink contactLink { "CONTACT US", juce::URL (contactUrl) };
    BrowserLink guideLink { "USER GUIDE", juce::URL (supportUrl) };
    juce::Label productLabel, versionLabel, noticeLabel;

    // Scopes
    juce::Component scopePanel;
    OVRADrawVectorscope soundField;
    OVRAVectroscope vectroscope;
    juce::Label displayCaption, channelsCaption, loudnessCaption;
    juce::ComboBox displayCombo, channelsCombo, loudnessCombo;
    std::vector<std::unique_ptr<OVRACorrelationMeter>> correlationMeter;
    PictureButton fiveOneButton, stereoButton;
    PictureButton soundFieldSourceSwitch;
    juce::Label truePeakSourceCaption, momentarySourceCaption;

    // View 3: saved reports; view 4: the audio device, built when first shown
    // and only when there is a device manager to set up.
    OVRAReport reportViewer { editorFont };
    std::unique_ptr<OVRAAudioDeviceSelectorComponent> deviceSelector;

    LockComponent lockOverlay;

private:
    //==============================================================================
    // Building the children

    /** A child's place in its parent; resized applies them all. */
    struct Placement
    {
        juce::Component* component;
        juce::Rectangle<int> bounds;
    };

    /** A button's pictures by state, "" for a state without one. */
    struct Pictures
    {
        const char *off, *over, *on, *overOn, *disabled, *disabledOn;
    };

    void place (juce::Component& child, juce::Component& parent, juce::Rectangle<int> bounds);
    void move (juce::Component& child, juce::Rectangle<int> bounds);

    void buildPanels();
    void buildTopBar();
    void buildLoudnessMeters();
    void buildReadouts();
    void buildTruePeak();
    void buildSettings();
    void buildScopes();
    void buildButtons();

    juce::Font latoFont (float height) const;
    void setUpLabel (juce::Label& label, juce::Component& parent, juce::Rectangle<int> bounds,
                     const juce::String& text, float fontHeight,
                     juce::Justification justification = juce::Justification::centredLeft);
    void setUpSlider (juce::Slider& slider, juce::Rectangle<int> bounds, double minimum, double maximum);
    void setUpCombo (juce::ComboBox& combo, juce::Rectangle<int> bounds, const juce::StringArray& items);
    void setUpTextEditor (juce::TextEditor& editor, juce::Rectangle<int> bounds);
    static void setSliderColours (juce::Slider& slider);

    /** An embedded picture by its file name without ".png". */
    static juce::Image picture (const char* name);
    static void setPictures (juce::DrawableButton& button, const Pictures& pictures);
    static void setText (juce::Label& label, const juce::String& text);

    //==============================================================================
    // Views
    void showMode (int mode);
    void createDeviceSelector();

    //==============================================================================
    // The controls
    void applyStandardPreset();
    void switchRemoteServer (bool on);
    void clearOverloadFlags();
    void setShortTermRange (double minimum, double maximum);
    void showUnitPictures (const juce::String& unit);
    /** The vectroscope's channel pairs as its box lists them, "L/R" and so on. */
    static juce::StringArray vectroscopePairNames();
    void showVectroscopePair (int index);

    /** The standards' buttons, in the standards' order. */
    std::array<PictureButton*, LoudnessStandard::count> standardButtons() noexcept;
    /** The standard whose button is on, -1 for none. */
    int standardShown() noexcept;
    /** The four captions of unitCaptions in one unit. */
    static juce::StringArray captionsIn (const juce::String& unit);

    //==============================================================================
    // The display timer
    /** The window's refresh: a tick whenever one is due on the 50 ms grid. */
    void windowRefreshed();
    void runTick();
    void tellLogWriteFailures();
    void setMeterSampleRate (double sampleRate);
    void showMeterLevels();
    void showScopes();
    bool isVectroscopeShown() const noexcept;
    void showOverloadLamps();
    void checkStereoRouting();
    void runOverloadHold();

    std::vector<Placement> layout;
    FailureNotice remoteServerNotice { "Remote control not started", "The remote control has been listening",
                                       "Remote control listening" };

    /** Shut while the window cannot be seen; owned by the component base. */
    RepaintGate* const repaintGate;

    // The ticks paced by the window's refresh (milliseconds of the framework's counter).
    DisplayPacer tickPacer { timerIntervalMs };
    double lastRefreshMs = 0.0;
    juce::VBlankAttachment windowRefresh { this, [this] { windowRefreshed(); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OvrajuceLoudnessAudioProcessorEditor)
};
