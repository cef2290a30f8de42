#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The main window's content component: it holds the editor as its only child
    and answers the two keyboard commands of the standalone window.

    Key presses reach the commands through the key mappings of the process-wide
    command manager, which the main window adds as its key listener.
*/
class CommandsListener : public juce::Component, public juce::ApplicationCommandTarget
{
public:
    //==============================================================================
    enum CommandIDs
    {
        toggleRepaintDisplayCommand = 0x200E,
        kioskModeCommand = 0x200F
    };

    CommandsListener() = default;
    ~CommandsListener() override = default;

    //==============================================================================
    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands (juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform (const InvocationInfo& info) override;

    //==============================================================================
    /** The process-wide command manager, created on first use. */
    static juce::ApplicationCommandManager& getGlobalCommandManager();

    /** Deletes the command manager; the next getGlobalCommandManager makes a new one. */
    static void deleteGlobalCommandManager();

    /** The flag that the repaint command flips; false when the process starts. */
    static bool isRepaintDisplayOn() noexcept;

private:
    static std::unique_ptr<juce::ApplicationCommandManager> globalCommandManager;
    static bool repaintDisplayFlag;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CommandsListener)
};
