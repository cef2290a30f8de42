#include "OVRAJuceArrowVU.h"
#include "OVRAJuceLRVU.h"
#include "OVRAJuceVU.h"

#include <BinaryData.h>

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace
{
const juce::Colour green (0xff81ca2f), red (0xffd70014), face (0xff000040);
const float notANumber = std::numeric_limits<float>::quiet_NaN();

juce::Image embedded (const char* data, int size) { return juce::ImageCache::getFromMemory (data, size); }

juce::Image snapshot (juce::Component& c)
{
    return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
}

/** What an image alone looks like when drawn into a component-sized snapshot. */
juce::Image drawnAlone (const juce::Image& image, int w, int h)
{
    juce::Image out (juce::Image::ARGB, w, h, true);
    juce::Graphics g (out);
    g.drawImageAt (image, 0, 0);
    return out;
}

bool rowsEqual (const juce::Image& a, const juce::Image& b, int y)
{
    for (int x = 0; x < a.getWidth(); ++x)
        if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
            return false;
    return true;
}

/** The runs of rows of a snapshot that come from `lit`, as "first-last ..."; a row from
    neither image shows as "?row". */
std::string litRows (const juce::Image& shot, const juce::Image& lit, const juce::Image& unlit)
{
    juce::StringArray runs;
    int first = -1;
    for (int y = 0; y <= shot.getHeight(); ++y)
    {
        const bool isLit = y < shot.getHeight() && rowsEqual (shot, lit, y) && ! rowsEqual (shot, unlit, y);
        if (y < shot.getHeight() && ! isLit && ! rowsEqual (shot, unlit, y))
            runs.add ("?" + juce::String (y));
        if (isLit && first < 0)
            first = y;
        if (! isLit && first >= 0)
            runs.add (juce::String (first) + "-" + juce::String (y - 1)), first = -1;
    }
    return runs.joinIntoString (" ").toStdString();
}

/** Counts the repaints a visible component asks for, without a window. The component owns
    the counting image, so it is taken off for a snapshot and put back after. */
struct RepaintCounter
{
    struct CountingImage : juce::CachedComponentImage
    {
        explicit CountingImage (int& c) : count (c) {}
        void paint (juce::Graphics&) override {}
        bool invalidateAll() override { return ++count, true; }
        bool invalidate (const juce::Rectangle<int>&) override { return ++count, true; }
        void releaseResources() override {}
        int& count;
    };

    explicit RepaintCounter (juce::Component& c) : component (c)
    {
        component.setVisible (true);
        component.setCachedComponentImage (new CountingImage (count));
        count = 0;
    }
    ~RepaintCounter() { component.setCachedComponentImage (nullptr); }

    int take() { return std::exchange (count, 0); }

    juce::Image snapshot()
    {
        const int before = count;
        component.setCachedComponentImage (nullptr);
        const auto shot = ::snapshot (component);
        component.setCachedComponentImage (new CountingImage (count)); // which repaints
        count = before;
        return shot;
    }

    juce::Component& component;
    int count = 0;
};

/** A 997-pixel colour bar on a plain face: levels and the peak read back as rows. */
struct TestBar
{
    static std::unique_ptr<OVRAJuceVU> makeMeter()
    {
        juce::Image background (juce::Image::ARGB, 1, height, true);
        background.clear (background.getBounds(), face);
        auto meter = std::make_unique<OVRAJuceVU> (background, green, green, 0.0f);
        meter->setSize (1, height);
        return meter;
    }

    int litRows()
    {
        const auto shot = repaints.snapshot();
        int rows = 0;
        while (rows < height && shot.getPixelAt (0, height - 1 - rows) == green)
            ++rows;
        return rows;
    }

    /** floor (h × peak): the marker's top row counted from the bottom, 0 when none is drawn. */
    int peakRows()
    {
        const auto shot = repaints.snapshot();
        for (int y = 0; y < height; ++y)
            if (shot.getPixelAt (0, y) == green)
                return height - y;
        return 0;
    }

    static constexpr int height = 997;
    std::unique_ptr<OVRAJuceVU> meter = makeMeter();
    RepaintCounter repaints { *meter };
};
} // namespace

