#pragma once

#include "OVRATextCSVLogger.h"
#include "OVRAXMLLogger.h"

#include <juce_core/juce_core.h>

/** The files of one running measurement: its CSV log and XML report, both
    written on the logger's own thread "ZELX logger".

    Made when a measurement starts and deleted when it stops; deleting it
    writes the remaining CSV lines and the report a last time.

        auto logger = std::make_unique<OVRAMeasurementLogger>();
        logger->startReport (reportFile);                 // CSV log beside it
        logger->csvLogger.pushEvent (event);              // audio thread
        logger->setMaxMomentary (-23.0f, "LUFS", time);   // audio thread
        logger->xmlLogger.setElementAttribute ("MeasurementInterval", "StopTime", "value", text);
        logger.reset();                                   // last writes

    The owner must make sure no pushEvent or setter runs once deletion has
    begun.
*/
class OVRAMeasurementLogger
{
public:
    /** Starts the thread with both writers registered. Their write failures
        go to failuresToReport too, when given; it must outlive this logger. */
    explicit OVRAMeasurementLogger (LogWriteFailures* failuresToReport = nullptr);

    /** Writes the report, then every queued event, then stops the thread. */
    ~OVRAMeasurementLogger() = default;

    //==============================================================================
    /** Starts the report in the given file and names the CSV log after it,
        with the log's extension in place of the report's. */
    void startReport (const juce::File& reportFile);

    /** The CSV log that belongs to a report file: same folder and name, the
        log's extension. */
    static juce::File logFileFor (const juce::File& reportFile);

    //==============================================================================
    // These never block or allocate, so the audio thread may call them; the
    // report gets them at its next write. The unit is copied, so a literal is fine.
    void setIntegratedLoudness (float value, juce::StringRef unit) noexcept;
    void setMaxShortTerm (float value, juce::StringRef unit, juce::Time time) noexcept;
    void setMaxMomentary (float value, juce::StringRef unit, juce::Time time) noexcept;
    void setMaxTruePeak (float value, juce::StringRef unit, juce::Time time) noexcept;

private:
    juce::TimeSliceThread loggerThread { "ZELX logger" };

public:
    // Built after the thread and destroyed before it; the XML logger goes
    // first so that its last write waits for no CSV pass.
    OVRATextCSVLogger csvLogger;
    OVRAXMLLogger xmlLogger;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAMeasurementLogger)
};
