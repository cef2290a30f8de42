#include "FailureNotice.h"

#include "OwnedWindow.h"

namespace
{
juce::String timeText (juce::Time time) { return time.toString (true, true, true, true); }

/** The program's window, which a box belongs to: the first on the desktop
    that is neither a box nor a dialog (which is modal). */
juce::Component* findOwner()
{
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = dynamic_cast<juce::ResizableWindow*> (desktop.getComponent (i)))
            if (window->isVisible() && ! window->isCurrentlyModal (false))
                return window;

    return nullptr;
}

/** A modal dialog takes every click but its own, the box's too; an open list
    (a menu) is modal as well, but closes at the next click anywhere. */
bool isDialogUp()
{
    auto* modal = juce::Component::getCurrentlyModalComponent();
    auto* peer = modal != nullptr ? modal->getPeer() : nullptr;
    return peer != nullptr && (peer->getStyleFlags() & juce::ComponentPeer::windowIsTemporary) == 0;
}
} // namespace

FailureNotice::~FailureNotice()
{
    if (followsFocus)
        juce::Desktop::getInstance().removeFocusChangeListener (this);

    delete box.getComponent();
}

//==============================================================================
void FailureNotice::failed (const juce::String& message, const juce::String& meanwhile)
{
    JUCE_ASSERT_MESSAGE_THREAD

    // The same failure again, after the user closed its box, is not news.
    if (! isUp() && failing && message == shownMessage)
        return;

    if (! isUp())
        numFailures = 0;

    failing = true;
    shownMessage = message;
    shownMeanwhile = meanwhile;
    ++numFailures;
    lastFailure = juce::Time::getCurrentTime();
    worksSince.reset();
    show();
}

void FailureNotice::requestFailed (const juce::String& message)
{
    if (! isUp())
        failing = false;

    failed (message);
}

void FailureNotice::succeeded()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! std::exchange (failing, false) || ! isUp())
        return;

    worksSince = juce::Time::getCurrentTime();
    show();
}

void FailureNotice::dismiss()
{
    JUCE_ASSERT_MESSAGE_THREAD

    failing = false;
    delete box.getComponent();
}

//==============================================================================
juce::String FailureNotice::describe() const
{
    auto happened = TRANS ("Happened") + " ";

    if (numFailures > 1)
        happened << numFailures << " " << TRANS ("times, the last at") << " ";
    else
        happened << TRANS ("at") << " ";

    happened << timeText (lastFailure) << ".";

    if (worksSince.has_value())
        return worksAgain + " " + TRANS ("since") + " " + timeText (*worksSince) + ".\n\n" + shownMessage
               + "\n\n" + happened;

    auto text = shownMessage;

    if (shownMeanwhile.isNotEmpty())
        text << "\n\n" << shownMeanwhile;

    // A box that tells one failure, still going on, needs no time: it has just come.
    if (numFailures > 1)
        text << "\n\n" << happened;

    return text;
}

void FailureNotice::show()
{
    const auto& shownTitle = worksSince.has_value() ? endedTitle : title;

    // Neither raised nor given the keyboard: it stays above its window anyway.
    if (isUp())
    {
        box->setName (shownTitle);
        box->setMessage (describe());

        // Laid out afresh, not only grown: the text would keep its old width.
        box->sendLookAndFeelChange();
        box->setWantsKeyboardFocus (true); // which the layout takes back
        return;
    }

    delete box.getComponent();
    owner = findOwner();
    box = juce::LookAndFeel::getDefaultLookAndFeel().createAlertWindow (
        shownTitle, describe(), TRANS ("OK"), {}, {}, juce::MessageBoxIconType::WarningIcon, 1,
        owner.getComponent());
    box->setLookAndFeel (&boxLook);

    // It takes the keys only when the window system gives them to it (a
    // click on it does), and then as a whole, for its button's Return and
    // Escape. Its button would only end a modal state; here it closes the
    // box, once the click is over.
    box->setWantsKeyboardFocus (true);
    box->setMouseClickGrabsKeyboardFocus (false);

    for (auto* child : box->getChildren())
    {
        child->setWantsKeyboardFocus (false);
        child->setMouseClickGrabsKeyboardFocus (false);

        if (auto* button = dynamic_cast<juce::Button*> (child))
            button->onClick = [this] { close(); };
    }

    OwnedWindow::setOwner (*box, owner.getComponent());
    globalFocusChanged (juce::Component::getCurrentlyFocusedComponent());

    if (! std::exchange (followsFocus, true))
        juce::Desktop::getInstance().addFocusChangeListener (this);

    // Not modal, so that the meter takes clicks while the box is up; but
    // modal above a dialog, which would otherwise take its clicks.
    if (isDialogUp())
        box->enterModalState (false);
    else
        box->setVisible (true);
}

void FailureNotice::close()
{
    // A click gives the box the keyboard all the same: it goes back to the
    // window below, and there to the component that had it.
    const auto hadKeyboard = box->getPeer() != nullptr && box->getPeer()->isFocused();
    box->exitModalState (0);

    auto* below = juce::Component::getCurrentlyModalComponent();

    if (below == nullptr)
        below = owner.getComponent();

    auto* belowPeer = below != nullptr ? below->getPeer() : nullptr;
    auto* keysTo = keysBefore.getComponent();

    if (belowPeer != nullptr && ! (belowPeer->getComponent().isParentOf (keysTo) && keysTo->isShowing()))
        keysTo = belowPeer->getLastFocusedSubcomponent();

    box->setVisible (false);

    if (hadKeyboard && belowPeer != nullptr)
    {
        belowPeer->grabFocus();
        keysTo->grabKeyboardFocus();
    }

    juce::MessageManager::callAsync ([closed = box] { delete closed.getComponent(); });
}

void FailureNotice::globalFocusChanged (juce::Component* focused)
{
    // A click on the box takes the keyboard, even if not for long: the last
    // component outside it that had the keys gets them back when it closes.
    if (focused != nullptr && box != nullptr && focused != box && ! box->isParentOf (focused))
        keysBefore = focused;
}
