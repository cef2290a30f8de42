#include "ReportFolderList.h"

#include <algorithm>

namespace
{
// Reading stops after this long and goes on in the next slice, so that a new
// scan asked for meanwhile begins soon.
constexpr double sliceMs = 5.0;

// Between scans the client stays on the thread, which wakes this often anyway:
// a client that left it could miss a scan asked for as it leaves.
constexpr int idleMs = 500;
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
    // Any scan in progress goes on until the scan thread takes this one up;
    // its list, of an older number, is never taken over.
    {
        const juce::ScopedLock sl (lock);
        asked.emplace();
        asked->folder = folder;
        asked->flags = flags;
        asked->number = ++scansAsked;
        finished.reset();
    }

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
    {
        std::optional<Scan> next;

        {
            const juce::ScopedLock sl (lock);
            std::swap (next, asked);
        }

        // The scan given up is closed here, not on the message thread.
        if (next.has_value())
            scan = std::move (next);
    }

    if (! scan.has_value())
        return idleMs;

    if (scan->entries == nullptr)
    {
        // A folder that is gone lists nothing; a path that is a file, or a
        // folder we may not open, would otherwise look like an empty one.
        if (! scan->folder.isDirectory() || ! scan->folder.hasReadAccess())
        {
            scan->unreadable = scan->folder.exists();
            finishScan();
            return 0;
        }

        scan->entries =
            std::make_unique<juce::RangedDirectoryIterator> (scan->folder, false, "*", scan->flags);
    }

    if (! readNextEntries())
        finishScan();

    return 0;
}

bool ReportFolderList::readNextEntries()
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    auto& entries = *scan->entries;

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

        scan->found.push_back ({ file.getFileName(), entry.getFileSize(), entry.getModificationTime(),
                                 entry.getCreationTime(), isFolder, entry.isReadOnly() });
    }

    return false;
}

void ReportFolderList::finishScan()
{
    // The framework's order; names equal to it keep the order in which the
    // folder gave them, as the framework's sort after each one leaves them.
    std::stable_sort (scan->found.begin(), scan->found.end(), [] (const FileInfo& a, const FileInfo& b) {
        return a.filename.compareNatural (b.filename) < 0;
    });

    scan->entries.reset();

    {
        const juce::ScopedLock sl (lock);
        finished = std::move (scan);
    }

    scan.reset();
    triggerAsyncUpdate();
}

void ReportFolderList::handleAsyncUpdate()
{
    std::optional<Scan> result;

    {
        const juce::ScopedLock sl (lock);
        std::swap (result, finished);
    }

    if (! result.has_value() || result->number != scansAsked)
        return;

    files = std::move (result->found);
    unreadable = result->unreadable;
    loading = false;
    sendSynchronousChangeMessage();
}
