#include "MeterArt.h"

namespace
{
const juce::Colour face { 0xff0d1014 };
const juce::Colour faceEdge { 0xff2c333b };

/** An unlit meter: a near-black well with a thin edge, so that the bar's
    extent reads on the black editor even when nothing is lit. */
void drawFace (juce::Graphics& g, int width, int height)
{
    g.setColour (face);
    g.fillRect (0, 0, width, height);
    g.setColour (faceEdge);
    g.drawRect (0, 0, width, height, 1);
}

/** A lit bar: brighter towards the top, inside the same edge as its face,
    so the meter copies only the lit rows without a seam. */
void drawLit (juce::Graphics& g, int width, int height, juce::Colour top, juce::Colour bottom)
{
    g.setGradientFill (juce::ColourGradient::vertical (top, 0.0f, bottom, (float) height));
    g.fillRect (0, 0, width, height);
    g.setColour (faceEdge);
    g.fillRect (0, 0, 1, height);
    g.fillRect (width - 1, 0, 1, height);
}

Picture picture (const char* name, int width, int height,
                 std::function<void (juce::Graphics&, const ArtworkStyle&, int, int)> draw)
{
    return { name, width, height, [width, height, draw] (juce::Graphics& g, const ArtworkStyle& style) {
                draw (g, style, width, height);
            } };
}
} // namespace

std::vector<Picture> makeMeterPictures()
{
    const auto unlit = [] (juce::Graphics& g, const ArtworkStyle&, int w, int h) { drawFace (g, w, h); };

    return {
        picture ("blackTPVU", 20, 480, unlit),
        picture ("blackMomentaryVU", 34, 483, unlit),
        picture ("blueMomentaryVU", 34, 483,
                 [] (juce::Graphics& g, const ArtworkStyle& style, int w, int h) {
                     drawLit (g, w, h, style.lightTile.brighter (0.3f), style.darkTile);
                 }),
        picture ("blackArrowVU", 24, 479,
                 [] (juce::Graphics& g, const ArtworkStyle&, int w, int h) {
                     // A thin track where the arrow's tip runs.
                     g.setColour (face);
                     g.fillRect (0, 0, w, h);
                     g.setColour (faceEdge);
                     g.fillRect (2, 0, 1, h);
                 }),
        // The meter centres the arrow on the level: its tip is on row 13 of 26.
        picture ("LoudnessArrowBlue", 24, 26,
                 [] (juce::Graphics& g, const ArtworkStyle& style, int w, int h) {
                     juce::Path arrow;
                     const float tip = (float) (h / 2) + 0.5f;
                     arrow.addTriangle (1.0f, tip, (float) w - 1.0f, tip - 10.0f, (float) w - 1.0f,
                                        tip + 10.0f);
                     g.setColour (style.lightTile);
                     g.fillPath (arrow);
                     g.setColour (style.symbol);
                     g.strokePath (arrow, juce::PathStrokeType (1.0f, juce::PathStrokeType::mitered));
                 }),
        picture ("blackRangeVU", 22, 483, unlit),
        picture ("blueRangeVU", 22, 483,
                 [] (juce::Graphics& g, const ArtworkStyle& style, int w, int h) {
                     drawLit (g, w, h, style.lightTile, style.darkTile.darker (0.3f));
                 }),
    };
}
