#include "FailureNotice.h"

void FailureNotice::failed (const juce::String& message)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (failing)
        return;

    failing = true;
    // Asynchronous: the caller may be a timer or a click handler, which must
    // not wait for the user.
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message);
}
