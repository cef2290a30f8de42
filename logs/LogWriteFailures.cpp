#include "LogWriteFailures.h"

void LogWriteFailures::fileFailed (const juce::String& message)
{
    const juce::ScopedLock sl (lock);

    if (numFailingFiles++ == 0)
    {
        latestMessage = message;
        ++numFailures;
    }
    else
    {
        // The other file of the same folder usually follows within a pass:
        // still the same failure, told with both names.
        latestMessage << "\n\n" << message;
    }
}

void LogWriteFailures::fileRecovered()
{
    const juce::ScopedLock sl (lock);
    jassert (numFailingFiles > 0);
    numFailingFiles = juce::jmax (0, numFailingFiles - 1);
}

void LogWriteFailures::filesClosed()
{
    const juce::ScopedLock sl (lock);
    numFailingFiles = 0;
}

LogWriteFailures::Failure LogWriteFailures::getLatest() const
{
    const juce::ScopedLock sl (lock);
    return { numFailures.load(), numFailingFiles > 0, latestMessage };
}
