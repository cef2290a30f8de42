#pragma once

#include "NewestJobRunner.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

/** The files of one folder for the report viewer's file tree: read on a
    background thread, sorted once, and taken over on the message thread in
    one step.

    The framework's own list sorts itself again after every file it finds,
    under a lock that the message thread waits on; a folder of thousands of
    reports then stalls the window for seconds. This one reads the folder the
    same way (the same filter, flags and natural order), but the list shown so
    far stays until the new one is final, and the message thread never waits
    for the scan. Each scan has a thread of its own: a folder that stops
    answering, as a network folder may, holds up only its scan, never another
    folder's, nor the list's destructor.

    A folder that is a file, or that cannot be opened, is told apart from an
    empty one; a folder that does not exist lists nothing.

    Everything here is called on the message thread. Change messages are sent
    synchronously, on the message thread, when the list is cleared or taken
    over.

        ReportFolderList list (filter);
        list.addChangeListener (this);
        list.setDirectory (folder, true, true);
*/
class ReportFolderList : public juce::ChangeBroadcaster
{
public:
    using FileInfo = juce::DirectoryContentsList::FileInfo;

    /** The filter is shared with the scans, which may outlive the list. */
    explicit ReportFolderList (std::shared_ptr<const juce::FileFilter> filter);
    ~ReportFolderList() override;

    //==============================================================================
    /** Points the list at a folder: another folder empties the list at once
        and is read; the same folder with the same flags changes nothing. */
    void setDirectory (const juce::File& folder, bool includeDirectories, bool includeFiles);

    /** Reads the folder again; until the new list is final the old one stays. */
    void refresh();

    const juce::File& getDirectory() const noexcept { return folder; }
    bool isStillLoading() const noexcept { return scans.isBusy(); }

    /** The last scan found the path to be no folder it could read. */
    bool isUnreadable() const noexcept { return unreadable; }

    //==============================================================================
    int getNumFiles() const noexcept { return (int) files.size(); }
    bool getFileInfo (int index, FileInfo&) const;
    juce::File getFile (int index) const;

private:
    //==============================================================================
    struct Listing
    {
        std::vector<FileInfo> files;
        bool unreadable = false;
    };

    /** On a scan's own thread. */
    static Listing scan (const juce::File& folder, int flags, const juce::FileFilter* filter,
                         const std::function<bool()>& isWanted);
    void takeOver (Listing&&);

    //==============================================================================
    const std::shared_ptr<const juce::FileFilter> filter;
    juce::File folder;
    int flags = juce::File::ignoreHiddenFiles | juce::File::findFiles;
    std::vector<FileInfo> files;
    bool unreadable = false;

    NewestJobRunner<Listing> scans { "ZELX file previewer",
                                     [this] (Listing&& listing) { takeOver (std::move (listing)); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReportFolderList)
};
