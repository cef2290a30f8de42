#pragma once

#include "LogEvent.h"
#include "LogWriteStatus.h"
#include "WholeAppend.h"

#include <juce_core/juce_core.h>

#include <vector>

/** Appends a measurement's momentary and short-term values to its CSV log.

    The audio thread hands each value over with pushEvent, which copies it
    into a preallocated lock-free queue; the logger thread drains the queue
    in passes of at most 256 events and appends one line per event:

        Type, Value, Date, Time
        MomentaryLoudness, -23.4, 6 Dec 2026, 14:30:00

    Lines end with CR LF, one write call each. The log stays open from pass
    to pass; each pass with events first checks, with one stat call, that
    the file at the log's path is still the open one. A log removed or
    replaced during a measurement, or whose folder went, is opened anew, and
    made again with its header when missing. A pass whose file cannot be
    written loses its lines from the first that fails, which the debug log
    names, and the next pass opens the file again and retries; a line that a
    full disk takes only in part is cut off again, so the log holds whole
    lines only. The measurement's LogWriteFailures, when given, also learns
    when the log fails and why. Destroying the logger writes every event
    still queued, then closes the log.
*/
class OVRATextCSVLogger : public juce::TimeSliceClient
{
public:
    /** Slots in the queue; one is always kept free, so 1023 events can wait. */
    static constexpr int eventCapacity = 1024;
    static constexpr int maxEventsPerPass = eventCapacity / 4;
    static constexpr int idleIntervalMs = 100;

    /** The thread is the owner's and is not started here; the owner registers
        this client with it. May be null when the owner drains by hand. The
        log's failures go to failuresToReport too, when given; it must outlive
        this logger. */
    explicit OVRATextCSVLogger (juce::TimeSliceThread* threadToUse,
                                LogWriteFailures* failuresToReport = nullptr);

    /** Leaves the thread (waiting for a pass in progress), then writes every
        event still queued and closes the log. No pushEvent may run once this
        has begun. */
    ~OVRATextCSVLogger() override;

    //==============================================================================
    /** Queues one event. Returns 1 when queued, 0 when the queue was full and
        the event was dropped. Audio thread: no allocation, lock or system call. */
    int pushEvent (const LogEvent& event) noexcept;

    /** One drain pass: writes up to 256 queued events and releases them,
        written or not. Returns 0 after a pass with events (call again at once),
        otherwise the idle interval. */
    int writePendingEvents();

    int useTimeSlice() override;

    //==============================================================================
    /** Names the CSV log, closing any open before. Until it is set, passes
        with events lose them. */
    void setLogFile (const juce::File& newLogFile);
    juce::File getLogFile() const;

    /** The CSV log's extension, ".csv". */
    static juce::String getLogExtension() { return ".csv"; }

    /** The log line of an event, its CR LF included. */
    static juce::String formatLine (const LogEvent& event);

    /** Events waiting in the queue. */
    int getNumQueuedEvents() const noexcept { return fifo.getNumReady(); }

private:
    juce::Result openLog();
    juce::Result append (const juce::String& text);

    juce::AbstractFifo fifo { eventCapacity };
    juce::CriticalSection lock;
    juce::TimeSliceThread* const loggerThread;
    const juce::String header { "Type, Value, Date, Time\r\n" };
    juce::File logFile;
    std::vector<LogEvent> events;
    WholeAppend log;
    LogWriteStatus writeStatus;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRATextCSVLogger)
};
