#include "Artwork.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace
{
const char* const debianLato = "/usr/share/fonts/truetype/lato/Lato-Regular.ttf";

bool writePng (const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out (file);
    return out.openedOk() && juce::PNGImageFormat().writeImageToStream (image, out)
           && out.getStatus().wasOk();
}

/** Every picture on a dark-grey sheet, in rows, with its name and size under it. */
juce::Image makeContactSheet (const std::vector<Picture>& pictures, const std::vector<juce::Image>& images,
                              const ArtworkStyle& style)
{
    constexpr int margin = 16, captionHeight = 30, minCellWidth = 120, sheetWidth = 1600;
    const auto captionFont = style.font (12.0f);

    struct Cell
    {
        juce::Rectangle<int> bounds;
    };
    std::vector<Cell> cells;
    int x = margin, y = margin, rowHeight = 0;
    for (const auto& picture : pictures)
    {
        const auto cellWidth =
            juce::jmax (picture.width, minCellWidth, captionFont.getStringWidth (picture.name) + 4);
        if (x + cellWidth + margin > sheetWidth && x > margin)
        {
            x = margin;
            y += rowHeight + margin;
            rowHeight = 0;
        }
        cells.push_back ({ { x, y, cellWidth, picture.height + captionHeight } });
        x += cellWidth + margin;
        rowHeight = juce::jmax (rowHeight, picture.height + captionHeight);
    }

    juce::Image sheet (juce::Image::ARGB, sheetWidth, y + rowHeight + margin, true);
    juce::Graphics g (sheet);
    g.fillAll (juce::Colour (0xff2e2e2e));
    g.setFont (captionFont);
    for (size_t i = 0; i < pictures.size(); ++i)
    {
        const auto& picture = pictures[i];
        auto cell = cells[i].bounds;
        g.drawImageAt (images[i], cell.getX(), cell.getY());
        g.setColour (juce::Colour (0xffd8d8d8));
        auto caption = cell.withTrimmedTop (picture.height + 2);
        g.drawText (picture.name, caption.removeFromTop (14), juce::Justification::centredLeft, false);
        g.setColour (juce::Colour (0xff979797));
        g.drawText (juce::String (picture.width) + "x" + juce::String (picture.height),
                    caption.removeFromTop (14), juce::Justification::centredLeft, false);
    }
    return sheet;
}

int run (const juce::StringArray& args)
{
    if (args.size() < 1 || args.size() > 2)
    {
        std::cerr << "usage: zelx_artwork <output folder> [Lato-Regular.ttf]\n";
        return 2;
    }

    const juce::File latoFile (args.size() > 1 ? args[1] : juce::String (debianLato));
    juce::MemoryBlock latoData;
    if (! latoFile.loadFileAsData (latoData) || latoData.isEmpty())
    {
        std::cerr << "zelx_artwork: cannot read the typeface " << latoFile.getFullPathName() << "\n";
        return 1;
    }
    ArtworkStyle style;
    style.lato = juce::Typeface::createSystemTypefaceFor (latoData.getData(), latoData.getSize());
    if (style.lato == nullptr)
    {
        std::cerr << "zelx_artwork: not a typeface: " << latoFile.getFullPathName() << "\n";
        return 1;
    }

    const juce::File folder (juce::File::getCurrentWorkingDirectory().getChildFile (args[0]));
    if (! folder.createDirectory())
    {
        std::cerr << "zelx_artwork: cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    std::vector<Picture> pictures;
    try
    {
        pictures = makeAllPictures();
    }
    catch (const std::exception& e)
    {
        std::cerr << "zelx_artwork: " << e.what() << "\n";
        return 1;
    }

    std::vector<juce::Image> images;
    for (const auto& picture : pictures)
    {
        images.push_back (renderPicture (picture, style));
        const auto file = folder.getChildFile (picture.name + ".png");
        if (! writePng (images.back(), file))
        {
            std::cerr << "zelx_artwork: cannot write " << file.getFullPathName() << "\n";
            return 1;
        }
    }

    const auto sheetFile = folder.getChildFile ("contact-sheet.png");
    if (! writePng (makeContactSheet (pictures, images, style), sheetFile))
    {
        std::cerr << "zelx_artwork: cannot write " << sheetFile.getFullPathName() << "\n";
        return 1;
    }
    return 0;
}
} // namespace

int main (int argc, char* argv[])
{
    const juce::ScopedJuceInitialiser_GUI initialiser;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));
    return run (args);
}
