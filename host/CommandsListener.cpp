#include "CommandsListener.h"

#include "OVRAStandaloneFilterWindow.h"

std::unique_ptr<juce::ApplicationCommandManager> CommandsListener::globalCommandManager;
bool CommandsListener::repaintDisplayFlag = false;

namespace
{
OVRAStandaloneFilterWindow* findMainWindow()
{
    for (int i = juce::TopLevelWindow::getNumTopLevelWindows(); --i >= 0;)
        if (auto* window =
                dynamic_cast<OVRAStandaloneFilterWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
            return window;

    return nullptr;
}
} // namespace

//==============================================================================
juce::ApplicationCommandTarget* CommandsListener::getNextCommandTarget()
{
    return findFirstTargetParentComponent();
}

void CommandsListener::getAllCommands (juce::Array<juce::CommandID>& commands)
{
    commands.add (toggleRepaintDisplayCommand);
    commands.add (kioskModeCommand);
}

void CommandsListener::getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result)
{
    const juce::String category ("General");

    switch (commandID)
    {
        case toggleRepaintDisplayCommand:
            result.setInfo ("Toggle repaint display", {}, category, 0);
            result.addDefaultKeypress ('r', juce::ModifierKeys::noModifiers);
            result.setTicked (repaintDisplayFlag);
            break;

        case kioskModeCommand:
            result.setInfo ("Show full-screen kiosk mode", {}, category, 0);
            result.addDefaultKeypress ('f', juce::ModifierKeys::ctrlModifier);
            result.setTicked (juce::Desktop::getInstance().getKioskModeComponent() != nullptr);
            break;

        default:
            break;
    }
}

bool CommandsListener::perform (const InvocationInfo& info)
{
    auto* mainWindow = findMainWindow();

    if (mainWindow == nullptr)
        return true;

    switch (info.commandID)
    {
        case toggleRepaintDisplayCommand:
            repaintDisplayFlag = ! repaintDisplayFlag;
            mainWindow->repaint();
            return true;

        case kioskModeCommand:
        {
            auto& desktop = juce::Desktop::getInstance();

            if (desktop.getKioskModeComponent() != nullptr)
                desktop.setKioskModeComponent (nullptr);
            else
                desktop.setKioskModeComponent (getTopLevelComponent());

            return true;
        }

        default:
            return false;
    }
}

//==============================================================================
juce::ApplicationCommandManager& CommandsListener::getGlobalCommandManager()
{
    if (globalCommandManager == nullptr)
        globalCommandManager = std::make_unique<juce::ApplicationCommandManager>();

    return *globalCommandManager;
}

void CommandsListener::deleteGlobalCommandManager() { globalCommandManager.reset(); }

bool CommandsListener::isRepaintDisplayOn() noexcept { return repaintDisplayFlag; }
