#include "HostTestHelpers.h"
#include "OVRACorrelationMeter.h"
#include "RepaintRecorder.h"

#include <gtest/gtest.h>

#include <random>

// Reads the meter's state the way its paint does.
struct OVRACorrelationMeterProbe
{
    static float value (const OVRACorrelationMeter& m) { return m.value; }
    static int columnFor (const OVRACorrelationMeter& m, float v) { return m.columnFor (v); }
    static const std::deque<float>& history (const OVRACorrelationMeter& m) { return m.history; }
    static const std::deque<float>& opacities (const OVRACorrelationMeter& m) { return m.opacities; }
    static const std::vector<juce::Colour>& columnColours (const OVRACorrelationMeter& m)
    {
        return m.columnColours;
    }
    static const std::map<float, int>& valueToX (const OVRACorrelationMeter& m) { return m.valueToX; }
    static bool needsRepaint (const OVRACorrelationMeter& m) { return m.needsRepaint; }
};

namespace
{
using Probe = OVRACorrelationMeterProbe;

const juce::Colour black (0xff000000), red (0xffff0000), green (0xff81ca2f), yellow (0xffffff00),
    grey (0xff979797);

// Built as the editor builds the first (wide) or second (narrow) meter.
std::unique_ptr<OVRACorrelationMeter> makeMeter (int width)
{
    return std::make_unique<OVRACorrelationMeter> (width, black, red, green, yellow, grey, juce::Font (12.0f),
                                                   "L", width == 292 ? "R" : "C");
}

// Attack 0 and no release: the value follows each reading exactly.
std::unique_ptr<OVRACorrelationMeter> makeUnsmoothedMeter (int width)
{
    auto meter = makeMeter (width);
    meter->setAttack (0.0f);
    meter->setReleaseTime (0.0f);
    return meter;
}
} // namespace

TEST (OVRACorrelationMeter, PlacesValuesOnTheirColumns)
{
    // Column i shows i * 2 / (n - 1) - 1 and stands at x = i + 5; n = 282 wide, 120 narrow.
    struct Case
    {
        int width;
        float value;
        int x;
    };
    const Case cases[] = {
        { 292, -1.0f, 5 },    { 292, 1.0f, 286 },  { 292, 0.0f, 146 }, // 0: columns 140 and 141 share the key
        { 292, -0.5f, 75 },                                            // column 70 shows -0.50178
        { 292, 0.5f, 216 },                                            // column 211 shows 0.50178
        { 130, -1.0f, 5 },    { 130, 1.0f, 124 },  { 130, 0.5f, 94 },  // column 89 shows 0.49580
        { 130, 0.0f, 65 },   // between columns 59 and 60 (-0.0084, +0.0084): the right-hand one
        { 130, 0.02f, 66 },  // no column rounds to 0.02; column 61 (0.0252) is nearest
        { 130, -0.02f, 63 }, // column 58 (-0.0252) is nearest
        { 130, 1.006f, 124 }, { 292, -1.006f, 5 }, // beyond the scale: held at its ends
    };
    for (const auto& c : cases)
        EXPECT_EQ (Probe::columnFor (*makeMeter (c.width), c.value), c.x) << c.width << " " << c.value;

    std::mt19937 random (7);
    std::uniform_real_distribution<float> correlation (-1.0f, 1.0f);
    for (const int width : { 292, 130 })
    {
        const auto meter = makeMeter (width);
        const auto columns = width - 10;
        EXPECT_EQ (Probe::valueToX (*meter).size(), 201u);

        const auto expectLandsOnColumn = [&] (float v) {
            const auto x = Probe::columnFor (*meter, v);
            ASSERT_TRUE (x >= 5 && x <= columns + 4) << width << " " << v << " gives " << x;
            // Off by the 0.005 of the rounding plus at most half a column's spacing (narrow), or
            // plus 0.005 where several columns share a key and the right-hand one shows it (wide).
            const auto step = 2.0f / (float) (columns - 1);
            const auto shown = (float) (x - 5) * step - 1.0f;
            EXPECT_LE (std::abs (shown - v), std::max (step / 2.0f, 0.005f) + 0.0051f) << width << " " << v;
        };
        for (int hundredths = -100; hundredths <= 100; ++hundredths)
            expectLandsOnColumn ((float) hundredths / 100.0f);
        for (int i = 0; i < 1000; ++i)
            expectLandsOnColumn (correlation (random));

        const auto before = Probe::valueToX (*meter);
        meter->buildColourMap (columns);
        EXPECT_EQ (Probe::valueToX (*meter), before);
    }
}

