#include "MeterScales.h"
#include "OVRADrawVectorscope.h"

#include <gtest/gtest.h>

#include <cmath>

// Reads the display's smoothed levels, centroid and grid image.
struct OVRADrawVectorscopeProbe
{
    static float level (const OVRADrawVectorscope& f, int channel) { return f.levels[(size_t) channel]; }
    static juce::Point<float> centroid (const OVRADrawVectorscope& f)
    {
        return { f.xHistory.front(), f.yHistory.front() };
    }
    static juce::Image grid (const OVRADrawVectorscope& f) { return f.grid; }
};

namespace
{
constexpr float s = 0.70710678f;

struct Field : OVRADrawVectorscope
{
    Field()
        : OVRADrawVectorscope (juce::Colour (0xff000000), juce::Colour (0xfff5f5f5),
                               juce::Colour (0xff81ca2f), juce::Colour (0xffd70014), juce::Font (12.0f))
    {
        setBounds (0, 0, 283, 283);
    }

    juce::Image snapshot() { return createComponentSnapshot (getLocalBounds(), true, 1.0f); }

    // The five channel labels come first, then the six tick labels.
    std::vector<juce::Label*> tickLabels()
    {
        std::vector<juce::Label*> labels;
        for (auto* child : getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child))
                labels.push_back (label);
        return { labels.begin() + 5, labels.end() };
    }
};

// Counts the display's repaint requests without a window.
struct RepaintCounter : juce::CachedComponentImage
{
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override
    {
        ++count;
        return false;
    }
    bool invalidate (const juce::Rectangle<int>& a) override
    {
        ++count;
        area = a;
        return false;
    }
    void releaseResources() override {}

    int count = 0;
    juce::Rectangle<int> area;
};

// The level triangle and its lines: green well above red and blue.
bool isLevelDrawing (juce::Colour c)
{
    return c.getGreen() > c.getRed() + 20 && c.getGreen() > c.getBlue() + 20;
}

bool isAlarmRed (juce::Colour c) { return c.getRed() > c.getGreen() + 20 && c.getRed() > c.getBlue() + 20; }

juce::Colour pixel (const juce::Image& image, float x, float y)
{
    return image.getPixelAt (juce::roundToInt (x), juce::roundToInt (y));
}
} // namespace

TEST (OVRADrawVectorscope, EachScaleSpansItsMeterRowAndLabelsItsCircles)
{
    // Each id shows a row of the meters' scales, the LU ones moved by the
    // standard's target (EBU -23, ATSC and ARIB -24) so that it reads 0.
    struct Case
    {
        int id, row;
        float target;
    };
    const Case cases[] = {
        { 4, MeterScales::truePeakRow, 0.0f },      { 10, MeterScales::ebuNarrowRow, 0.0f },
        { 11, MeterScales::atscNarrowRow, 0.0f },   { 12, MeterScales::ebuWideRow, 0.0f },
        { 13, MeterScales::atscWideRow, 0.0f },     { 18, MeterScales::ebuNarrowRow, -23.0f },
        { 19, MeterScales::atscNarrowRow, -24.0f }, { 20, MeterScales::ebuWideRow, -23.0f },
        { 21, MeterScales::atscWideRow, -24.0f },
    };
    const MeterScales scales;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.id);
        Field field;
        field.setScale (c.id);
        const auto minDb = MeterScales::ranges[(size_t) c.row].minDb - c.target;
        const auto maxDb = MeterScales::ranges[(size_t) c.row].maxDb - c.target;

        EXPECT_EQ (field.dbToRadius (minDb), 0);
        EXPECT_EQ (field.dbToRadius (minDb - 10.0f), 0);
        EXPECT_EQ (field.dbToRadius (maxDb), 129);
        EXPECT_EQ (field.dbToRadius (maxDb + 10.0f), 129);

        // Five circles inside the range, each labelled just inside its bottom,
        // where the meter's own scale puts the same level.
        const auto labels = field.tickLabels();
        ASSERT_EQ (labels.size(), 6u);
        float below = minDb;
        for (int i = 0; i < 5; ++i)
        {
            const auto tick = labels[(size_t) i]->getText().getFloatValue();
            EXPECT_GT (tick, below);
            EXPECT_LT (tick, maxDb);
            below = tick;

            const auto radius = field.dbToRadius (tick);
            EXPECT_NEAR (radius, 129.0f * scales.positionOnRow (tick + c.target, c.row), 1.0f) << tick;
            EXPECT_EQ (labels[(size_t) i]->getBounds(), juce::Rectangle<int> (0, radius + 131, 283, 9));
        }
        EXPECT_EQ (labels[5]->getText(), "");
    }
}

