#pragma once

#include <juce_core/juce_core.h>

/** Notes in the debug log when a measurement file stops being writable and
    when it recovers, once per change rather than on every failed pass, so a
    folder that stays read-only does not flood the log.

    Logger thread only (or whoever holds the writer's lock).
*/
class LogWriteStatus
{
public:
    explicit LogWriteStatus (juce::String whatIsWritten) : what (std::move (whatIsWritten)) {}

    //==============================================================================
    /** Records the outcome of one write of the given file. */
    void update (bool succeeded, const juce::File& file)
    {
        if (succeeded == ! failing)
            return;

        failing = ! succeeded;
        juce::Logger::writeToLog (what + (failing ? " could not be written: " : " is written again: ")
                                  + file.getFullPathName());
    }

private:
    const juce::String what;
    bool failing = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LogWriteStatus)
};
