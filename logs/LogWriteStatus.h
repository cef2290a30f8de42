#pragma once

#include "LogWriteFailures.h"

#include <juce_core/juce_core.h>

/** Notes in the debug log when a measurement file stops being writable and
    when it recovers, once per change rather than on every failed pass, so a
    folder that stays read-only does not flood the log; and tells the same
    changes, with the reason, to the measurement's LogWriteFailures, if any.

    Logger thread only (or whoever holds the writer's lock).
*/
class LogWriteStatus
{
public:
    /** The failures, when given, must outlive this status. */
    explicit LogWriteStatus (juce::String whatIsWritten, LogWriteFailures* failuresToReport = nullptr)
        : what (std::move (whatIsWritten))
        , failures (failuresToReport)
    {
    }

    //==============================================================================
    /** Records the outcome of one write of the given file; a failure's note
        ends with the detail given, if any. */
    void update (const juce::Result& outcome, const juce::File& file, const juce::String& failureDetail = {})
    {
        if (outcome.wasOk() == ! failing)
            return;

        failing = outcome.failed();
        const auto failedText = what + " could not be written: " + file.getFullPathName();

        if (failing)
            juce::Logger::writeToLog (failedText
                                      + (failureDetail.isEmpty() ? juce::String() : "; " + failureDetail));
        else
            juce::Logger::writeToLog (what + " is written again: " + file.getFullPathName());

        if (failures == nullptr)
            return;

        if (failing)
            failures->fileFailed (failedText + "\n" + outcome.getErrorMessage());
        else
            failures->fileRecovered();
    }

private:
    const juce::String what;
    LogWriteFailures* const failures;
    bool failing = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LogWriteStatus)
};
