#include "PreferencesSaver.h"

#include "DiagnosticPrinter.h"
#include "PreferencesFileLocation.h"

void PreferencesSaver::poll()
{
    if (! PreferencesFileLocation::isSaved (preferences) || ! preferences.needsToBeSaved())
    {
        pollsWaited = 0;
        return;
    }

    // Counted from the oldest unsaved change, not the newest.
    if (++pollsWaited < pollsBeforeSaving)
        return;

    pollsWaited = 0;
    const auto path = preferences.getFile().getFullPathName();
    const auto result = PreferencesFileLocation::save (preferences);

    if (result.wasOk())
    {
        if (std::exchange (toldFailure, {}).isNotEmpty())
            DiagnosticPrinter::printError (
                (TRANS ("The settings are saved again to") + " " + path).toStdString());

        notice.succeeded();
        return;
    }

    // Each try that fails for the same reason is no news.
    const auto message =
        TRANS ("The settings could not be saved to") + " " + path + " (" + result.getErrorMessage()
        + "): " + TRANS ("changes are not being kept. Saving is tried again every few seconds.");

    if (message == toldFailure)
        return;

    toldFailure = message;
    DiagnosticPrinter::printError (message.toStdString());
    notice.failed (message);
}

void PreferencesSaver::saveNow()
{
    if (! preferences.needsToBeSaved())
        return;

    if (! PreferencesFileLocation::isSaved (preferences))
        juce::Logger::writeToLog ("The preferences could not be saved, as told at start");
    else if (const auto result = PreferencesFileLocation::save (preferences); result.failed())
        juce::Logger::writeToLog ("The preferences could not be saved to " + preferences.getFile().getFullPathName()
                                  + " (" + result.getErrorMessage() + ")");

    // Nor by the framework, when it deletes them.
    preferences.setNeedsToBeSaved (false);
}
