#include "PreferencesFileLocation.h"

#include "BoundedXmlDocument.h"

juce::File PreferencesFileLocation::getCompanyDataFolder (const juce::File& appDataRoot)
{
    return appDataRoot.getChildFile (folderName);
}

juce::File PreferencesFileLocation::findOrCreateFile (const juce::File& commonRoot,
                                                      const juce::File& userRoot)
{
    const auto commonFile = getCompanyDataFolder (commonRoot).getChildFile (fileName);

    for (const auto& candidate : { commonFile, getCompanyDataFolder (userRoot).getChildFile (fileName) })
    {
        if (! candidate.existsAsFile())
            candidate.create();

        // A file that can be read is used even where it cannot be written: its
        // values are restored, and only saving them fails.
        if (candidate.existsAsFile() && candidate.hasReadAccess())
            return candidate;
    }

    return commonFile;
}

juce::File PreferencesFileLocation::findOrCreateFile()
{
    return findOrCreateFile (juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory),
                             juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory));
}

juce::PropertiesFile::Options PreferencesFileLocation::getOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "ZELX51";
    options.commonToAllUsers = true;
    options.ignoreCaseOfKeyNames = true;
    options.millisecondsBeforeSaving = 3000;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.processLock = nullptr;
    return options;
}

std::unique_ptr<juce::PropertiesFile> PreferencesFileLocation::open (const juce::File& file)
{
    auto options = getOptions();

    // The framework would replace a read-only file by renaming a new one over it.
    options.doNotSave = file.existsAsFile() && ! file.hasWriteAccess();

    // The framework's reader would overflow the stack on a deeply nested file,
    // on every start. Such a file is unreadable: it is moved aside, so that the
    // defaults apply and the values of this run can be saved in its place.
    if (! BoundedXmlDocument::isSafeToParse (file.loadFileAsString()))
    {
        const auto aside = file.getSiblingFile (file.getFileName() + unreadableSuffix);

        if (options.doNotSave || ! file.moveFileTo (aside))
        {
            juce::Logger::writeToLog ("The preferences in " + file.getFullPathName()
                                      + " cannot be read; the defaults apply");
            return std::make_unique<juce::PropertiesFile> (juce::File(), options);
        }

        juce::Logger::writeToLog ("The preferences in " + file.getFullPathName()
                                  + " cannot be read; the defaults apply, and the file was moved to "
                                  + aside.getFullPathName());
        file.create();
    }

    auto properties = std::make_unique<juce::PropertiesFile> (file, options);
    properties->reload();

    // A value nested too deeply would overflow the writer, which parses every
    // value to see whether it is XML.
    auto& values = properties->getAllProperties();

    for (int i = values.size(); --i >= 0;)
    {
        if (! BoundedXmlDocument::isSafeToParse (values.getAllValues()[i]))
        {
            juce::Logger::writeToLog ("The value of \"" + values.getAllKeys()[i] + "\" in "
                                      + file.getFullPathName() + " cannot be read and is dropped");
            values.remove (i);
        }
    }

    return properties;
}
