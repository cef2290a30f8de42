#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "AudioDeviceWatcher.h"
#include "FailureNotice.h"
#include "PreferencesSaver.h"

#include <memory>
#include <optional>

class CommandsListener;
class OvrajuceLoudnessAudioProcessor;

/** The program's only top-level window. It owns the running system: the
    preferences, the processor and its editor, the audio device manager and the
    player that feeds the device's blocks to the processor.

    The constructor brings the system up (engine, engine state, audio device,
    editor, window position, audio running); the destructor stores window
    position, device setup and engine state in the preferences and takes the
    system down again in reverse. While it runs, each of these is stored again
    when it changes and saved a few seconds later, so that it is kept should
    the process die.
*/
class OVRAStandaloneFilterWindow : public juce::DocumentWindow,
                                   public juce::AsyncUpdater,
                                   public juce::Button::Listener,
                                   private juce::Timer
{
public:
    //==============================================================================
    /** Preference keys; looked up without regard to letter case. */
    static constexpr const char* windowXKey = "windowX";
    static constexpr const char* windowYKey = "windowY";
    static constexpr const char* audioSetupKey = "audioSetup";
    static constexpr const char* filterStateKey = "filterState";

    /** The stored position that means "none stored". */
    static constexpr int noStoredPosition = -100;

    /** Takes ownership of the preferences, which may be null (nothing is then
        restored or kept). The background is black whatever the caller asks.
        The device manager is the framework's own unless one is given (one
        with device types added already, say). */
    OVRAStandaloneFilterWindow (const juce::String& title, juce::Colour backgroundColour,
                                std::unique_ptr<juce::PropertiesFile> preferences,
                                std::unique_ptr<juce::AudioDeviceManager> devices = {});
    ~OVRAStandaloneFilterWindow() override;

    //==============================================================================
    void resized() override;
    void moved() override;
    void closeButtonPressed() override;

    /** Shows the device selector on this window's device manager in a modal
        "Audio Settings" dialog that deletes itself when closed. */
    virtual void showAudioSettingsDialog();

    void handleAsyncUpdate() override;
    void buttonClicked (juce::Button*) override;

    /** Problems met with the preferences before the window was made, one a
        line: told once the window is up, in one box with a device that did
        not open. */
    void tellPreferencesProblems (const juce::StringArray& problems) { preferencesProblems = problems; }

    //==============================================================================
    OvrajuceLoudnessAudioProcessor* getProcessor() const noexcept { return processor.get(); }
    juce::AudioDeviceManager* getDeviceManager() const noexcept { return deviceManager.get(); }
    CommandsListener* getCommandsListener() const noexcept { return content.get(); }

private:
    //==============================================================================
    std::unique_ptr<OvrajuceLoudnessAudioProcessor> createFilter();
    bool restoreFilterState(); // true when a stored state was taken
    void openAudioDevice();
    void restoreWindowPosition();
    void keepPlacedPosition();
    void watchPlacement (int pollsLeft);

    // What the four keys hold for the running system, and the storing of each.
    juce::Point<int> positionToStore() const;
    juce::String setupToStore() const;
    juce::String stateToStore() const;
    void storeWindowPosition();
    void storeDeviceSetup();
    void storeEngineState();

    // Stores what changed since it was last stored or found at start, and saves it in time.
    void timerCallback() override;

    std::unique_ptr<juce::PropertiesFile> settings;
    std::unique_ptr<OvrajuceLoudnessAudioProcessor> processor;
    std::unique_ptr<juce::AudioDeviceManager> deviceManager;
    std::unique_ptr<CommandsListener> content;
    juce::AudioProcessorPlayer player;

    // Where the window was put at start, until the user moves it elsewhere,
    // and the native window that the window manager has shown there.
    // The settings dialog while it is open: it works on the device manager, so
    // it goes first when the window does.
    juce::Component::SafePointer<juce::DialogWindow> audioSettingsDialog;

    std::optional<juce::Point<int>> placedPosition;
    void* placementShownOn = nullptr;

    // What went wrong at start: why no device opened, and what with the
    // preferences; told together once the window is up.
    juce::String deviceFailure;
    juce::StringArray preferencesProblems;
    FailureNotice preferencesNotice { TRANS ("Preferences problem") };

    // Tells of a device that stops while the window is up and opens it again.
    std::unique_ptr<AudioDeviceWatcher> deviceWatcher;

    // The values last stored, or those of the start, so that a start and a
    // steady run store nothing and the file is not rewritten.
    juce::Point<int> storedPosition;
    juce::String storedSetup, storedState;
    std::unique_ptr<PreferencesSaver> saver;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAStandaloneFilterWindow)
};