TEST (OVRAJuceVU, SmoothingFollowsEnvelopeAndAttackWeight)
{
    struct Case
    {
        bool ballistics;
        float attack, releaseTime;
        double sampleRate;
        std::vector<float> values;
        std::vector<int> rows; // floor (997 × level)
    };
    // clang-format off
    const Case cases[] = {
        // c = e^-1 = 0.367879, attack 0.5. 0.8: envelope jumps to 0.8, level 0.4 (398.8), 0.6 (598.2),
        // 0.7 (697.9). 0.0: envelope 0.8c = 0.294304, level (0.294304 + 0.7) / 2 = 0.497152 (495.66);
        // envelope 0.108268, level 0.302710 (301.80); envelope 0.039829, level 0.171270 (170.76).
        // 0.3: candidate 0.632121 × 0.3 + 0.039829c = 0.204289 < 0.3, so envelope 0.3, level 0.235635 (234.93).
        { true, 0.5f, 1.0f, 1.0, { 0.8f, 0.8f, 0.8f, 0.0f, 0.0f, 0.0f, 0.3f }, { 398, 598, 697, 495, 301, 170, 234 } },
        // The editor's settings at 48 kHz: c = e^(-1 / 9.6) = 0.901075, attack 0.0001. 0.9 shows at once:
        // 0.9999 × 0.9 = 0.89991 (897.21). 0.0: envelope 0.810968, level 0.810976 (808.54); then 0.730751
        // (728.56). 0.5 lies under the candidate 0.098925 × 0.5 + 0.730742c = 0.707918: 0.707919 (705.80).
        { true, 0.0001f, 0.0002f, 48000.0, { 0.9f, 0.0f, 0.0f, 0.5f }, { 897, 808, 728, 705 } },
        // No sample rate: c = 0, level = (x + level) / 2.
        { true, 0.5f, 0.0002f, 0.0, { 0.8f, 0.0f }, { 398, 199 } },
        { false, 0.5f, 1.0f, 1.0, { 0.8f, 0.1f, 1.5f, -1.0f }, { 797, 99, 997, 0 } },
    };
    // clang-format on

    for (const auto& c : cases)
    {
        TestBar bar;
        bar.meter->setBallistics (c.ballistics);
        bar.meter->setAttack (c.attack);
        bar.meter->setReleaseTime (c.releaseTime);
        if (c.sampleRate != 0.0)
            bar.meter->setSampleRate (c.sampleRate);
        for (size_t i = 0; i < c.values.size(); ++i)
        {
            bar.meter->setLevel (c.values[i]);
            EXPECT_EQ (c.rows[i], bar.litRows()) << c.sampleRate << ", step " << i;
        }
    }
}

TEST (OVRAJuceVU, PeakHoldsForTheSetTicksThenFallsFasterAndFaster)
{
    TestBar bar;
    bar.meter->setHoldTicks (3);
    bar.repaints.take();

    struct Step
    {
        float value;
        int peakRows;
        int repainted; // 1 when the call asked for a repaint
    };
    // Rows = floor (997 × peak). After 0.9 (897.3) the level drops to 0.2 (199.4): the first lower
    // call starts the hold, three more count it, then the peak falls by 0.005, 0.01, 0.02, ...:
    // 0.895 (892.3), 0.885 (882.3), 0.865 (862.4), 0.825 (822.5), 0.745 (742.8), 0.585 (583.2),
    // 0.265 (264.2), -0.375 (no marker); the next call clamps it to 0 and the level catches it.
    // A new peak at 0.5 (498.5) restarts the fall at 0.005: 0.495 (493.5).
    const Step steps[] = {
        { 0.9f, 897, 1 }, { 0.9f, 897, 0 },                                                       // tracking
        { 0.2f, 897, 1 }, { 0.2f, 897, 0 }, { 0.2f, 897, 0 }, { 0.2f, 897, 0 },                   // holding
        { 0.2f, 892, 1 }, { 0.2f, 882, 1 }, { 0.2f, 862, 1 }, { 0.2f, 822, 1 }, { 0.2f, 742, 1 }, // falling
        { 0.2f, 583, 1 }, { 0.2f, 264, 1 }, { 0.2f, 199, 1 }, { 0.2f, 199, 1 }, { 0.2f, 199, 0 }, //
        { 0.5f, 498, 1 }, { 0.1f, 498, 1 }, { 0.1f, 498, 0 }, { 0.1f, 498, 0 }, { 0.1f, 498, 0 }, //
        { 0.1f, 493, 1 },
    };

    for (size_t i = 0; i < std::size (steps); ++i)
    {
        bar.meter->setLevel (steps[i].value);
        EXPECT_EQ (steps[i].repainted, bar.repaints.take() > 0 ? 1 : 0) << "step " << i;
        EXPECT_EQ (steps[i].peakRows, bar.peakRows()) << "step " << i;
    }
}

