#include "ReportFolderList.h"

#include <algorithm>

namespace
{
// Reading stops after this long and goes on in the next slice, so that a
// refresh, which waits for the slice in progress, never waits long.
constexpr double sliceMs = 5.0;
} // namespace

//==============================================================================
ReportFolderList::ReportFolderList (const juce::FileFilter* filterToUse, juce::TimeSliceThread& threadToUse)
    : filter (filterToUse)
    , thread (threadToUse)
{
}

ReportFolderList::~ReportFolderList()
{
    thread.removeTimeSliceClient (this);
    cancelPendingUpdate();
}

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
        thread.removeTimeSliceClient (this);
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
    thread.removeTimeSliceClient (this);

    {
        const juce::ScopedLock sl (finishedLock);
        finished.reset();
    }

    cancelPendingUpdate();
    scan = Scan();
    scan.folder = folder;
    scan.flags = flags;
    loading = true;
    thread.addTimeSliceClient (this);
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
int ReportFolderList::useTimeSlice()
{
    if (scan.entries == nullptr)
    {
        // A folder that is gone lists nothing; a path that is a file, or a
        // folder we may not open, would otherwise look like an empty one.
        if (! scan.folder.isDirectory() || ! scan.folder.hasReadAccess())
        {
            scan.unreadable = scan.folder.exists();
            finishScan();
            return -1;
        }

        scan.entries = std::make_unique<juce::RangedDirectoryIterator> (scan.folder, false, "*", scan.flags);
    }

    if (readNextEntries())
        return 0;

    finishScan();
    return -1;
}

bool ReportFolderList::readNextEntries()
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    auto& entries = *scan.entries;

    for (; entries != juce::RangedDirectoryIterator(); ++entries)
    {
        if (juce::Time::getMillisecondCounterHiRes() - start > sliceMs)
            return true;

        const auto& entry = *entries;
        const auto file = entry.getFile();
        const bool isFolder = entry.isDirectory();

        if (filter != nullptr
            && ! (isFolder ? filter->isDirectorySuitable (file) : filter->isFileSuitable (file)))
            continue;

        scan.found.push_back ({ file.getFileName(), entry.getFileSize(), entry.getModificationTime(),
                                entry.getCreationTime(), isFolder, entry.isReadOnly() });
    }

    return false;
}

void ReportFolderList::finishScan()
{
    // The framework's order; names equal to it keep the order in which the
    // folder gave them, as the framework's sort after each one leaves them.
    std::stable_sort (scan.found.begin(), scan.found.end(), [] (const FileInfo& a, const FileInfo& b) {
        return a.filename.compareNatural (b.filename) < 0;
    });

    scan.entries.reset();

    {
        const juce::ScopedLock sl (finishedLock);
        finished = std::move (scan);
    }

    triggerAsyncUpdate();
}

void ReportFolderList::handleAsyncUpdate()
{
    std::optional<Scan> result;

    {
        const juce::ScopedLock sl (finishedLock);
        std::swap (result, finished);
    }

    if (! result.has_value())
        return;

    files = std::move (result->found);
    unreadable = result->unreadable;
    loading = false;
    sendSynchronousChangeMessage();
}
