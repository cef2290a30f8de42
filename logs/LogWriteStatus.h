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
    /** Records the outcome of one write of the given file; a failure's note
        ends with the detail given, if any. */
    void update (bool succeeded, const juce::File& file, const juce::String& failureDetail = {})
    {
        if (succeeded == ! failing)
            return;

        failing = ! succeeded;

        if (failing)
            juce::Logger::writeToLog (what + " could not be written: " + file.getFullPathName()
                                      + (failureDetail.isEmpty() ? juce::String() : "; " + failureDetail));
        else
            juce::Logger::writeToLog (what + " is written again: " + file.getFullPathName());
    }

private:
    const juce::String what;
    bool failing = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LogWriteStatus)
};
