#include "MeasurementLogControl.h"
#include "DiagnosticPrinter.h"
#include "LoudnessStandard.h"

#include <thread>

namespace
{
constexpr int rollOverCheckIntervalMs = 200;
constexpr double secondsPerLogFile = 86400.0;

const MeasurementClock& getSystemClock() noexcept
{
    static const SystemMeasurementClock systemClock;
    return systemClock;
}

// Date and time as the report shows them: 6 Dec 2026 14:30:00.
juce::String toReportText (juce::Time time) { return time.toString (true, true, true, true); }
} // namespace

//==============================================================================
MeasurementLogControl::MeasurementLogControl (const SettingsSnapshot& liveSettings,
                                              const DisplaySnapshot& liveDisplay,
                                              std::function<void()> measurementReset)
    : settings (liveSettings)
    , display (liveDisplay)
    , resetMeasurement (std::move (measurementReset))
{
    clock = &getSystemClock();
}

MeasurementLogControl::~MeasurementLogControl() { stop(); }

//==============================================================================
juce::String MeasurementLogControl::getDefaultLogFilePath()
{
    // Not kept from an earlier call: the default is the home of whoever runs the meter.
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Tamvo")
        .getChildFile ("ZELX")
        .getFullPathName();
}

bool MeasurementLogControl::isDefaultLogFilePath (const juce::String& logFilePath)
{
    return logFilePath.isEmpty() || getLogFolder (logFilePath) == juce::File (getDefaultLogFilePath());
}

juce::String MeasurementLogControl::getDefaultLogFileName()
{
    static const juce::String name = "ZELX51Log";
    return name;
}

juce::File MeasurementLogControl::buildLogFilePath()
{
    const auto start = clock.get()->now();
    measurementStartTime = start;

    juce::String stamp;
    stamp << start.getDayOfMonth() << "_" << juce::Time::getMonthName (start.getMonth(), true) << "_"
          << start.getYear() << "_" << start.getHours() << "_" << start.getMinutes() << "_"
          << start.getSeconds();

    const auto folder = getLogFolder (settings.logFilePath);
    const auto name = settings.logFileName.isNotEmpty() ? settings.logFileName : getDefaultLogFileName();
    const auto baseName = name + "_" + stamp;
    auto report = folder.getChildFile (baseName + ".xml");

    // A second log started within the same second must neither replace the
    // first one's report nor append to its CSV log.
    for (int copy = 2; report.exists(); ++copy)
        report = folder.getChildFile (baseName + " (" + juce::String (copy) + ").xml");

    return report;
}

juce::File MeasurementLogControl::getLogFolder (const juce::String& logFilePath)
{
    const auto path = logFilePath.isNotEmpty() ? logFilePath : getDefaultLogFilePath();

    // An absolute folder stays as it is; a relative one must not end up as an invalid File.
    return juce::File::getCurrentWorkingDirectory().getChildFile (path);
}

//==============================================================================
void MeasurementLogControl::start()
{
    // The previous log is closed first (deleting it writes its files a last
    // time, without stop values): two loggers never write at once, and no
    // maximum of the old log reaches the new one.
    closeLogger (detachLogger());

    // No block holds a logger now, and a block touches the maxima only
    // through one, so they can be cleared from here.
    clearLogMaxima();

    // Through the printer's thread: standard output that nobody reads must
    // not stop the message thread.
    const auto reportFile = buildLogFilePath();
    DiagnosticPrinter::print (reportFile.getFullPathName().toStdString());

    auto newLogger = std::make_unique<OVRAMeasurementLogger> (&writeFailures);
    newLogger->startReport (reportFile);
    newLogger->xmlLogger.setElementAttribute ({}, "UserSelectedTitle", "value", "ZEL51Log");
    newLogger->xmlLogger.setElementAttribute ("MeasurementInterval", "StartTime", "value",
                                              toReportText (measurementStartTime.get()));

    // Written again at once, so that no report on disk lacks its start.
    newLogger->xmlLogger.writeReport();

    logger = std::move (newLogger);
    rollOverDue = false;
    activeLogger.store (logger.get());
    rollOverTimer.startTimer (rollOverCheckIntervalMs);
}

void MeasurementLogControl::stop()
{
    if (logger == nullptr)
        return;

    rollOverTimer.stopTimer();

    // Taken from the audio thread before the stop values go in, so that no
    // maximum arrives after them.
    auto stopped = detachLogger();
    auto& report = stopped->xmlLogger;
    const auto stopTime = clock.get()->now();

    report.setElementAttribute ("MeasurementInterval", "StopTime", "value", toReportText (stopTime));
    report.setElementAttribute ("MeasurementInterval", "UpTime", "value",
                                (stopTime - measurementStartTime.get()).getDescription ("0"));
    stopped->setIntegratedLoudness (display.programLoudness.get(), getLoudnessUnit());
    report.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "value",
                                juce::String ((double) display.loudnessRange.get(), 1));
    report.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "unit",
                                LoudnessStandard::relativeUnit);

    closeLogger (std::move (stopped));
}

