#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

/** Finds and opens the preferences file "ZELX51.prefs" in the folder "Tamvo".

    The file belongs in the application-data folder shared by all users. Where
    that folder cannot be written (on Linux it is /opt, which only root may
    change), the same folder and file under the user's own application-data
    folder keep the values instead, so they are not silently lost.

        auto file = PreferencesFileLocation::findOrCreateFile();
        auto prefs = PreferencesFileLocation::open (file);
*/
class PreferencesFileLocation
{
public:
    //==============================================================================
    static constexpr const char* folderName = "Tamvo";
    static constexpr const char* fileName = "ZELX51.prefs";

    /** The folder "Tamvo" inside the given application-data folder; it need not exist. */
    static juce::File getCompanyDataFolder (const juce::File& appDataRoot);

    /** The preferences file under the common root, created empty (with its folder)
        when missing; the one under the user root when the common one cannot be
        created or written. Failures are not reported: the values are then simply
        not kept. */
    static juce::File findOrCreateFile (const juce::File& commonRoot, const juce::File& userRoot);

    /** The same for the system's own application-data folders. */
    static juce::File findOrCreateFile();

    //==============================================================================
    /** The options the file is read and written with. */
    static juce::PropertiesFile::Options getOptions();

    /** Loads the file; an unreadable or foreign file gives an empty set of values. */
    static std::unique_ptr<juce::PropertiesFile> open (const juce::File& file);

private:
    PreferencesFileLocation() = delete;
};