TEST (OVRADrawVectorscope, UnknownScaleKeepsRangeAndLabelsAndAlarmRadiusUsesTheFixedScale)
{
    Field field;
    field.setScale (10);
    field.setScale (7);
    EXPECT_EQ (field.dbToRadius (-23.0f), 71);
    EXPECT_EQ (field.tickLabels()[2]->getText(), "-23");

    // -60 .. +5, range 65: -20 dB -> 63, -12 -> 82, 0 -> 113 whatever the current scale.
    EXPECT_EQ (field.levelToRadius (-20.0f), 63);
    EXPECT_EQ (field.levelToRadius (-12.0f), 82);
    EXPECT_EQ (field.levelToRadius (0.0f), 113);
    EXPECT_EQ (field.levelToRadius (-70.0f), 0);
    EXPECT_EQ (field.levelToRadius (9.0f), 129);
}

TEST (OVRADrawVectorscope, ChannelLabelsStandAtTheCornersAndTheTop)
{
    // c = 141, r = 129, r s = 91.22, a = 7, b = 4: L at (141 - 91.22 - 11, 141 - 91.22 - 7).
    Field field;
    const std::pair<const char*, juce::Rectangle<int>> expected[] = { { "L", { 38, 42, 18, 9 } },
                                                                      { "R", { 232, 42, 141, 9 } },
                                                                      { "C", { 0, 3, 283, 9 } },
                                                                      { "LS", { 35, 232, 18, 9 } },
                                                                      { "RS", { 232, 232, 18, 9 } } };
    for (size_t i = 0; i < 5; ++i)
    {
        auto* label = dynamic_cast<juce::Label*> (field.getChildComponent ((int) i));
        ASSERT_NE (label, nullptr);
        EXPECT_EQ (label->getText(), expected[i].first);
        EXPECT_EQ (label->getBounds(), expected[i].second) << expected[i].first;
        EXPECT_EQ (label->getFont().getHeight(), 9.0f);
    }
}

TEST (OVRADrawVectorscope, GridIsRedrawnOnlyWhenScaleOrAlarmLevelChanges)
{
    Field field;
    field.setScale (4);
    const auto marker = juce::Colour (0xffff00ff);
    const auto mark = [&] { OVRADrawVectorscopeProbe::grid (field).setPixelAt (5, 5, marker); };
    const auto marked = [&] { return field.snapshot().getPixelAt (5, 5) == marker; };

    mark();
    field.setScale (4);
    field.setAlarmLevel (-20.0f);
    EXPECT_TRUE (marked());
    EXPECT_TRUE (marked());

    field.setAlarmLevel (-12.0f);
    EXPECT_FALSE (marked());
    mark();
    field.setAlarmLevel (-12.0f);
    EXPECT_TRUE (marked());

    field.setScale (10);
    EXPECT_FALSE (marked());
    mark();
    field.setScale (99);
    EXPECT_FALSE (marked());
}

TEST (OVRADrawVectorscope, AlarmRingAndSegmentsOnlyOnTheTruePeakScale)
{
    // Along the row through the centre: scale 4 circles at 27, 44, 63, 86, 113 and the
    // outline at 129; the ring starts at the alarm radius (63 for -20 dB, 113 for 0 dB).
    const auto ringAt = [] (const juce::Image& image, int offset) {
        return isAlarmRed (image.getPixelAt (141 + offset, 141));
    };

    Field field;
    field.setScale (4);
    field.setAlarmLevel (-10.0f);
    field.setAlarmLevel (-20.0f);
    auto image = field.snapshot();
    EXPECT_FALSE (ringAt (image, 50));
    EXPECT_TRUE (ringAt (image, 75));
    EXPECT_TRUE (ringAt (image, 100));
    EXPECT_TRUE (ringAt (image, 120));

    field.setAlarmLevel (0.0f);
    image = field.snapshot();
    EXPECT_FALSE (ringAt (image, 75));
    EXPECT_FALSE (ringAt (image, 100));
    EXPECT_TRUE (ringAt (image, 120));

    // L at full scale (129) crosses the alarm radius 113: red from there outwards along
    // (-s, -s); R at 0.3 (38.7 px) stays green.
    field.setLevels (1.0f, 0.3f, 0.0f, 0.0f, 0.0f, 0.0f);
    image = field.snapshot();
    EXPECT_TRUE (isAlarmRed (pixel (image, 141 - 120 * s, 141 - 120 * s)));
    EXPECT_TRUE (isLevelDrawing (pixel (image, 141 - 100 * s, 141 - 100 * s)));
    EXPECT_TRUE (isLevelDrawing (pixel (image, 141 + 30 * s, 141 - 30 * s)));

    field.setScale (10);
    image = field.snapshot();
    for (int offset : { 75, 100, 120 })
        EXPECT_FALSE (ringAt (image, offset)) << offset;
    EXPECT_TRUE (isLevelDrawing (pixel (image, 141 - 120 * s, 141 - 120 * s)));
}

