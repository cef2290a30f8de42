#pragma once

#include "DisplaySnapshot.h"
#include "LogWriteFailures.h"
#include "MeasurementClock.h"
#include "OVRAMeasurementLogger.h"
#include "RelaxedAtomic.h"
#include "SettingsSnapshot.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

/** Runs the processor's measurement log: names its files, starts and stops
    the logger, feeds it from the audio thread with the published values,
    keeps the maxima of the running log with their times, and rolls the log
    over after one day (stop, the processor's measurement reset, start).

    Threads: start, stop, the roll-over and clearMaxima (while no audio runs)
    on the message thread; beginBlock, the log calls, endBlock and clearMaxima
    (while audio runs) on the audio thread.

    The audio thread takes the logger once at the start of each block and
    keeps it to the end of that block, so a block logs into one log or none.
    Stopping a log takes the logger away and waits for a block that still
    holds it; the logger is therefore never deleted under the audio thread,
    and no block can log into a log that started after the block did.

        MeasurementLogControl log (settings, display, [this] { resetMeasurement(); });
        log.start();                          // message thread
        log.beginBlock(); log.logMomentary(); log.endBlock();    // audio thread
        log.stop();
*/
class MeasurementLogControl
{
public:
    MeasurementLogControl (const SettingsSnapshot& settings, const DisplaySnapshot& display,
                           std::function<void()> resetMeasurement);

    /** Stops a running log. */
    ~MeasurementLogControl();

    //==============================================================================
    /** Starts a new log (replacing a running one): clears the maxima, names the
        report after the start time, prints its path to standard output and
        writes the report's skeleton. */
    void start();

    /** Writes the stop values into the report and closes the log, writing
        every queued line. Does nothing while no log runs. */
    void stop();

    bool isRunning() const noexcept { return logger != nullptr; }

    /** The report file of a new log: <folder>/<name>_<day>_<Mon>_<year>_<h>_<m>_<s>.xml
        in local time, the defaults standing in for an empty folder or name.
        Takes the current time as measurementStartTime. */
    juce::File buildLogFilePath();

    /** The folder a new log's files go to for the given folder setting: the
        default when it is empty, a relative one taken from the working
        folder. Changes nothing, so a running log keeps its start. */
    static juce::File getLogFolder (const juce::String& logFilePath);

    /** What has failed to be written of the logs' files so far: the running
        log's, and the last ones of logs that have ended. */
    const LogWriteFailures& getWriteFailures() const noexcept { return writeFailures; }

    /** Where the log takes the time from. The clock must outlive this object
        and be set before audio runs. */
    void setClock (const MeasurementClock& newClock) noexcept { clock = &newClock; }

    /** The defaults of the log folder and name: the folder lies in the
        application-data folder of whoever runs the meter now. */
    static juce::String getDefaultLogFilePath();
    static juce::String getDefaultLogFileName();

    /** True when the folder setting is the default folder of whoever runs the
        meter now, or empty, which stands for it. */
    static bool isDefaultLogFilePath (const juce::String& logFilePath);

    //==============================================================================
    /** Audio thread: takes the running logger, if any, for this block. */
    void beginBlock() noexcept;

    /** Audio thread: lets the block's logger go. */
    void endBlock() noexcept;

    /** Audio thread, after each published value: logs it and keeps the maxima. */
    void logMomentary() noexcept;
    void logShortTerm() noexcept;

    /** Audio thread, after each block: the block's highest rounded true peak
        if the measurement took the block in, levelFloor if not. Keeps the
        true peak of the measured audio since the reset, which is the log's. */
    void logTruePeak (float measuredPeak) noexcept;

    /** The measurement reset: the three maxima back to -70, and the true
        peak of the measured audio forgotten. Audio thread, or any thread
        while no audio runs. */
    void clearMaxima() noexcept;

    //==============================================================================
    /** Highest rounded values of the current log and when they were reached. */
    RelaxedAtomic<float> maxMomentaryLoudness { levelFloor };
    RelaxedAtomic<juce::Time> maxMomentaryTime;
    RelaxedAtomic<float> maxShortTermLoudness { levelFloor };
    RelaxedAtomic<float> maxTruePeak { levelFloor };
    RelaxedAtomic<juce::Time> maxTruePeakTime;

    /** Start of the current log; the one-day roll-over counts from here. */
    RelaxedAtomic<juce::Time> measurementStartTime;

private:
    //==============================================================================
    using MaximumSetter = void (OVRAMeasurementLogger::*) (float, juce::StringRef, juce::Time) noexcept;

    /** Logs a published loudness into the block's logger and keeps its
        maximum; the time of a new maximum, or nothing. */
    std::optional<juce::Time> logLoudness (LogEvent::Type type, float published,
                                           RelaxedAtomic<float>& maximum, MaximumSetter setMaximum) noexcept;

    void clearLogMaxima() noexcept;
    std::unique_ptr<OVRAMeasurementLogger> detachLogger() noexcept;
    void closeLogger (std::unique_ptr<OVRAMeasurementLogger> closing);
    void rollOverIfDue();
    juce::StringRef getLoudnessUnit() const noexcept;

    /** Polls, on the message thread, for a roll-over that the audio thread found due. */
    class RollOverTimer : public juce::Timer
    {
    public:
        explicit RollOverTimer (MeasurementLogControl& owner) noexcept : control (owner) {}
        void timerCallback() override { control.rollOverIfDue(); }

    private:
        MeasurementLogControl& control;
    };

    //==============================================================================
    const SettingsSnapshot& settings;
    const DisplaySnapshot& display;
    const std::function<void()> resetMeasurement;

    // Before the logger, whose writers report into it.
    LogWriteFailures writeFailures;

    // Only the message thread touches logger; the audio thread reaches the
    // same object through activeLogger while it counts itself in loggerUsers.
    std::unique_ptr<OVRAMeasurementLogger> logger;
    std::atomic<OVRAMeasurementLogger*> activeLogger { nullptr };
    std::atomic<int> loggerUsers { 0 };
    OVRAMeasurementLogger* blockLogger = nullptr; // audio thread

    std::atomic<bool> rollOverDue { false };
    RollOverTimer rollOverTimer { *this };

    RelaxedAtomic<const MeasurementClock*> clock;

    // A resumed log goes on with the integrated loudness since the reset, so
    // its true peak is that of the same audio: the measured blocks' since the
    // reset, across stops, with when it came. Audio thread, or clearMaxima.
    RelaxedAtomic<float> measuredTruePeak { levelFloor };
    RelaxedAtomic<juce::Time> measuredTruePeakTime;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MeasurementLogControl)
};
