#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class OVRAStandaloneFilterWindow;
class QuitSignalHandler;

/** The standalone application: it opens the preferences file, creates the
    main window with it, styles the window and hands it what went wrong with
    the preferences, to tell in a box; everything else happens in the window. A
    quit request from the system ends the message loop the same way as the
    window's close button.
*/
class ZEL5_1StandExtApplication : public juce::JUCEApplication
{
public:
    //==============================================================================
    ZEL5_1StandExtApplication();
    ~ZEL5_1StandExtApplication() override;

    //==============================================================================
    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;
    void suspended() override;
    void resumed() override;
    void unhandledException (const std::exception*, const juce::String& sourceFilename,
                             int lineNumber) override;

    juce::ApplicationCommandTarget* getNextCommandTarget() override;

    //==============================================================================
    /** The title the main window is created with. */
    static constexpr const char* windowTitle = "ZELx 5.1";

    /** Gives the main window its title bar and shows it, as the application
        does once the window is made. */
    static void styleMainWindow (juce::DocumentWindow& window);

    /** Opens the preferences file found under these application-data folders,
        creates the main window with it and styles it, as the application does
        at start; the window tells the user in one box of every problem met
        with the preferences, if there was any, once the message loop runs. The
        device manager is the framework's own unless one is given. */
    static std::unique_ptr<OVRAStandaloneFilterWindow>
        createMainWindow (const juce::File& commonRoot, const juce::File& userRoot,
                          std::unique_ptr<juce::AudioDeviceManager> devices = {});

private:
    std::unique_ptr<QuitSignalHandler> quitSignals;
    std::unique_ptr<OVRAStandaloneFilterWindow> mainWindow;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZEL5_1StandExtApplication)
};