TEST (OVRADrawVectorscope, TriangleCornersStandAtTheFrontLevels)
{
    // L 1.0 -> 129 px up-left: (141 - 91.22, 141 - 91.22) = (49.78, 49.78);
    // R 0.5 -> 64.5 px up-right: (141 + 45.61, 141 - 45.61) = (186.61, 95.39).
    Field field;
    field.setScale (10);
    field.setLevels (1.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f);
    auto image = field.snapshot();

    const struct
    {
        juce::Point<float> corner, outwards;
    } corners[] = { { { 49.78f, 49.78f }, { -s, -s } },
                    { { 186.61f, 95.39f }, { s, -s } },
                    { { 141.0f, 141.0f }, { 0.0f, 1.0f } } };
    for (const auto& c : corners)
    {
        SCOPED_TRACE (c.corner.toString());
        const auto inside = c.corner - c.outwards * 2.0f;
        const auto outside = c.corner + c.outwards * 4.0f;
        EXPECT_TRUE (isLevelDrawing (pixel (image, inside.x, inside.y)));
        EXPECT_FALSE (isLevelDrawing (pixel (image, outside.x, outside.y)));
    }
    // The middle of the triangle is filled.
    EXPECT_TRUE (isLevelDrawing (
        pixel (image, (49.78f + 186.61f + 141.0f) / 3.0f, (49.78f + 95.39f + 141.0f) / 3.0f + 3.0f)));

    // Equal levels: symmetric about the vertical through the centre, apex at the centre.
    field.setLevels (0.6f, 0.6f, 0.0f, 0.0f, 0.0f, 0.0f);
    image = field.snapshot();
    juce::Rectangle<int> drawn;
    for (int y = 0; y < 283; ++y)
        for (int x = 0; x < 283; ++x)
            if (isLevelDrawing (image.getPixelAt (x, y)))
                drawn = drawn.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1)
                                        : drawn.getUnion (juce::Rectangle<int> (x, y, 1, 1));
    // 0.6 -> 77.4 px: corners at x = 141 -+ 54.73, y = 86.27; line width adds 0.71.
    EXPECT_NEAR (drawn.getX(), 85.56, 1.5);
    EXPECT_NEAR (drawn.getRight(), 196.44, 1.5);
    EXPECT_NEAR (drawn.getY(), 85.56, 1.5);
    EXPECT_NEAR (drawn.getBottom(), 141.71, 1.5);
}