TEST (OVRAJuceVU, SplitPositionRedrawsTheBarOnlyWhenItChanges)
{
    const auto face = embedded (BinaryData::blackTPVU_png, BinaryData::blackTPVU_pngSize);
    OVRAJuceVU meter (face, green, red, 0.5f);
    meter.setSize (20, 480);
    meter.setLevel (1.0f);
    RepaintCounter repaints (meter);

    // 0.5 of 480 rows: the lower 240 in the low colour, the upper 240 in the high one.
    for (auto [split, lowTop, count] : { std::tuple (0.5f, 240, 0), std::tuple (0.75f, 120, 1),
                                         std::tuple (0.75f, 120, 0), std::tuple (0.0f, 480, 1) })
    {
        meter.setSplitPosition (split);
        EXPECT_EQ (count, repaints.take()) << split;
        const auto shot = repaints.snapshot();
        for (int y = 0; y < 480; ++y)
            ASSERT_EQ (y < lowTop ? red : green, shot.getPixelAt (7, y)) << split << ", row " << y;
    }
}

TEST (OVRAJuceVU, BarLightsItsLowerRowsAndPeakMarkerFromTheEmbeddedImages)
{
    const auto tpFace = embedded (BinaryData::blackTPVU_png, BinaryData::blackTPVU_pngSize);
    OVRAJuceVU truePeak (tpFace, green, red, 0.25f);
    truePeak.setSize (20, 480);
    juce::Image bar (juce::Image::ARGB, 20, 480, true);
    bar.clear ({ 0, 0, 20, 360 }, red);
    bar.clear ({ 0, 360, 20, 120 }, green);

    // Level 0.5: rows 240..479; then 0.25 under the held peak: rows 360..479 and the marker at 240, 241.
    const auto unlit = drawnAlone (tpFace, 20, 480);
    truePeak.setLevel (0.5f);
    EXPECT_EQ ("240-479", litRows (snapshot (truePeak), bar, unlit));
    truePeak.setLevel (0.25f);
    EXPECT_EQ ("240-241 360-479", litRows (snapshot (truePeak), bar, unlit));

    // The momentary bar: 483 × 0.5 = 241.5 -> the lower 241 rows of its lit image, no marker.
    const auto momentaryFace =
        embedded (BinaryData::blackMomentaryVU_png, BinaryData::blackMomentaryVU_pngSize);
    const auto momentaryLit = embedded (BinaryData::blueMomentaryVU_png, BinaryData::blueMomentaryVU_pngSize);
    OVRAJuceVU momentary (momentaryFace, momentaryLit);
    momentary.setSize (34, 483);
    // 0.25 -> 120 rows, 363..482; 0.002 -> 0.966 rows: nothing lit.
    for (auto [level, rows] :
         { std::pair (0.5f, std::string ("242-482")), std::pair (0.25f, std::string ("363-482")),
           std::pair (0.002f, std::string()) })
    {
        momentary.setLevel (level);
        EXPECT_EQ (rows, litRows (snapshot (momentary), drawnAlone (momentaryLit, 34, 483),
                                  drawnAlone (momentaryFace, 34, 483)))
            << level;
    }
}

