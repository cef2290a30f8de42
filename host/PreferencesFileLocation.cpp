#include "PreferencesFileLocation.h"

#include "BoundedXmlDocument.h"

namespace
{
/** Why the file cannot be read as preferences, or nothing when it can. */
juce::String findWhyUnreadable (const juce::File& file)
{
    const auto size = file.getSize();

    // The start-up itself makes the file empty when it is missing.
    if (size == 0)
        return {};

    if (size > PreferencesFileLocation::maxFileBytes)
        return "it is larger than " + juce::String (PreferencesFileLocation::maxFileBytes) + " bytes";

    // Checked before the parser is given it.
    const auto text = file.loadFileAsString();

    switch (BoundedXmlDocument::check (text, BoundedXmlDocument::defaultMaxDepth,
                                       (size_t) PreferencesFileLocation::maxValueBytes))
    {
        case BoundedXmlDocument::Verdict::safe:
            break;
        case BoundedXmlDocument::Verdict::tooDeep:
            return "it is nested too deeply";
        case BoundedXmlDocument::Verdict::valueTooLong:
            return "a value in it is longer than " + juce::String (PreferencesFileLocation::maxValueBytes)
                   + " bytes";
        case BoundedXmlDocument::Verdict::cannotFollow:
            return "it holds markup that cannot be read safely";
    }

    // The framework's reader would take it for no values at all, and the
    // defaults would be saved over it.
    if (juce::parseXMLIfTagMatches (text, "PROPERTIES") == nullptr)
        return "it is not a preferences file";

    return {};
}
} // namespace

//==============================================================================
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

    // An unreadable file is moved aside, so that the defaults apply, the values
    // of this run can be saved in its place, and nothing of it is lost. The
    // framework's reader would overflow the stack on a deeply nested one, on
    // every start, and take seconds over a huge one.
    if (const auto reason = findWhyUnreadable (file); reason.isNotEmpty())
    {
        const auto aside = file.getSiblingFile (file.getFileName() + unreadableSuffix);
        const auto unreadable = "The preferences in " + file.getFullPathName() + " cannot be read (" + reason
                                + "); the defaults apply";

        if (options.doNotSave || ! file.moveFileTo (aside))
        {
            juce::Logger::writeToLog (unreadable);
            return std::make_unique<juce::PropertiesFile> (juce::File(), options);
        }

        juce::Logger::writeToLog (unreadable + ", and the file was moved to " + aside.getFullPathName());
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
