#include "Artwork.h"

#include <set>
#include <stdexcept>

juce::Image renderPicture (const Picture& picture, const ArtworkStyle& style)
{
    juce::Image image (juce::Image::ARGB, picture.width, picture.height, true);
    juce::Graphics g (image);
    picture.draw (g, style);
    return image;
}

std::vector<Picture> makeAllPictures()
{
    auto pictures = makeButtonPictures();
    for (auto& picture : makeScalePictures())
        pictures.push_back (std::move (picture));

    std::set<juce::String> names;
    for (const auto& picture : pictures)
    {
        if (picture.name.isEmpty() || ! names.insert (picture.name).second)
            throw std::runtime_error ("picture name empty or used twice: \"" + picture.name.toStdString()
                                      + "\"");
        if (picture.width <= 0 || picture.height <= 0 || picture.draw == nullptr)
            throw std::runtime_error ("picture \"" + picture.name.toStdString()
                                      + "\" has no size or no drawing");
    }
    return pictures;
}
