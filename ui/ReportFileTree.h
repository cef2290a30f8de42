#pragma once

#include "ReportFolderList.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The framework's tree needs a list of its own, built before it; the report
    tree never points it at a folder, so its thread is never started. */
struct UnscannedDirectoryList
{
    juce::TimeSliceThread unstartedThread { "unused" };
    juce::DirectoryContentsList unscannedList { nullptr, unstartedThread };
};

//==============================================================================
/** The framework's file tree over a ReportFolderList: the same rows, drawn by
    the look and feel's file-row drawing at the same height, and the same
    selection messages to its listeners. Whenever the list changes, the rows
    of files still listed stay, with their selection; when the selected row
    goes, listeners are told that the selection changed. A folder that cannot
    be read says so where the rows would be.

    Rows have no icon of the system's own: on this platform the framework has
    none either and draws the look and feel's document picture, as here.
    Selections and clicks are passed on to listeners; double clicks are not.

    Message thread only.

        ReportFileTree tree (list);
        tree.addListener (this);   // selectionChanged, fileClicked
*/
class ReportFileTree : private UnscannedDirectoryList,
                       public juce::FileTreeComponent,
                       private juce::ChangeListener
{
public:
    /** The list must outlive the tree. */
    explicit ReportFileTree (ReportFolderList& list);
    ~ReportFileTree() override;

    //==============================================================================
    juce::File getSelectedFile (int index = 0) const override;
    void setSelectedFile (const juce::File&) override;

    void paint (juce::Graphics&) override;

private:
    class FolderItem;
    class ReportItem;

    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    ReportFolderList& list;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReportFileTree)
};
