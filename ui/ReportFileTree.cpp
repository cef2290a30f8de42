#include "ReportFileTree.h"

#include <algorithm>
#include <unordered_map>

//==============================================================================
/** The hidden root: the listed folder. */
class ReportFileTree::FolderItem : public juce::TreeViewItem
{
public:
    explicit FolderItem (ReportFileTree& treeToUse) : tree (treeToUse) {}

    bool mightContainSubItems() override { return true; }
    juce::String getUniqueName() const override { return tree.list.getDirectory().getFullPathName(); }
    int getItemHeight() const override { return tree.getItemHeight(); }

private:
    ReportFileTree& tree;
};

//==============================================================================
/** One listed file, as the framework's tree shows it. */
class ReportFileTree::ReportItem : public juce::TreeViewItem
{
public:
    ReportItem (ReportFileTree& treeToUse, const juce::File& fileToShow) : file (fileToShow), tree (treeToUse)
    {
    }

    /** What the list now says of the file, and where. */
    void update (const ReportFolderList::FileInfo& newInfo, int index)
    {
        const bool changed =
            newInfo.fileSize != info.fileSize || newInfo.modificationTime != info.modificationTime;
        info = newInfo;
        indexInList = index;

        if (changed)
            repaintItem();
    }

    // The viewer's filter admits no folders, so no row opens.
    bool mightContainSubItems() override { return false; }
    juce::String getUniqueName() const override { return file.getFullPathName(); }
    int getItemHeight() const override { return tree.getItemHeight(); }
    juce::String getAccessibilityName() override { return info.filename; }
    const juce::String& getFileName() const noexcept { return info.filename; }
    void itemSelectionChanged (bool) override { tree.sendSelectionChangeMessage(); }

    // Not through the framework's click message, which wants a folder in the
    // tree's own list.
    void itemClicked (const juce::MouseEvent& e) override
    {
        juce::Component::BailOutChecker checker (&tree);
        tree.listeners.callChecked (checker, [&] (juce::FileBrowserListener& l) { l.fileClicked (file, e); });
    }

    void paintItem (juce::Graphics& g, int width, int height) override
    {
        // Size and date texts are made only for the rows drawn, not for every file listed.
        tree.getLookAndFeel().drawFileBrowserRow (g, width, height, file, info.filename, nullptr,
                                                  juce::File::descriptionOfSizeInBytes (info.fileSize),
                                                  info.modificationTime.formatted ("%d %b '%y %H:%M"),
                                                  info.isDirectory, isSelected(), indexInList, tree);
    }

    const juce::File file;

private:
    ReportFolderList::FileInfo info;
    int indexInList = 0;
    ReportFileTree& tree;
};

//==============================================================================
ReportFileTree::ReportFileTree (ReportFolderList& listToShow)
    : FileTreeComponent (unscannedList)
    , list (listToShow)
{
    deleteRootItem();
    setRootItem (new FolderItem (*this));
    list.addChangeListener (this);
    changeListenerCallback (&list);
}

ReportFileTree::~ReportFileTree()
{
    list.removeChangeListener (this);
    deleteRootItem();
}

//==============================================================================
juce::File ReportFileTree::getSelectedFile (int index) const
{
    if (auto* item = dynamic_cast<const ReportItem*> (getSelectedItem (index)))
        return item->file;

    return {};
}

void ReportFileTree::setSelectedFile (const juce::File& target)
{
    clearSelectedItems();

    for (int i = 0; i < getRootItem()->getNumSubItems(); ++i)
        if (auto* item = dynamic_cast<ReportItem*> (getRootItem()->getSubItem (i));
            item != nullptr && item->file == target)
            item->setSelected (true, true);
}

void ReportFileTree::paint (juce::Graphics& g)
{
    FileTreeComponent::paint (g);

    if (! list.isUnreadable())
        return;

    // Where the rows would be, in their font and colour: an empty tree would
    // pass for an empty folder.
    const auto rowHeight = getItemHeight();
    g.setColour (findColour (DirectoryContentsDisplayComponent::textColourId));
    g.setFont ((float) rowHeight * 0.7f);
    g.drawFittedText (list.getDirectory().getFileName() + " is not a readable folder",
                      getLocalBounds().reduced (4, 0).withHeight (rowHeight * 3),
                      juce::Justification::topLeft, 3);
}

void ReportFileTree::changeListenerCallback (juce::ChangeBroadcaster*)
{
    // The rows of files still listed are kept, with their selection and their
    // place on screen until the framework lays the tree out again; rows made
    // anew would have none until then, and the list would show no rows.
    auto* folder = getRootItem();
    ReportFolderList::FileInfo info;
    int same = 0;

    // Mostly the folder is as it was, or has grown at the end.
    for (; same < folder->getNumSubItems() && list.getFileInfo (same, info); ++same)
    {
        auto* row = static_cast<ReportItem*> (folder->getSubItem (same));

        if (row->getFileName() != info.filename)
            break;

        row->update (info, same);
    }

    // The rest by name (the rows are all of the listed folder: another one
    // empties the list first), taken out from the end, which moves no other row.
    std::unordered_map<juce::String, std::unique_ptr<ReportItem>> rows;

    for (int i = folder->getNumSubItems(); --i >= same;)
    {
        auto* row = static_cast<ReportItem*> (folder->getSubItem (i));
        folder->removeSubItem (i, false);
        rows.emplace (row->getFileName(), row);
    }

    for (int i = same; list.getFileInfo (i, info); ++i)
    {
        std::unique_ptr<ReportItem> row;

        if (auto kept = rows.find (info.filename); kept != rows.end())
        {
            row = std::move (kept->second);
            rows.erase (kept);
        }
        else
        {
            row = std::make_unique<ReportItem> (*this, list.getDirectory().getChildFile (info.filename));
        }

        row->update (info, i);
        folder->addSubItem (row.release());
    }

    // The selected report's row may be among those gone, and with it the selection.
    const bool selectionDropped =
        std::any_of (rows.begin(), rows.end(), [] (const auto& row) { return row.second->isSelected(); });
    rows.clear();
    repaint();

    if (selectionDropped)
        sendSelectionChangeMessage();
}
