#pragma once

#include <juce_core/juce_core.h>

#include <atomic>

/** Gathers the write failures of a measurement's files, so that the window
    can tell the user while the measurement goes on.

    Each file's LogWriteStatus reports when the file starts failing and when
    it is written again; the owner says when the files are closed. A failure
    begins when a file fails while no other is failing and ends when none
    fails any more, or when the files are closed; each one gets a number, so
    a poller that missed a short failure, or the success between two, still
    sees that a new one began.

        LogWriteFailures failures;                            // outlives the writers
        auto logger = std::make_unique<OVRAMeasurementLogger> (&failures);
        if (failures.getNumFailures() != seen)                // message thread, polling
            tell (failures.getLatest().message);
        logger.reset();
        failures.filesClosed();

    Writers report from the logger thread and from whichever thread starts or
    stops a measurement; any thread but the audio thread may poll.
*/
class LogWriteFailures
{
public:
    LogWriteFailures() = default;

    //==============================================================================
    /** A file has started failing; the message names it and says why. */
    void fileFailed (const juce::String& message);

    /** A file that was failing is written again. */
    void fileRecovered();

    /** The files are written no more, by writers that are gone: whatever
        failed is over, and the next files' first failure is a new one. */
    void filesClosed();

    //==============================================================================
    /** Failures begun so far; lock-free. */
    juce::uint32 getNumFailures() const noexcept { return numFailures.load(); }

    struct Failure
    {
        juce::uint32 number = 0; // 0 while none has begun
        bool isGoingOn = false;  // some file is still failing
        juce::String message;    // the files that failed in it, one paragraph each
    };

    /** The latest failure, read whole. */
    Failure getLatest() const;

private:
    juce::CriticalSection lock;
    int numFailingFiles = 0;
    juce::String latestMessage;
    std::atomic<juce::uint32> numFailures { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LogWriteFailures)
};