TEST (OVRACorrelationMeter, ColoursItsZonesAndFadesItsTrail)
{
    // Integer thirds-and-quarters of the column count: 282 -> 105, 70, 107; 120 -> 45, 30, 45.
    for (const auto& [width, negatives, middles, positives] :
         { std::tuple { 292, 105, 70, 107 }, std::tuple { 130, 45, 30, 45 } })
    {
        const auto meter = makeMeter (width);
        const auto& colours = Probe::columnColours (*meter);
        ASSERT_EQ ((int) colours.size(), negatives + middles + positives);
        for (int i = 0; i < (int) colours.size(); ++i)
            EXPECT_EQ (colours[(size_t) i], i < negatives ? red : (i < negatives + middles ? yellow : green))
                << width << " column " << i;
    }

    // 1 for the newest, then 0.5 - i / 60.
    auto meter = makeUnsmoothedMeter (292);
    const auto& opacities = Probe::opacities (*meter);
    ASSERT_EQ (opacities.size(), 30u);
    const std::pair<int, float> expected[] = { { 0, 1.0f },   { 1, 0.483333f },  { 2, 0.466667f },
                                               { 15, 0.25f }, { 28, 0.033333f }, { 29, 0.016667f } };
    for (const auto& [i, opacity] : expected)
        EXPECT_NEAR (opacities[(size_t) i], opacity, 1e-6f) << i;

    // The trail starts at positions 29 ... 0, keeps 30 entries and scrolls once a reading.
    EXPECT_EQ (Probe::history (*meter).front(), 29.0f);
    EXPECT_EQ (Probe::history (*meter).back(), 0.0f);
    for (int call = 1; call <= 32; ++call)
    {
        meter->setValue (0.0f);
        EXPECT_EQ (Probe::needsRepaint (*meter), call <= 30) << call;
        EXPECT_EQ (Probe::history (*meter).size(), 30u);
    }
    EXPECT_EQ (Probe::history (*meter).back(), 146.0f);
}

TEST (OVRACorrelationMeter, SmoothsAsWorkedOutByHand)
{
    struct Step
    {
        float reading, value;
    };
    // Release time 0.0002 s at 5000 Hz: coefficient r = e^-1 = 0.3678794; attack 0.
    // candidate = 0.6321206 x + 0.3678794 envelope; a rise is taken at once.
    //   -1: -0.6321206 + 0.3678794 * 1          = -0.2642411
    //   -1: -0.6321206 + 0.3678794 * -0.2642411 = -0.7293294
    //   -1: -0.6321206 + 0.3678794 * -0.7293294 = -0.9004259
    //  0.5: candidate -0.0151879 < 0.5, so 0.5
    //  0.2:  0.1264241 + 0.3678794 * 0.5        =  0.3103638
    const Step release[] = {
        { -1.0f, -0.2642411f }, { -1.0f, -0.7293294f }, { -1.0f, -0.9004259f },
        { 0.5f, 0.5f },         { 0.2f, 0.3103638f },
    };
    // No release, attack 0.5: value = 0.5 x + 0.5 value from 1.
    const Step attack[] = { { 0.0f, 0.5f }, { 0.0f, 0.25f }, { 0.0f, 0.125f }, { 1.0f, 0.5625f } };

    const auto run = [] (float attackWeight, float releaseTime, double rate, const auto& steps) {
        auto meter = makeMeter (292);
        meter->setAttack (attackWeight);
        meter->setReleaseTime (releaseTime);
        meter->setSampleRate (rate);
        for (const auto& step : steps)
        {
            meter->setValue (step.reading);
            EXPECT_NEAR (Probe::value (*meter), step.value, 2e-6f) << step.reading;
        }
    };
    run (0.0f, 0.0002f, 5000.0, release);
    run (0.5f, 0.0f, 48000.0, attack);

    // Readings that are not numbers leave the value where it was.
    auto meter = makeMeter (292);
    meter->setAttack (0.0001f);
    meter->setReleaseTime (0.0002f);
    meter->setSampleRate (48000.0);
    for (const auto reading :
         { std::nanf (""), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity() })
    {
        meter->setValue (reading);
        EXPECT_EQ (Probe::value (*meter), 1.0f);
    }
    meter->setValue (0.5f);
    // The editor's figures: r = e^(-1 / 9.6) = 0.9010751;
    // envelope = 0.0989249 * 0.5 + 0.9010751 * 1 = 0.9505376; value = 0.9999 * 0.9505376 + 0.0001 * 1.
    EXPECT_NEAR (Probe::value (*meter), 0.9505425f, 2e-6f);
}

