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
    int getItemHeight() const override { return getNameLines().size() * tree.getItemHeight(); }
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
        // A name that the framework's row shows whole is drawn by it; a longer
        // one it would cut, so it goes on as many lines as it needs instead.
        const auto& lines = getNameLines();
        const bool wrapped = lines.size() > 1;
        const int lineHeight = tree.getItemHeight();

        // Size and date texts are made only for the rows drawn, not for every file listed. The
        // picture of a longer name's row stays beside its first line, at its size in other rows.
        tree.getLookAndFeel().drawFileBrowserRow (g, width, wrapped ? lineHeight : height, file,
                                                  wrapped ? juce::String() : info.filename, nullptr,
                                                  juce::File::descriptionOfSizeInBytes (info.fileSize),
                                                  info.modificationTime.formatted ("%d %b '%y %H:%M"),
                                                  info.isDirectory, isSelected(), indexInList, tree);
        if (! wrapped)
            return;

        using Colours = juce::DirectoryContentsDisplayComponent;
        g.setColour (
            tree.findColour (isSelected() ? Colours::highlightedTextColourId : Colours::textColourId));
        g.setFont (rowFont());

        for (int i = 0; i < lines.size(); ++i)
            g.drawText (lines[i], nameLeft, i * lineHeight, width - nameLeft, lineHeight,
                        juce::Justification::centredLeft, false);
    }

    const juce::File file;

private:
    // As the framework's file rows: the name's left edge, and its font to the row's height.
    static constexpr int nameLeft = 32;
    static constexpr float fontToRowHeight = 0.7f;

    juce::Font rowFont() const { return juce::Font ((float) tree.getItemHeight() * fontToRowHeight); }

    /** The name as the row shows it, one line unless the framework's row would cut it. The width is
        the row's with a scroll bar beside it, so that the bar coming or going changes no row's height. */
    const juce::StringArray& getNameLines() const
    {
        const int width =
            tree.getWidth() - tree.getViewport()->getScrollBarThickness() - tree.getIndentSize() - nameLeft;

        if (width == linesWidth && ! lines.isEmpty())
            return lines;

        linesWidth = width;
        lines.clear();
        const auto font = rowFont();
        auto rest = info.filename;

        // The framework squeezes a line down to this scale before it cuts it.
        if (width > 0
            && font.getStringWidthFloat (rest) * juce::Font::getDefaultMinimumHorizontalScaleFactor()
                   >= (float) width)
        {
            juce::Array<int> glyphs;
            juce::Array<float> offsets;

            while (font.getStringWidthFloat (rest) > (float) width)
            {
                font.getGlyphPositions (rest, glyphs, offsets);
                const int count = juce::jmin (rest.length(), glyphs.size());

                int fit = 1;
                while (fit < count && offsets[fit + 1] <= (float) width)
                    ++fit;

                // Broken after a separator where the line holds one, as a reader would.
                const int separator = rest.substring (0, fit).lastIndexOfAnyOf ("_- .");
                const int cut = separator > 0 ? separator + 1 : fit;
                lines.add (rest.substring (0, cut));
                rest = rest.substring (cut);
            }
        }

        lines.add (rest);
        return lines;
    }

    mutable juce::StringArray lines;
    mutable int linesWidth = 0;

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
