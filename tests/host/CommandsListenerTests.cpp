#include "CommandsListener.h"

#include <gtest/gtest.h>

TEST (CommandsListener, DescribesItsTwoCommands)
{
    CommandsListener listener;
    juce::Array<juce::CommandID> ids;
    listener.getAllCommands (ids);
    ASSERT_EQ (ids.size(), 2);
    EXPECT_EQ (ids[0], 0x200E);
    EXPECT_EQ (ids[1], 0x200F);

    juce::ApplicationCommandInfo repaint (ids[0]);
    listener.getCommandInfo (ids[0], repaint);
    EXPECT_EQ (repaint.shortName, "Toggle repaint display");
    EXPECT_TRUE (repaint.description.isEmpty());
    EXPECT_EQ (repaint.categoryName, "General");
    ASSERT_EQ (repaint.defaultKeypresses.size(), 1);
    EXPECT_EQ (repaint.defaultKeypresses[0], juce::KeyPress ('r', juce::ModifierKeys::noModifiers, 0));
    EXPECT_EQ ((repaint.flags & juce::ApplicationCommandInfo::isTicked) != 0,
               CommandsListener::isRepaintDisplayOn());
    EXPECT_EQ (repaint.flags & ~juce::ApplicationCommandInfo::isTicked, 0);

    juce::ApplicationCommandInfo kiosk (ids[1]);
    listener.getCommandInfo (ids[1], kiosk);
    EXPECT_EQ (kiosk.shortName, "Show full-screen kiosk mode");
    EXPECT_EQ (kiosk.categoryName, "General");
    ASSERT_EQ (kiosk.defaultKeypresses.size(), 1);
    EXPECT_EQ (kiosk.defaultKeypresses[0], juce::KeyPress ('f', juce::ModifierKeys::ctrlModifier, 0));
    EXPECT_EQ (kiosk.flags, 0) << "no kiosk component on the desktop, so not ticked";

    // Any other id leaves the description alone.
    juce::ApplicationCommandInfo other (0x2010);
    other.shortName = "untouched";
    listener.getCommandInfo (0x2010, other);
    EXPECT_EQ (other.shortName, "untouched");
    EXPECT_TRUE (other.defaultKeypresses.isEmpty());
}

TEST (CommandsListener, WithoutAMainWindowCommandsDoNothing)
{
    CommandsListener listener;
    const bool flag = CommandsListener::isRepaintDisplayOn();

    EXPECT_TRUE (listener.perform (juce::ApplicationCommandTarget::InvocationInfo (0x200E)));
    EXPECT_EQ (CommandsListener::isRepaintDisplayOn(), flag);
    EXPECT_TRUE (listener.perform (juce::ApplicationCommandTarget::InvocationInfo (0x200F)));
    EXPECT_EQ (juce::Desktop::getInstance().getKioskModeComponent(), nullptr);
}

TEST (CommandsListener, GlobalCommandManagerIsMadeOnFirstUseAndReplacedAfterDeletion)
{
    auto& first = CommandsListener::getGlobalCommandManager();
    EXPECT_EQ (&CommandsListener::getGlobalCommandManager(), &first);

    CommandsListener listener;
    first.registerAllCommandsForTarget (&listener);
    EXPECT_EQ (first.getNumCommands(), 2);

    CommandsListener::deleteGlobalCommandManager();
    EXPECT_EQ (CommandsListener::getGlobalCommandManager().getNumCommands(), 0);
    CommandsListener::deleteGlobalCommandManager();
}