TEST (OVRADrawVectorscope, SmoothingFollowsTheWorkedSequences)
{
    // attack a, release coefficient c: candidate = (1 - c) v + c env; env = v when the level
    // is above the candidate, else the candidate; level = (1 - a) env + a v.
    struct Case
    {
        const char* name;
        float attack, releaseTime;
        double sampleRate;
        std::vector<std::pair<float, float>> inputsAndLevels;
    };
    const Case cases[] = {
        // c = e^-ln2 = 0.5, a = 0.25; 2 and -1 are clamped to 1 and 0.
        // 1: cand 0.5, level 0.75 * 0.5 + 0.25 = 0.625; 1: cand 0.75, level 0.8125;
        // 0: cand 0.375 < 0.8125, env 0, level 0; 0.5: cand 0.25, level 0.1875 + 0.125;
        // 2: cand 0.5 + 0.125 = 0.625, level 0.46875 + 0.25; -1: cand 0.3125 < level, 0.
        { "halving",
          0.25f,
          (float) (1.0 / std::log (2.0)),
          1.0,
          { { 1.0f, 0.625f },
            { 1.0f, 0.8125f },
            { 0.0f, 0.0f },
            { 0.5f, 0.3125f },
            { 2.0f, 0.71875f },
            { -1.0f, 0.0f } } },
        // The editor's values at 48 kHz: c = e^(-1 / 9.6) = 0.9010751, a = 0.0001;
        // 1: 0.9999 (1 - c) + 0.0001 = 0.0990150; 1: 0.9999 (1 - c^2) + 0.0001 = 0.1881448.
        { "editor",
          0.0001f,
          0.0002f,
          48000.0,
          { { 1.0f, 0.0990150f }, { 1.0f, 0.1881448f }, { 0.0f, 0.0f } } },
        // No release time: the level is the input.
        { "no release", 0.25f, 0.0f, 48000.0, { { 0.4f, 0.4f }, { 0.1f, 0.1f } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Field field;
        field.setAttack (c.attack);
        field.setReleaseTime (c.releaseTime);
        field.setSampleRate (c.sampleRate);
        for (const auto& [input, expected] : c.inputsAndLevels)
        {
            field.setLevels (input, input, input, input, input, input);
            for (int channel = 0; channel < 6; ++channel)
                EXPECT_NEAR (OVRADrawVectorscopeProbe::level (field, channel), expected, 2e-6f)
                    << "input " << input << " channel " << channel;
        }
    }
}

TEST (OVRADrawVectorscope, CentroidOfTheFiveMainChannels)
{
    // 0.7071 * 129 = 91.22, 0.7071 * 64.5 = 45.61; divided by the number of non-zero channels.
    struct Row
    {
        float levels[6];
        float x, y;
    };
    const Row rows[] = {
        { { 0, 0, 0, 0, 0, 0 }, 141.0f, 141.0f },
        { { 1, 0, 0, 0, 0, 0 }, 49.78f, 49.78f },
        { { 0.5f, 0.5f, 0, 0, 0, 0 }, 141.0f, 95.39f },
        { { 0.5f, 0.5f, 0.5f, 1, 0.5f, 0.5f }, 141.0f, 128.1f }, // LFE ignored; 141 - 64.5 / 5
        { { 0, 0, 1, 0, 0, 0.5f }, 163.80f, 99.30f },            // (45.61, -129 + 45.61) / 2
    };
    for (const auto& row : rows)
    {
        Field field;
        const auto* l = row.levels;
        field.setLevels (l[0], l[1], l[2], l[3], l[4], l[5]);
        field.pushLevels();
        const auto centroid = OVRADrawVectorscopeProbe::centroid (field);
        EXPECT_NEAR (centroid.x, row.x, 0.01f) << row.y;
        EXPECT_NEAR (centroid.y, row.y, 0.01f) << row.x;
    }
}

TEST (OVRADrawVectorscope, RepaintsOnChangeOnlyAndOnlyTheLevelArea)
{
    Field field;
    auto* counter = new RepaintCounter();
    field.setCachedComponentImage (counter);
    field.setVisible (true);
    counter->count = 0;

    field.setScale (10);
    field.setScale (10);
    field.setAlarmLevel (-20.0f);
    EXPECT_EQ (counter->count, 1);
    field.setAlarmLevel (-10.0f);
    EXPECT_EQ (counter->count, 2);

    // A constant input moves the triangle once: the centroid histories still fill over 30 pushes,
    // but they draw nothing, and a drift within the renderer's 1/256 pixel steps shows nothing.
    field.setLevels (0.5f, 0.2f, 0.1f, 0.0f, 0.3f, 0.4f);
    for (int push = 1; push <= 45; ++push)
    {
        field.pushLevels();
        EXPECT_EQ (counter->count, 3) << push;
    }
    field.setLevels (0.5f + 1.0e-6f, 0.2f, 0.1f, 0.0f, 0.3f, 0.4f);
    field.pushLevels();
    field.repaintLevels();
    EXPECT_EQ (counter->count, 3);

    field.setLevels (1.0f, 1.0f, 0.1f, 0.0f, 0.3f, 0.4f);
    field.pushLevels();
    EXPECT_EQ (counter->count, 4);
    // Full-scale corners and the centre lie in the repainted area; the lower half does not.
    for (auto p : { juce::Point<int> (49, 49), juce::Point<int> (232, 49), juce::Point<int> (141, 142) })
        EXPECT_TRUE (counter->area.contains (p)) << p.toString();
    EXPECT_LT (counter->area.getBottom(), 150);
}
