#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

/** Finds and opens the preferences file "ZELX51.prefs" in the folder "Tamvo".

    The file belongs in the application-data folder shared by all users. Where
    it is missing and cannot be created there (on Linux the folder is /opt,
    which only root may change), the same folder and file under the user's own
    application-data folder keep the values instead, so they are not silently
    lost. A common file that can be read but not written is still the one used.

        auto file = PreferencesFileLocation::findOrCreateFile();
        auto prefs = PreferencesFileLocation::open (file);
*/
class PreferencesFileLocation
{
public:
    //==============================================================================
    static constexpr const char* folderName = "Tamvo";
    static constexpr const char* fileName = "ZELX51.prefs";

    /** Added to the name of a file that is moved aside because it cannot be read. */
    static constexpr const char* unreadableSuffix = ".unreadable";

    /** The folder "Tamvo" inside the given application-data folder; it need not exist. */
    static juce::File getCompanyDataFolder (const juce::File& appDataRoot);

    /** The preferences file under the common root, created empty (with its folder)
        when missing; the one under the user root when the common one cannot be
        created or read. Failures are not reported: the values are then simply
        not kept. */
    static juce::File findOrCreateFile (const juce::File& commonRoot, const juce::File& userRoot);

    /** The same for the system's own application-data folders. */
    static juce::File findOrCreateFile();

    //==============================================================================
    /** The options the file is read and written with. */
    static juce::PropertiesFile::Options getOptions();

    /** Loads the file; an unreadable or foreign file gives an empty set of values.

        A file the framework's reader cannot safely be given (nested too deeply)
        is moved aside with unreadableSuffix and replaced by an empty one; where
        it cannot be moved, nothing is read from it and nothing saved. Values
        the writer could not safely be given are dropped. Both go to the logger.
        A file that cannot be written is read but never saved. */
    static std::unique_ptr<juce::PropertiesFile> open (const juce::File& file);

private:
    PreferencesFileLocation() = delete;
};
