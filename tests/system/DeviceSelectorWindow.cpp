// The program's own main window, set up from the preferences exactly as the
// program does it, with its "Audio Settings" dialog open on the window's device
// manager, so that the system test can drive the real selector with xdotool.
// Quitting stores "audioSetup" and "filterState" as the program does.
#include "OVRAStandaloneFilterWindow.h"
#include "PreferencesFileLocation.h"
#include "QuitSignalHandler.h"
#include "ZEL5_1StandExtApplication.h"

class DeviceSelectorWindowApplication : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "ZELX5.1 device selector"; }
    const juce::String getApplicationVersion() override { return "1"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String&) override
    {
        quitSignals = std::make_unique<QuitSignalHandler> ([this] { systemRequestedQuit(); });
        window = std::make_unique<OVRAStandaloneFilterWindow> (
            ZEL5_1StandExtApplication::windowTitle, juce::Colours::black,
            PreferencesFileLocation::open (PreferencesFileLocation::findOrCreateFile()));
        ZEL5_1StandExtApplication::styleMainWindow (*window);
        window->showAudioSettingsDialog();
    }

    void shutdown() override
    {
        window.reset();
        quitSignals.reset();
    }

    void systemRequestedQuit() override { quit(); }

private:
    std::unique_ptr<QuitSignalHandler> quitSignals;
    std::unique_ptr<OVRAStandaloneFilterWindow> window;
};

START_JUCE_APPLICATION (DeviceSelectorWindowApplication)
