#include "FailureNotice.h"

void FailureNotice::failed (const juce::String& message)
{
    JUCE_ASSERT_MESSAGE_THREAD

    // Another failure while failing (another port, another reason) is news
    // to the user; the same one again is not.
    if (failing && message == shownMessage)
        return;

    failing = true;
    shownMessage = message;
    // Asynchronous: the caller may be a timer or a click handler, which must
    // not wait for the user.
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message);
}