TEST (OVRAJuceArrowVU, ArrowIsCentredOnTheLevelHeight)
{
    const auto scale = embedded (BinaryData::blackArrowVU_png, BinaryData::blackArrowVU_pngSize);
    const auto arrow = embedded (BinaryData::LoudnessArrowBlue_png, BinaryData::LoudnessArrowBlue_pngSize);
    OVRAJuceArrowVU meter (scale, arrow);
    meter.setSize (24, 483);
    RepaintCounter repaints (meter);
    const auto face = drawnAlone (scale, 24, 483);

    // A value that is not a number leaves the arrow where it is.
    // The arrow's 26 rows start 13 rows above the level height, floor (483 × level) from the bottom:
    // 0 -> rows 470..495, centre row 483 on the bottom edge; 0.5 -> 241.5 -> 229..254, centre 242.
    for (auto [level, top, count] :
         { std::tuple (0.5f, 229, 1), std::tuple (0.5f, 229, 0), std::tuple (notANumber, 229, 0),
           std::tuple (-2.0f, 470, 1), std::tuple (0.0f, 470, 0), std::tuple (7.0f, -13, 1) })
    {
        meter.setLevel (level);
        EXPECT_EQ (count, repaints.take()) << level;
        const auto shot = repaints.snapshot();

        juce::Image expected (face.createCopy());
        {
            juce::Graphics g (expected);
            g.drawImageAt (arrow, 0, top);
        }
        for (int y = 0; y < 483; ++y)
            ASSERT_TRUE (rowsEqual (expected, shot, y)) << level << ", row " << y;
    }
}

TEST (OVRAJuceLRVU, BandRunsBetweenItsLowAndHighRows)
{
    const auto face = embedded (BinaryData::blackRangeVU_png, BinaryData::blackRangeVU_pngSize);
    const auto lit = embedded (BinaryData::blueRangeVU_png, BinaryData::blueRangeVU_pngSize);
    OVRAJuceLRVU meter (face, lit);
    meter.setSize (22, 483);
    RepaintCounter repaints (meter);

    // Ends that are not numbers keep their values.
    // Low 0.25 -> floor (120.75) = 120, high 0.75 -> floor (362.25) = 362: rows 121 to 362.
    struct Case
    {
        float low, high;
        int repainted;
        const char* rows;
    };
    const Case cases[] = {
        { 0.25f, 0.75f, 1, "121-362" },
        { 0.25f, 0.75f, 0, "121-362" },
        { notANumber, notANumber, 0, "121-362" },
        { 0.25f, 2.0f, 1, "0-362" },
        { -1.0f, 2.0f, 1, "0-482" },
        { 0.0f, 1.0f, 0, "0-482" },
        { 0.5f, 0.5f, 1, "" },
    };
    for (const auto& c : cases)
    {
        meter.setRange (c.low, c.high);
        EXPECT_EQ (c.repainted, repaints.take()) << c.low << ", " << c.high;
        EXPECT_EQ (c.rows,
                   litRows (repaints.snapshot(), drawnAlone (lit, 22, 483), drawnAlone (face, 22, 483)))
            << c.low << ", " << c.high;
    }
}

TEST (LevelMeters, AMoveWithinARowRepaintsNothing)
{
    // Smoothed readings drift by far less than a row from tick to tick; only a new row is drawn.
    // The bar: rows = floor (997 × level): 0.5 -> 498.5, 0.5003 -> 498.8, 0.5011 -> 499.6.
    TestBar bar;
    bar.meter->setLevel (0.5f);
    bar.repaints.take();
    bar.meter->setLevel (0.5003f);
    EXPECT_EQ (0, bar.repaints.take());
    bar.meter->setLevel (0.5011f);
    EXPECT_GT (bar.repaints.take(), 0);
    EXPECT_EQ (499, bar.litRows());

    // The arrow: 483 × 0.5 = 241.5, × 0.5005 = 241.7; the band: 120.75 .. 362.25, then 120.8 .. 362.3.
    OVRAJuceArrowVU arrow (
        embedded (BinaryData::blackArrowVU_png, BinaryData::blackArrowVU_pngSize),
        embedded (BinaryData::LoudnessArrowBlue_png, BinaryData::LoudnessArrowBlue_pngSize));
    arrow.setSize (24, 483);
    RepaintCounter arrowRepaints (arrow);
    arrow.setLevel (0.5f);
    EXPECT_EQ (1, arrowRepaints.take());
    arrow.setLevel (0.5005f);
    EXPECT_EQ (0, arrowRepaints.take());

    OVRAJuceLRVU band (embedded (BinaryData::blackRangeVU_png, BinaryData::blackRangeVU_pngSize),
                       embedded (BinaryData::blueRangeVU_png, BinaryData::blueRangeVU_pngSize));
    band.setSize (22, 483);
    RepaintCounter bandRepaints (band);
    band.setRange (0.25f, 0.75f);
    EXPECT_EQ (1, bandRepaints.take());
    band.setRange (0.2501f, 0.7501f);
    EXPECT_EQ (0, bandRepaints.take());
}
