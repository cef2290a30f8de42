#include "PreferencesFileLocation.h"

#include "BoundedXmlDocument.h"
#include "RegularFileInputStream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
/** What a problem that loses the user's changes means for them. */
constexpr const char* changesNotKept = "changes made now will not be kept";

/** The temporary files that saving the file makes beside it. */
juce::String leftoverPattern (const juce::File& file)
{
    return file.getFileNameWithoutExtension() + "_temp*" + file.getFileExtension();
}

juce::String thePreferencesIn (const juce::File& file)
{
    return "The preferences in " + file.getFullPathName();
}

/** Writes the problem to the logger and, where the caller asks for them, adds it to problems. */
void report (const juce::String& problem, juce::StringArray* problems)
{
    juce::Logger::writeToLog (problem);

    if (problems != nullptr)
        problems->add (problem);
}

/** The system's reason for an error, to follow a colon or stand in brackets. */
juce::String lowerFirst (const juce::String& why) { return why.substring (0, 1).toLowerCase() + why.substring (1); }

juce::String describeError (int error) { return lowerFirst (std::strerror (error)); }

/** Writes a new file and syncs it to disk; why not, or nothing. Written here
    rather than by the framework's stream, which takes a short write (the last
    blocks of a disk) for a whole one and keeps no reason for it. */
juce::String writeSynced (const juce::File& file, const void* data, size_t size)
{
    const auto handle =
        ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

    if (handle < 0)
        return describeError (errno);

    auto* next = static_cast<const char*> (data);
    auto error = 0;

    for (auto left = size; left > 0 && error == 0;)
    {
        if (const auto written = ::write (handle, next, left); written >= 0)
        {
            next += written;
            left -= (size_t) written;
        }
        else if (errno != EINTR)
        {
            error = errno;
        }
    }

    if (error == 0 && ::fsync (handle) != 0)
        error = errno;

    if (::close (handle) != 0 && error == 0)
        error = errno;

    return error == 0 ? juce::String() : describeError (error);
}

/** Whether this process may write the file. The framework's own check takes
    root to be able to write anything, which a read-only file system refuses
    too. */
bool isWritable (const juce::File& file) { return access (file.getFullPathName().toRawUTF8(), W_OK) == 0; }

/** Why this process cannot open the file for reading; nothing when it can,
    or when there is nothing there to open. Opened rather than asked about: the
    system's check answers for the real user, and for root as if nothing were
    refused. A folder that cannot be entered refuses its files in the same way. */
juce::String findWhyNotOpened (const juce::File& file)
{
    // Never waits: a named pipe is not even opened.
    RegularFileInputStream in (file);

    if (in.getState() != RegularFileInputStream::State::refused)
        return {};

    return lowerFirst (in.getStatus().getErrorMessage());
}

/** Why the file cannot be read as preferences, or nothing when it can. */
juce::String findWhyUnreadable (const juce::File& file)
{
    // Never read: a named pipe blocks the reader, and a device may never end.
    RegularFileInputStream in (file);

    if (in.getState() == RegularFileInputStream::State::notRegularFile)
        return "it is not a preferences file";

    if (! in.openedOk())
        return {};

    const auto size = in.getTotalLength();

    // The start-up itself makes the file empty when it is missing.
    if (size == 0)
        return {};

    if (size > PreferencesFileLocation::maxFileBytes)
        return "it is larger than " + juce::String (PreferencesFileLocation::maxFileBytes) + " bytes";

    // Checked before the parser is given it.
    const auto text = in.readEntireStreamAsString();

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
                                                      const juce::File& userRoot, juce::StringArray* problems)
{
    const auto commonFile = getCompanyDataFolder (commonRoot).getChildFile (fileName);
    const auto userFile = getCompanyDataFolder (userRoot).getChildFile (fileName);

    // One that cannot be created is passed over in silence: an ordinary user
    // may not create the common one. One that is there but cannot be read, or
    // whose folder cannot be entered, is told of.
    const auto isUsable = [] (const juce::File& candidate, juce::String& whyNotOpened) {
        if (! candidate.existsAsFile())
            candidate.create();

        // A file that can be read is used even where it cannot be written: its
        // values are restored, and only saving them fails.
        whyNotOpened = findWhyNotOpened (candidate);
        return whyNotOpened.isEmpty() && candidate.existsAsFile();
    };

    juce::String whyNotCommon, whyNotUser;

    if (isUsable (commonFile, whyNotCommon))
        return commonFile;

    if (isUsable (userFile, whyNotUser))
    {
        if (whyNotCommon.isNotEmpty())
            report (thePreferencesIn (commonFile) + " cannot be read (" + whyNotCommon + "); those in "
                        + userFile.getFullPathName() + " are used instead",
                    problems);

        return userFile;
    }

    // Why the common file cannot be read is told where it is opened.
    report ("No preferences file can be read or created, neither " + commonFile.getFullPathName() + " nor "
                + userFile.getFullPathName() + (whyNotUser.isEmpty() ? "" : " (" + whyNotUser + ")")
                + ": the defaults apply, and " + changesNotKept,
            problems);
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
    options.millisecondsBeforeSaving = -1;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.processLock = nullptr;
    return options;
}

