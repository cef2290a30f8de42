#include "ZEL5_1StandExtApplication.h"

#include "DiagnosticPrinter.h"
#include "DisplayProbe.h"
#include "JackLibraryMessages.h"
#include "OVRAStandaloneFilterWindow.h"
#include "PreferencesFileLocation.h"
#include "QuitSignalHandler.h"

ZEL5_1StandExtApplication::ZEL5_1StandExtApplication() = default;

ZEL5_1StandExtApplication::~ZEL5_1StandExtApplication()
{
    mainWindow.reset();
    quitSignals.reset();
}

//==============================================================================
const juce::String ZEL5_1StandExtApplication::getApplicationName() { return "ZELX5.1"; }

const juce::String ZEL5_1StandExtApplication::getApplicationVersion() { return "2.0.2"; }

bool ZEL5_1StandExtApplication::moreThanOneInstanceAllowed() { return true; }

void ZEL5_1StandExtApplication::initialise (const juce::String&)
{
    // Without a display there is no window to tell anything in: said here,
    // before a device or a file is touched.
    if (const auto problem = DisplayProbe::findProblem(); problem.isNotEmpty())
    {
        DiagnosticPrinter::printError (problem.toStdString());
        DiagnosticPrinter::waitUntilWritten (1000);
        setApplicationReturnValue (1);
        quit();
        return;
    }

    JackLibraryMessages::silence();
    quitSignals = std::make_unique<QuitSignalHandler> ([this] { systemRequestedQuit(); });

    mainWindow.reset();
    mainWindow = createMainWindow (
        juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory),
        juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory));
}

std::unique_ptr<OVRAStandaloneFilterWindow>
ZEL5_1StandExtApplication::createMainWindow (const juce::File& commonRoot, const juce::File& userRoot,
                                             std::unique_ptr<juce::AudioDeviceManager> devices)
{
    juce::StringArray problems;
    const auto file = PreferencesFileLocation::findOrCreateFile (commonRoot, userRoot, &problems);
    auto window = std::make_unique<OVRAStandaloneFilterWindow> (
        windowTitle, juce::Colours::black, PreferencesFileLocation::open (file, &problems), std::move (devices));
    styleMainWindow (*window);

    window->tellPreferencesProblems (problems);

    return window;
}

void ZEL5_1StandExtApplication::styleMainWindow (juce::DocumentWindow& window)
{
    // Made resizable before it gets the native title bar: with a native title
    // bar each of these changes replaces the native window and shows the new
    // one, which the window manager would then frame and place once more.
    window.setTitleBarButtonsRequired (juce::DocumentWindow::allButtons, true);
    window.setColour (juce::DocumentWindow::textColourId, juce::Colours::white);
    window.setResizable (true, false);

    // The size was fitted around JUCE's own frame and title bar, which the switch
    // would keep as a margin: the native window is made at the editor's size.
    if (auto* content = window.getContentComponent())
        if (auto* editor = content->getChildComponent (0))
            window.setSize (editor->getWidth(), editor->getHeight());

    window.setUsingNativeTitleBar (true);
    window.setTitleBarTextCentred (true);
    window.setVisible (true);
}

void ZEL5_1StandExtApplication::shutdown() {}

void ZEL5_1StandExtApplication::anotherInstanceStarted (const juce::String&) {}

void ZEL5_1StandExtApplication::systemRequestedQuit() { quit(); }

void ZEL5_1StandExtApplication::suspended() {}

void ZEL5_1StandExtApplication::resumed() {}

void ZEL5_1StandExtApplication::unhandledException (const std::exception*, const juce::String&, int) {}

juce::ApplicationCommandTarget* ZEL5_1StandExtApplication::getNextCommandTarget() { return nullptr; }
