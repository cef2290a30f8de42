#include "Artwork.h"
#include "MeterArt.h"

#include "MeterScales.h"

namespace
{
// Where the bars sit in each picture's own pixels, from the editor's layout:
// the loudness scale at (6, 5) of its panel labels the momentary bar at
// (67, 10), 34 x 483; the true-peak face holds its six 20 x 480 bars at y 8.
constexpr int loudnessWidth = 180, loudnessHeight = 493;
constexpr int momentaryLeft = 61, momentaryRight = 95, momentaryTop = 5, momentaryHeight = 483;

constexpr int faceWidth = 355, faceHeight = 494;
constexpr int truePeakTop = 8, truePeakHeight = 480, truePeakBarWidth = 20;
constexpr int truePeakBarLefts[] = { 66, 106, 146, 185, 225, 265 };

constexpr int tickLength = 12;
constexpr int tickGap = 3; // between a tick and the bar beside it
constexpr float labelHeight = 13.0f;

constexpr float ebuTarget = -23.0f;
constexpr int ebuStandard = 0, atscStandard = 1;
constexpr int wideScale = 0, narrowScale = 1;

/** The row at which a bar barHeight pixels tall, its top barTop rows down the
    picture, ends when fed the level: the processor publishes whole pixels of
    MeterScales' meter, and the bar lights (int) (height * position) rows. */
int barEndRow (float level, int truePeakFlag, int standard, int scale, int barTop, int barHeight)
{
    static const MeterScales scales;
    const auto published = (float) scales.levelToPixels (level, truePeakFlag, (float) standard, (float) scale)
                           / (float) MeterScales::meterHeight;
    return barTop + barHeight - (int) ((float) barHeight * published);
}

juce::String markText (int mark, bool relative)
{
    return relative && mark > 0 ? "+" + juce::String (mark) : juce::String (mark);
}

/** A label beside its tick, centred on the tick's row but kept inside the picture. */
void drawLabel (juce::Graphics& g, const ArtworkStyle& style, const juce::String& text, int row, int x,
                int width, juce::Justification justification, int pictureHeight)
{
    const int height = (int) labelHeight + 2;
    const int top = juce::jlimit (0, pictureHeight - height, row - height / 2);
    g.setColour (style.mark);
    g.setFont (style.font (labelHeight));
    g.drawText (text, x, top, width, height, justification, false);
}

//==============================================================================
struct LoudnessScale
{
    const char* name;
    bool relative;
    int standard;
    int scale;
    std::vector<int> marks;
};

/** A relative mark stands for its level above the target; the relative
    pictures are drawn on the EBU rows, whose target they share with the
    other standards' rows one dB lower. */
float levelOfMark (const LoudnessScale& s, int mark)
{
    return s.relative ? (float) mark + ebuTarget : (float) mark;
}

float referenceLevel (const LoudnessScale& s)
{
    return s.relative || s.standard == ebuStandard ? ebuTarget : ebuTarget - 1.0f;
}

void drawLoudnessScale (juce::Graphics& g, const ArtworkStyle& style, const LoudnessScale& s)
{
    const auto rowOf = [&s] (float level) {
        return barEndRow (level, 0, s.standard, s.scale, momentaryTop, momentaryHeight);
    };
    const int leftTick = momentaryLeft - tickGap - tickLength;
    const int rightTick = momentaryRight + tickGap;

    g.setColour (style.referenceLine);
    g.fillRect (leftTick, rowOf (referenceLevel (s)), loudnessWidth - leftTick, 1);

    for (int mark : s.marks)
    {
        const int row = rowOf (levelOfMark (s, mark));
        g.setColour (style.mark);
        g.fillRect (leftTick, row, tickLength, 1);
        g.fillRect (rightTick, row, tickLength, 1);
        drawLabel (g, style, markText (mark, s.relative), row, 0, leftTick - 4,
                   juce::Justification::centredRight, loudnessHeight);
    }
}

//==============================================================================
void drawTruePeakFace (juce::Graphics& g, const ArtworkStyle& style, float reference)
{
    const auto rowOf = [] (float level) {
        return barEndRow (level, 1, ebuStandard, wideScale, truePeakTop, truePeakHeight);
    };
    const int firstBar = truePeakBarLefts[0];
    const int lastBarEnd = truePeakBarLefts[5] + truePeakBarWidth;
    const int leftTick = firstBar - tickGap - tickLength;
    const int rightTick = lastBarEnd + tickGap;

    g.setColour (style.referenceLine);
    g.fillRect (leftTick, rowOf (reference), rightTick + tickLength - leftTick, 1);

    for (int mark : { 5, 0, -5, -10, -15, -25, -30, -35, -40, -50, -60 })
    {
        const int row = rowOf ((float) mark);
        g.setColour (style.mark);
        g.fillRect (leftTick, row, tickLength, 1);
        g.fillRect (rightTick, row, tickLength, 1);

        for (int k = 0; k < 5; ++k)
        {
            const int gapLeft = truePeakBarLefts[k] + truePeakBarWidth + tickGap;
            g.fillRect (gapLeft, row, truePeakBarLefts[k + 1] - tickGap - gapLeft, 1);
        }

        const auto text = juce::String (mark);
        drawLabel (g, style, text, row, 0, leftTick - 4, juce::Justification::centredRight, faceHeight);
        drawLabel (g, style, text, row, rightTick + tickLength + 4, faceWidth - rightTick - tickLength - 4,
                   juce::Justification::centredLeft, faceHeight);
    }
}
} // namespace

std::vector<Picture> makeScalePictures()
{
    // Absolute scales name their unit and standard, relative ones only the
    // unit; the number is the scale's headroom above the target.
    const std::vector<LoudnessScale> loudness {
        { "sLu18", true, ebuStandard, wideScale, { 18, 12, 6, 0, -6, -18, -26, -36 } },
        { "sLufsEbu18", false, ebuStandard, wideScale, { -5, -11, -17, -23, -29, -41, -49, -59 } },
        { "sLu9", true, ebuStandard, narrowScale, { 9, 7, 5, 3, 0, -3, -5, -7, -12, -18 } },
        { "sLufsEbu9",
          false,
          ebuStandard,
          narrowScale,
          { -14, -16, -18, -20, -23, -26, -28, -30, -35, -41 } },
        { "sLkfs9", false, atscStandard, narrowScale, { -15, -17, -19, -21, -24, -27, -29, -31, -36, -42 } },
        { "sLkfs18", false, atscStandard, wideScale, { -6, -12, -18, -24, -30, -42, -50, -60 } },
    };

    std::vector<Picture> pictures;

    for (const auto& s : loudness)
        pictures.push_back (
            { s.name, loudnessWidth, loudnessHeight,
              [s] (juce::Graphics& g, const ArtworkStyle& style) { drawLoudnessScale (g, style, s); } });

    for (int reference : { -18, -20 })
        pictures.push_back ({ "sDbtp" + juce::String (-reference), faceWidth, faceHeight,
                              [reference] (juce::Graphics& g, const ArtworkStyle& style) {
                                  drawTruePeakFace (g, style, (float) reference);
                              } });

    for (auto& picture : makeMeterPictures())
        pictures.push_back (std::move (picture));

    return pictures;
}
