#include "ReportFolderList.h"

#include <algorithm>

//==============================================================================
ReportFolderList::ReportFolderList (std::shared_ptr<const juce::FileFilter> filterToUse)
    : filter (std::move (filterToUse))
{
}

ReportFolderList::~ReportFolderList() = default;

//==============================================================================
void ReportFolderList::setDirectory (const juce::File& newFolder, bool includeDirectories, bool includeFiles)
{
    jassert (includeDirectories || includeFiles);

    auto newFlags = flags & ~(juce::File::findDirectories | juce::File::findFiles);
    newFlags |=
        (includeDirectories ? juce::File::findDirectories : 0) | (includeFiles ? juce::File::findFiles : 0);

    if (newFolder == folder && newFlags == flags)
        return;

    if (newFolder != folder)
    {
        // Another folder's reports must not pass for this one's while it is read.
        folder = newFolder;
        files.clear();
        unreadable = false;
        sendSynchronousChangeMessage();
    }

    flags = newFlags;
    refresh();
}

void ReportFolderList::refresh()
{
    // A scan in progress is given up; its list, however late, is not taken over.
    scans.start ([folderToScan = folder, flagsToUse = flags, filterToUse = filter] (const auto& isWanted) {
        return scan (folderToScan, flagsToUse, filterToUse.get(), isWanted);
    });
}

bool ReportFolderList::getFileInfo (int index, FileInfo& result) const
{
    if (! juce::isPositiveAndBelow (index, files.size()))
        return false;

    result = files[(size_t) index];
    return true;
}

juce::File ReportFolderList::getFile (int index) const
{
    return juce::isPositiveAndBelow (index, files.size())
               ? folder.getChildFile (files[(size_t) index].filename)
               : juce::File();
}

//==============================================================================
ReportFolderList::Listing ReportFolderList::scan (const juce::File& folder, int flags,
                                                  const juce::FileFilter* filter,
                                                  const std::function<bool()>& isWanted)
{
    Listing listing;

    // A folder that is gone lists nothing; a path that is a file, or a folder
    // we may not open, would otherwise look like an empty one.
    if (! folder.isDirectory() || ! folder.hasReadAccess())
    {
        listing.unreadable = folder.exists();
        return listing;
    }

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", flags))
    {
        if (! isWanted())
            return {};

        const auto file = entry.getFile();
        const bool isFolder = entry.isDirectory();

        if (filter != nullptr
            && ! (isFolder ? filter->isDirectorySuitable (file) : filter->isFileSuitable (file)))
            continue;

        listing.files.push_back ({ file.getFileName(), entry.getFileSize(), entry.getModificationTime(),
                                   entry.getCreationTime(), isFolder, entry.isReadOnly() });
    }

    // The framework's order; names equal to it keep the order in which the
    // folder gave them, as the framework's sort after each one leaves them.
    std::stable_sort (listing.files.begin(), listing.files.end(), [] (const FileInfo& a, const FileInfo& b) {
        return a.filename.compareNatural (b.filename) < 0;
    });

    return listing;
}

void ReportFolderList::takeOver (Listing&& listing)
{
    files = std::move (listing.files);
    unreadable = listing.unreadable;
    sendSynchronousChangeMessage();
}
