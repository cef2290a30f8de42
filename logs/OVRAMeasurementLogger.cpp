#include "OVRAMeasurementLogger.h"

OVRAMeasurementLogger::OVRAMeasurementLogger (LogWriteFailures* failuresToReport)
    : csvLogger (&loggerThread, failuresToReport)
    , xmlLogger (&loggerThread, failuresToReport)
{
    loggerThread.addTimeSliceClient (&csvLogger);
    loggerThread.addTimeSliceClient (&xmlLogger);
    loggerThread.startThread();
}

//==============================================================================
void OVRAMeasurementLogger::startReport (const juce::File& reportFile)
{
    xmlLogger.startReport (reportFile);
    csvLogger.setLogFile (logFileFor (reportFile));
}

juce::File OVRAMeasurementLogger::logFileFor (const juce::File& reportFile)
{
    // Only the file's own extension changes; a folder whose name contains
    // ".xml" stays as it is.
    return reportFile.withFileExtension (OVRATextCSVLogger::getLogExtension());
}

//==============================================================================
void OVRAMeasurementLogger::setIntegratedLoudness (float value, juce::StringRef unit) noexcept
{
    xmlLogger.setReading (OVRAXMLLogger::Reading::integratedLoudness, value, unit);
}

void OVRAMeasurementLogger::setMaxShortTerm (float value, juce::StringRef unit, juce::Time time) noexcept
{
    xmlLogger.setReading (OVRAXMLLogger::Reading::maxShortTerm, value, unit, time);
}

void OVRAMeasurementLogger::setMaxMomentary (float value, juce::StringRef unit, juce::Time time) noexcept
{
    xmlLogger.setReading (OVRAXMLLogger::Reading::maxMomentary, value, unit, time);
}

void OVRAMeasurementLogger::setMaxTruePeak (float value, juce::StringRef unit, juce::Time time) noexcept
{
    xmlLogger.setReading (OVRAXMLLogger::Reading::maxTruePeak, value, unit, time);
}
