#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

/** Finds and opens the preferences file "ZELX51.prefs" in the folder "Tamvo".

    The file belongs in the application-data folder shared by all users. Where
    it is missing and cannot be created there (on Linux the folder is /opt,
    which only root may change), the same folder and file under the user's own
    application-data folder keep the values instead, so they are not silently
    lost. A common file that can be read but not written is still the one used.

    What goes wrong on the way, and what it means for the user, is written to
    the logger and, where the caller asks for it, handed back to be shown:

        juce::StringArray problems;
        auto file = PreferencesFileLocation::findOrCreateFile (commonRoot, userRoot, &problems);
        auto prefs = PreferencesFileLocation::open (file, &problems);
*/
class PreferencesFileLocation
{
public:
    //==============================================================================
    static constexpr const char* folderName = "Tamvo";
    static constexpr const char* fileName = "ZELX51.prefs";

    /** Added to the name of a file that is moved aside because it cannot be
        read; where one is kept already, the next gets a number before it. */
    static constexpr const char* unreadableSuffix = ".unreadable";

    /** The most the program writes is some 50 KB: the engine state, about 36 KB
        as base-64 text when its log folder and name take the longest paths the
        system allows (4095 and 255 bytes) in characters written six bytes each,
        and the device setup, a few KB. The reader's time grows with the square
        of a value's length when it is full of escaped characters; at these
        limits the worst file is still read in a fraction of a second, where a
        few MB would stall the start for seconds. A file or a value beyond them
        cannot be ours and is not read. */
    static constexpr int maxFileBytes = 256 * 1024;
    static constexpr int maxValueBytes = 128 * 1024;

    /** The folder "Tamvo" inside the given application-data folder; it need not exist. */
    static juce::File getCompanyDataFolder (const juce::File& appDataRoot);

    /** The preferences file under the common root, created empty (with its folder)
        when missing; the one under the user root when the common one cannot be
        created or read, with a problem that says why where it is there but
        cannot be read or its folder cannot be entered. Where neither can, the
        common file, and a problem that says nothing will be kept. Problems go
        to the logger and, where given, are added to problems, one line each. */
    static juce::File findOrCreateFile (const juce::File& commonRoot, const juce::File& userRoot,
                                        juce::StringArray* problems = nullptr);

    /** The same for the system's own application-data folders. */
    static juce::File findOrCreateFile();

    //==============================================================================
    /** The options the file is read and written with. The framework never
        saves by itself: its delay starts again with every change, so values
        that keep changing would never be saved. The owner calls save. */
    static juce::PropertiesFile::Options getOptions();

    /** Loads the file; an empty or missing one gives an empty set of values.

        A file that this process may not open gives an empty set of values
        that is never saved; it is told with the system's reason and left as
        it is.

        A file that is not a preferences file, or that the framework's reader
        cannot safely be given (nested too deeply, larger than maxFileBytes or
        with a value longer than maxValueBytes), is moved aside with
        unreadableSuffix and replaced by an empty one; where it cannot be
        moved, nothing is read from it and nothing saved. So is anything but a
        plain file (a named pipe, a device), which is never opened to be read.
        Values the writer could not safely be given are dropped. A file that
        cannot be written, or not replaced in its folder, is read but never
        saved: its values are held without a file then (see isSaved). Each of
        these is a problem: it goes to the logger and, where given, is added
        to problems, one line each.

        Temporary files that a save cut short left beside the file are removed. */
    static std::unique_ptr<juce::PropertiesFile> open (const juce::File& file,
                                                       juce::StringArray* problems = nullptr);

    /** Whether the values are saved at all: not where open found that they cannot be. */
    static bool isSaved (const juce::PropertiesFile& properties)
    {
        return properties.getFile() != juce::File();
    }

    /** Writes the values in the framework's own format into a new file that
        is synced to disk and then renamed over the old one, so that a process
        or machine that dies leaves one whole file. Unlike the framework's
        save, it says why it failed, and never waits to try again. */
    static juce::Result save (juce::PropertiesFile& properties);

private:
    PreferencesFileLocation() = delete;
};
