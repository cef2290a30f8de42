#pragma once

#include <juce_graphics/juce_graphics.h>

#include <functional>
#include <vector>

/** The look every picture shares: the two tile blues, the greys of the dark
    controls, the marks' colours, and the embedded Lato regular cut. */
struct ArtworkStyle
{
    juce::Typeface::Ptr lato;

    juce::Colour lightTile { 0xff3a93dd }; // a light tile: a control that is off
    juce::Colour darkTile { 0xff1f5f99 };  // a dark tile: over, down or on
    juce::Colour darkGreyTile { 0xff3e454d };
    juce::Colour symbol { 0xffffffff };
    juce::Colour mark { 0xffffffff };
    juce::Colour referenceLine { 0xff3a93dd };

    /** Lato at a height in pixels, plain. */
    juce::Font font (float height) const { return juce::Font (lato).withHeight (height); }
};

/** One embedded picture: its resource name (the file is <name>.png, the
    program reads it as <name>_png), its size in pixels and the code that
    draws it on a transparent image of that size. */
struct Picture
{
    juce::String name;
    int width = 0;
    int height = 0;
    std::function<void (juce::Graphics&, const ArtworkStyle&)> draw;
};

/** The picture drawn on a transparent ARGB image of its own size; the
    artwork program and the tests both draw through this. */
juce::Image renderPicture (const Picture& picture, const ArtworkStyle& style);

/** Every picture, buttons first; throws std::runtime_error on an empty or
    repeated name, since two files of one name would overwrite each other. */
std::vector<Picture> makeAllPictures();

/** Button faces, tiles, lamps, boxes and the logo. */
std::vector<Picture> makeButtonPictures();

/** The six loudness scales, the two true-peak faces and the meter images,
    their ticks placed by the engine's MeterScales. */
std::vector<Picture> makeScalePictures();
