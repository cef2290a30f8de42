#include "PreferencesFileLocation.h"

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

        if (candidate.existsAsFile() && candidate.hasWriteAccess())
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
    auto properties = std::make_unique<juce::PropertiesFile> (file, getOptions());
    properties->reload();
    return properties;
}
