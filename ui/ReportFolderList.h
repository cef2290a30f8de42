#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>
#include <vector>

/** The files of one folder for the report viewer's file tree: read on a
    background thread, sorted once, and taken over on the message thread in
    one step.

    The framework's own list sorts itself again after every file it finds,
    under a lock that the message thread waits on; a folder of thousands of
    reports then stalls the window for seconds. This one reads the folder the
    same way (the same filter, flags and natural order), but the list shown so
    far stays until the new one is final, and the message thread never waits
    for the scan: a folder that stops answering, as a network folder may, holds
    up only the scan thread (and the list's destructor).

    A folder that is a file, or that cannot be opened, is told apart from an
    empty one; a folder that does not exist lists nothing.

    Everything here is called on the message thread; the scan runs on the
    thread given to the constructor. Change messages are sent synchronously,
    on the message thread, when the list is cleared or taken over.

        ReportFolderList list (&filter, thread);
        list.addChangeListener (this);
        list.setDirectory (folder, true, true);
*/
class ReportFolderList : public juce::ChangeBroadcaster,
                         private juce::TimeSliceClient,
                         private juce::AsyncUpdater
{
public:
    using FileInfo = juce::DirectoryContentsList::FileInfo;

    /** The filter must outlive the list; the thread must be started for
        anything to be listed. */
    ReportFolderList (const juce::FileFilter* filter, juce::TimeSliceThread& thread);
    ~ReportFolderList() override;

    //==============================================================================
    /** Points the list at a folder: another folder empties the list at once
        and is read; the same folder with the same flags changes nothing. */
    void setDirectory (const juce::File& folder, bool includeDirectories, bool includeFiles);

    /** Reads the folder again; until the new list is final the old one stays. */
    void refresh();

    const juce::File& getDirectory() const noexcept { return folder; }
    bool isStillLoading() const noexcept { return loading; }

    /** The last scan found the path to be no folder it could read. */
    bool isUnreadable() const noexcept { return unreadable; }

    //==============================================================================
    int getNumFiles() const noexcept { return (int) files.size(); }
    bool getFileInfo (int index, FileInfo&) const;
    juce::File getFile (int index) const;

    juce::TimeSliceThread& getTimeSliceThread() const noexcept { return thread; }

private:
    //==============================================================================
    struct Scan
    {
        juce::File folder;
        int flags = 0;
        int number = 0;
        std::unique_ptr<juce::RangedDirectoryIterator> entries;
        std::vector<FileInfo> found;
        bool unreadable = false;
    };

    int useTimeSlice() override;
    void handleAsyncUpdate() override;
    bool readNextEntries();
    void finishScan();

    //==============================================================================
    const juce::FileFilter* const filter;
    juce::TimeSliceThread& thread;

    // Message thread only.
    juce::File folder;
    int flags = juce::File::ignoreHiddenFiles | juce::File::findFiles;
    std::vector<FileInfo> files;
    bool loading = false, unreadable = false;
    int scansAsked = 0;

    // The scan thread's only.
    std::optional<Scan> scan;

    // The scan asked for and not yet begun, and the last one finished.
    juce::CriticalSection lock;
    std::optional<Scan> asked, finished;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReportFolderList)
};
