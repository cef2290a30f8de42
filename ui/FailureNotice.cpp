#include "FailureNotice.h"

namespace
{
juce::String timeText (juce::Time time) { return time.toString (true, true, true, true); }
} // namespace

FailureNotice::~FailureNotice() { delete box.getComponent(); }

//==============================================================================
void FailureNotice::failed (const juce::String& message)
{
    JUCE_ASSERT_MESSAGE_THREAD

    // The same failure again, after the user closed its box, is not news.
    if (! isUp() && failing && message == shownMessage)
        return;

    if (! isUp())
        numFailures = 0;

    failing = true;
    shownMessage = message;
    ++numFailures;
    lastFailure = juce::Time::getCurrentTime();
    worksSince.reset();
    show();
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
    // A box that tells one failure, still going on, needs no time: it has just come.
    if (numFailures <= 1 && ! worksSince.has_value())
        return shownMessage;

    auto text = shownMessage + "\n\n";

    if (numFailures > 1)
        text << TRANS ("Happened") << " " << numFailures << " " << TRANS ("times, the last at") << " ";
    else
        text << TRANS ("Happened at") << " ";

    text << timeText (lastFailure) << ".";

    if (worksSince.has_value())
        text << "\n" << worksAgain << " " << TRANS ("since") << " " << timeText (*worksSince) << ".";

    return text;
}

void FailureNotice::show()
{
    if (isUp())
    {
        box->setMessage (describe());
        box->toFront (false);

        // A modal box stays above the one that takes the keys.
        if (juce::Component::getCurrentlyModalComponent() != nullptr)
            juce::ModalComponentManager::getInstance()->bringModalComponentsToFront (false);

        return;
    }

    delete box.getComponent();
    box = juce::LookAndFeel::getDefaultLookAndFeel().createAlertWindow (
        title, describe(), TRANS ("OK"), {}, {}, juce::MessageBoxIconType::WarningIcon, 1, nullptr);

    // Its button only ends a modal state; here it closes the box, once the
    // click is over.
    for (auto* child : box->getChildren())
        if (auto* button = dynamic_cast<juce::Button*> (child))
            button->onClick = [this] {
                box->exitModalState (0);
                box->setVisible (false);
                juce::MessageManager::callAsync ([closed = box] { delete closed.getComponent(); });
            };

    // Not modal, so that the meter takes clicks while the box is up; but
    // modal above a dialog that is, which would otherwise take its clicks.
    if (juce::Component::getCurrentlyModalComponent() != nullptr)
    {
        box->enterModalState (true);
    }
    else
    {
        box->setVisible (true);
        box->toFront (true);
    }
}