std::unique_ptr<juce::PropertiesFile> PreferencesFileLocation::open (const juce::File& file,
                                                                     juce::StringArray* problems)
{
    auto options = getOptions();

    // Nothing is known of a file that cannot be opened: it is not judged nor
    // moved aside, and no values are saved over those it may hold.
    if (const auto why = findWhyNotOpened (file); why.isNotEmpty())
    {
        report (thePreferencesIn (file) + " cannot be read (" + why + "); the defaults apply, and "
                    + changesNotKept,
                problems);
        options.doNotSave = true;
        return std::make_unique<juce::PropertiesFile> (juce::File(), options);
    }

    // Saving renames a new file over this one, which a read-only file must
    // not have done to it, and which a folder that may not be written refuses.
    const auto folder = file.getParentDirectory();
    const auto readOnly = file.existsAsFile() && ! isWritable (file);
    juce::String whyNotSaved;

    if (readOnly)
        whyNotSaved = " can be read but not written";
    else if (file.existsAsFile() && ! isWritable (folder))
        whyNotSaved =
            " can be read, but not replaced in " + folder.getFullPathName() + ", which may not be written";

    // A file that cannot even be made was told of where it was looked for.
    options.doNotSave = whyNotSaved.isNotEmpty() || ! (file.existsAsFile() || file.create().wasOk());

    // What a save cut short by a kill left behind; a save of another running
    // instance that loses its file to this tries once more.
    for (const auto& leftover : folder.findChildFiles (juce::File::findFiles, false, leftoverPattern (file)))
        leftover.deleteFile();

    // An unreadable file is moved aside, so that the defaults apply, the values
    // of this run can be saved in its place, and nothing of it is lost. The
    // framework's reader would overflow the stack on a deeply nested one, on
    // every start, and take seconds over a huge one.
    if (const auto reason = findWhyUnreadable (file); reason.isNotEmpty())
    {
        // Beside any kept from an earlier start, not over it.
        const auto aside = file.getSiblingFile (file.getFileName() + unreadableSuffix).getNonexistentSibling();
        const auto unreadable =
            thePreferencesIn (file) + " cannot be read (" + reason + "); the defaults apply";

        if (options.doNotSave || ! file.moveFileTo (aside))
        {
            report (unreadable, problems);
            report (thePreferencesIn (file)
                        + (readOnly            ? " cannot be written either"
                           : options.doNotSave ? " cannot be replaced either"
                                               : " cannot be moved to " + aside.getFullPathName())
                        + ": " + changesNotKept,
                    problems);
            return std::make_unique<juce::PropertiesFile> (juce::File(), options);
        }

        report (unreadable + ", and the file was moved to " + aside.getFullPathName(), problems);
        file.create();
    }

    if (whyNotSaved.isNotEmpty())
        report (thePreferencesIn (file) + whyNotSaved + ": " + changesNotKept, problems);

    auto properties = std::make_unique<juce::PropertiesFile> (file, options);
    properties->reload();

    // A value nested too deeply would overflow the writer, which parses every
    // value to see whether it is XML.
    auto& values = properties->getAllProperties();

    for (int i = values.size(); --i >= 0;)
    {
        if (! BoundedXmlDocument::isSafeToParse (values.getAllValues()[i]))
        {
            report ("The value of \"" + values.getAllKeys()[i] + "\" in " + file.getFullPathName()
                        + " cannot be read and is dropped",
                    problems);
            values.remove (i);
        }
    }

    if (! options.doNotSave)
        return properties;

    // Held without a file, so that no one tries to save them.
    auto unsaved = std::make_unique<juce::PropertiesFile> (juce::File(), options);
    unsaved->getAllProperties() = properties->getAllProperties();
    return unsaved;
}

juce::Result PreferencesFileLocation::save (juce::PropertiesFile& properties)
{
    const juce::ScopedLock lock (properties.getLock());
    const auto file = properties.getFile();

    if (! isSaved (properties))
        return juce::Result::fail ("they are not kept, as told at start");

    // The framework's own form: a value that is XML is stored as an element.
    juce::XmlElement doc ("PROPERTIES");
    const auto& values = properties.getAllProperties();

    for (int i = 0; i < values.size(); ++i)
    {
        auto* e = doc.createNewChildElement ("VALUE");
        e->setAttribute ("name", values.getAllKeys()[i]);

        if (auto element = BoundedXmlDocument::parse (values.getAllValues()[i]))
            e->addChildElement (element.release());
        else
            e->setAttribute ("val", values.getAllValues()[i]);
    }

    juce::MemoryOutputStream text;
    doc.writeTo (text, {});

    // A second try when another instance, starting up, took the new file for a leftover.
    for (int attempt = 0;; ++attempt)
    {
        juce::TemporaryFile temporary (file);

        if (const auto why = writeSynced (temporary.getFile(), text.getData(), text.getDataSize());
            why.isNotEmpty())
            return juce::Result::fail (why);

        if (std::rename (temporary.getFile().getFullPathName().toRawUTF8(),
                         file.getFullPathName().toRawUTF8())
            == 0)
            break;

        if (errno != ENOENT || attempt > 0)
            return juce::Result::fail (describeError (errno));
    }

    properties.setNeedsToBeSaved (false);
    return juce::Result::ok();
}