TEST (OVRACorrelationMeter, PaintsFrameTrailAndTexts)
{
    auto meter = makeUnsmoothedMeter (292);
    meter->setValue (0.5f);  // x 216, then an older line at 217
    meter->setValue (-0.5f); // x 75: the newest line covers 72 ... 75
    const auto image = meter->createComponentSnapshot (meter->getLocalBounds(), true, 1.0f);
    if (const auto dir = juce::SystemStats::getEnvironmentVariable ("ZELX_SNAPSHOT_DIR", {});
        dir.isNotEmpty())
        if (auto out = juce::File (dir).getChildFile ("correlation.png").createOutputStream())
            juce::PNGImageFormat().writeImageToStream (image, *out);

    const auto near = [] (juce::Colour a, juce::Colour b, int tolerance) {
        return std::abs (a.getRed() - b.getRed()) <= tolerance
               && std::abs (a.getGreen() - b.getGreen()) <= tolerance
               && std::abs (a.getBlue() - b.getBlue()) <= tolerance;
    };

    // Frame at (4, 2, 284, 10) on black.
    for (const auto& [x, y] : { std::pair { 4, 5 }, { 287, 5 }, { 100, 2 }, { 100, 11 } })
        EXPECT_TRUE (near (image.getPixelAt (x, y), grey, 2)) << x << "," << y;
    EXPECT_TRUE (near (image.getPixelAt (2, 5), black, 0));
    EXPECT_TRUE (near (image.getPixelAt (150, 6), black, 0));

    for (int y = 3; y <= 10; ++y)
    {
        // Newest: opaque red 4 pixels wide, at x - 3 ... x.
        for (int x = 72; x <= 75; ++x)
            EXPECT_TRUE (near (image.getPixelAt (x, y), red, 2)) << x << "," << y;
        EXPECT_TRUE (near (image.getPixelAt (71, y), black, 0));
        EXPECT_TRUE (near (image.getPixelAt (76, y), black, 0));
        // Older: green at opacity 0.4833, one pixel wide centred on 217, so half on 216 and half on 217.
        const auto g = image.getPixelAt (216, y).getGreen() + image.getPixelAt (217, y).getGreen();
        EXPECT_NEAR (g, 0.4833 * 0xca, 4) << y;
    }

    // White texts: "-1" at the left, "0" in the middle, "+1" at the right, the name below.
    const auto brightIn = [&] (juce::Rectangle<int> area) {
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (image.getPixelAt (x, y).getBrightness() > 0.5f)
                    return true;
        return false;
    };
    EXPECT_TRUE (brightIn ({ 0, 16, 20, 9 }));
    EXPECT_TRUE (brightIn ({ 136, 16, 20, 9 }));
    EXPECT_TRUE (brightIn ({ 270, 16, 22, 9 }));
    EXPECT_FALSE (brightIn ({ 30, 16, 90, 9 }));
    EXPECT_TRUE (brightIn ({ 130, 26, 32, 9 }));

    juce::StringArray texts;
    for (auto* child : meter->getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            texts.add (label->getText());
    EXPECT_EQ (texts.joinIntoString ("|"), "-1|0|+1|L / R");
}

TEST (OVRACorrelationMeter, AReadingOfMinusOneShowsItsLine)
{
    // Its colour index (x 5 - 8) lies before the colour table; it takes the
    // negative zone's colour rather than drawing nothing.
    auto meter = makeUnsmoothedMeter (292);
    meter->setValue (-1.0f);
    const auto image = meter->createComponentSnapshot (meter->getLocalBounds(), true, 1.0f);

    for (int y = 3; y <= 10; ++y)
    {
        const auto pixel = image.getPixelAt (4, y);
        EXPECT_GT (pixel.getRed(), 200) << y;
        EXPECT_LT (pixel.getGreen(), 40) << y;
    }
}

TEST (OVRACorrelationMeter, RepaintsOnlyTheColumnsWhoseLinesChanged)
{
    // Each reading's changed pixels lie in what it repaints, and a reading
    // that stays near the others repaints a few columns, not the strip.
    const struct
    {
        float reading;
        int widest;
    } readings[] = { { 0.5f, 292 }, { 0.52f, 12 }, { 0.5f, 12 }, { -0.8f, 292 }, { 0.0f, 292 } };

    auto meter = makeUnsmoothedMeter (292);
    for (int i = 0; i < 30; ++i)
        meter->setValue (0.5f);
    auto& repaints = RepaintRecorder::attachTo (*meter);

    for (const auto& r : readings)
    {
        const auto before = meter->createComponentSnapshot (meter->getLocalBounds(), true, 1.0f);
        repaints.clear();
        meter->setValue (r.reading);
        const auto after = meter->createComponentSnapshot (meter->getLocalBounds(), true, 1.0f);

        for (int y = 0; y < after.getHeight(); ++y)
            for (int x = 0; x < after.getWidth(); ++x)
                if (before.getPixelAt (x, y) != after.getPixelAt (x, y))
                {
                    ASSERT_TRUE (repaints.area.contains (x, y)) << r.reading << ": " << x << "," << y;
                }
        EXPECT_LE (repaints.area.getWidth(), r.widest) << r.reading;
    }
}
