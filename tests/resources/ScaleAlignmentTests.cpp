#include "Artwork.h"
#include "BinaryData.h"
#include "MeterScales.h"

#include <gtest/gtest.h>

namespace
{
/** Where a picture's ticks must be: each mark's level on one MeterScales row,
    the bar's top and height in the picture's own rows, and the columns the
    ticks cross. */
struct ScaleCase
{
    const char* name;
    int truePeakFlag;
    int standard;
    int scale;
    float levelOffset; // what a relative mark stands for: mark + target
    std::vector<float> marks;
    float reference;
    int barTop;
    int barHeight;
    std::vector<int> tickColumns;
    int referenceColumn; // a column that only the reference line crosses
};

// The loudness scales sit at (6, 5) of their panel, the momentary bar at
// (67, 10), 34 x 483; the true-peak faces hold their 20 x 480 bars at
// x 66, 106, ... 265, y 8.
constexpr int loudnessBarTop = 10 - 5;
constexpr int momentaryLeft = 67 - 6;
const std::vector<int> loudnessColumns { momentaryLeft - 4, momentaryLeft + 34 + 4 };
constexpr int loudnessReferenceColumn = momentaryLeft + 34 + 25;
const std::vector<int> truePeakColumns { 66 - 5, 86 + 10, 126 + 10, 166 + 9, 205 + 10, 245 + 10, 285 + 5 };
constexpr int truePeakReferenceColumn = 86 + 1;

const std::vector<float> truePeakMarks { 5, 0, -5, -10, -15, -25, -30, -35, -40, -50, -60 };

const std::vector<ScaleCase> cases {
    { "sLu18",
      0,
      0,
      0,
      -23,
      { 18, 12, 6, 0, -6, -18, -26, -36 },
      0,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sLu18",
      0,
      1,
      0,
      -24,
      { 18, 12, 6, 0, -6, -18, -26, -36 },
      0,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sLufsEbu18",
      0,
      0,
      0,
      0,
      { -5, -11, -17, -23, -29, -41, -49, -59 },
      -23,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sLu9",
      0,
      0,
      1,
      -23,
      { 9, 7, 5, 3, 0, -3, -5, -7, -12, -18 },
      0,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sLu9",
      0,
      2,
      1,
      -24,
      { 9, 7, 5, 3, 0, -3, -5, -7, -12, -18 },
      0,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sLufsEbu9",
      0,
      0,
      1,
      0,
      { -14, -16, -18, -20, -23, -26, -28, -30, -35, -41 },
      -23,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sLkfs9",
      0,
      1,
      1,
      0,
      { -15, -17, -19, -21, -24, -27, -29, -31, -36, -42 },
      -24,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sLkfs18",
      0,
      2,
      0,
      0,
      { -6, -12, -18, -24, -30, -42, -50, -60 },
      -24,
      loudnessBarTop,
      483,
      loudnessColumns,
      loudnessReferenceColumn },
    { "sDbtp18", 1, 0, 0, 0, truePeakMarks, -18, 8, 480, truePeakColumns, truePeakReferenceColumn },
    { "sDbtp20", 1, 0, 0, 0, truePeakMarks, -20, 8, 480, truePeakColumns, truePeakReferenceColumn },
};

juce::Image render (const Picture& picture)
{
    ArtworkStyle style;
    style.lato = juce::Typeface::createSystemTypefaceFor (BinaryData::LatoReg_ttf, BinaryData::LatoReg_ttfSize);
    return renderPicture (picture, style);
}

bool isWhite (juce::Colour c)
{
    return c.getAlpha() > 200 && c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200;
}

/** The row, in the picture, where the bar fed with the level ends, as the
    meter draws the processor's published position: (int) (height * pixels / 569) rows lit. */
int barEndRow (const ScaleCase& c, float level)
{
    const MeterScales scales;
    const float published =
        (float) scales.levelToPixels (level, c.truePeakFlag, (float) c.standard, (float) c.scale)
        / (float) MeterScales::meterHeight;
    return c.barTop + c.barHeight - (int) ((float) c.barHeight * published);
}
} // namespace

// Each tick and the reference line sit on the row where the bar beside them
// ends for that level.
TEST (ScaleAlignment, EveryTickSitsWhereItsBarEnds)
{
    const auto pictures = makeScalePictures();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto found = std::find_if (pictures.begin(), pictures.end(),
                                         [&c] (const Picture& p) { return p.name == c.name; });
        ASSERT_NE (found, pictures.end());
        const auto image = render (*found);

        for (float mark : c.marks)
        {
            const int expected = barEndRow (c, mark + c.levelOffset);

            for (int x : c.tickColumns)
            {
                SCOPED_TRACE (juce::String (mark) + " dB at x " + juce::String (x));
                int lit = 0;

                for (int y = juce::jmax (0, expected - 4);
                     y <= juce::jmin (image.getHeight() - 1, expected + 4); ++y)
                {
                    if (isWhite (image.getPixelAt (x, y)))
                    {
                        ++lit;
                        EXPECT_LE (std::abs (y - expected), 1)
                            << "tick row " << y << ", bar ends at " << expected;
                    }
                }

                EXPECT_GT (lit, 0) << "no tick near row " << expected;
            }
        }

        const auto line = image.getPixelAt (c.referenceColumn, barEndRow (c, c.reference + c.levelOffset));
        EXPECT_GT (line.getAlpha(), 200);
        EXPECT_GT (line.getBlue(), line.getRed() + 60) << "no blue reference line";
    }
}