void MeasurementLogControl::closeLogger (std::unique_ptr<OVRAMeasurementLogger> closing)
{
    // Writes the remaining CSV lines and the report a last time; only then
    // are its files' failures over, so that a failure of those last writes
    // counts as part of them.
    closing.reset();
    writeFailures.filesClosed();
}

// The audio thread counts itself in before it loads the pointer and out at
// the end of its block; a thread that takes the logger away first clears the
// pointer, then waits for the count to drop. Both sides are sequentially
// consistent, so either that thread sees the count or the block sees the
// cleared pointer.
std::unique_ptr<OVRAMeasurementLogger> MeasurementLogControl::detachLogger() noexcept
{
    activeLogger.store (nullptr);

    // A block holds the logger for its own length, well under a millisecond.
    while (loggerUsers.load() != 0)
        std::this_thread::yield();

    return std::move (logger);
}

void MeasurementLogControl::rollOverIfDue()
{
    if (! rollOverDue.exchange (false))
        return;

    // The flag may be older than a restart of the log: the rule is checked again.
    const auto dayEnd = measurementStartTime.get() + juce::RelativeTime::seconds (secondsPerLogFile);

    if (logger == nullptr || ! (dayEnd < clock.get()->now()))
        return;

    stop();
    resetMeasurement();
    start();
}

juce::StringRef MeasurementLogControl::getLoudnessUnit() const noexcept
{
    // Any standard but EBU's reads in the other standards' unit.
    return LoudnessStandard::rowOf (settings.measurementStandard.get() == 0.0f).unit;
}

//==============================================================================
void MeasurementLogControl::beginBlock() noexcept
{
    loggerUsers.fetch_add (1);
    blockLogger = activeLogger.load();
}

void MeasurementLogControl::endBlock() noexcept
{
    blockLogger = nullptr;
    loggerUsers.fetch_sub (1);
}

void MeasurementLogControl::clearMaxima() noexcept
{
    clearLogMaxima();
    measuredTruePeak = levelFloor;
}

void MeasurementLogControl::clearLogMaxima() noexcept
{
    maxMomentaryLoudness = levelFloor;
    maxShortTermLoudness = levelFloor;
    maxTruePeak = levelFloor;
}

void MeasurementLogControl::logMomentary() noexcept
{
    if (blockLogger == nullptr)
        return;

    const auto now = logLoudness (LogEvent::momentaryLoudness, display.momentaryLoudness.get(),
                                  maxMomentaryLoudness, &OVRAMeasurementLogger::setMaxMomentary);

    if (now.has_value())
        maxMomentaryTime = *now;

    // The roll-over makes files and a thread, which the audio thread must
    // not; posting it to the message queue (callAsync, an AsyncUpdater) locks
    // and allocates, so a message-thread timer polls this flag instead.
    if (measurementStartTime.get() + juce::RelativeTime::seconds (secondsPerLogFile) < clock.get()->now())
        rollOverDue = true;
}

void MeasurementLogControl::logShortTerm() noexcept
{
    if (blockLogger != nullptr)
        logLoudness (LogEvent::shortTermLoudness, display.shortTermLoudness.get(), maxShortTermLoudness,
                     &OVRAMeasurementLogger::setMaxShortTerm);
}

std::optional<juce::Time> MeasurementLogControl::logLoudness (LogEvent::Type type, float published,
                                                              RelaxedAtomic<float>& maximum,
                                                              MaximumSetter setMaximum) noexcept
{
    const auto now = clock.get()->now();
    const float rounded = roundToOneDecimal (published);
    blockLogger->csvLogger.pushEvent ({ type, rounded, now });

    // The value as published is compared and the rounded one kept.
    if (! (published > maximum.get()))
        return {};

    maximum = rounded;
    (blockLogger->*setMaximum) (rounded, getLoudnessUnit(), now);
    return now;
}

void MeasurementLogControl::logTruePeak (float measuredPeak) noexcept
{
    if (measuredPeak > measuredTruePeak.get())
    {
        measuredTruePeak = measuredPeak;
        measuredTruePeakTime = clock.get()->now();
    }

    if (blockLogger == nullptr || ! (measuredTruePeak.get() > maxTruePeak.get()))
        return;

    maxTruePeak = measuredTruePeak.get();
    maxTruePeakTime = measuredTruePeakTime.get();
    blockLogger->setMaxTruePeak (maxTruePeak.get(), LoudnessStandard::truePeakUnit, maxTruePeakTime.get());
}
