#include "OVRADrawVectorscope.h"

#include "MeterScales.h"
#include "Slots.h"

#include <algorithm>
#include <cmath>

namespace
{
// The alarm ring always stands on the true-peak scale.
constexpr auto fixedRange = MeterScales::ranges[MeterScales::truePeakRow];
constexpr int fh = 9; // label height and font height

struct ScaleEntry
{
    int id;
    MeterScales::Range range;
    std::array<int, 5> ticks;
    bool alarmZone;
};

// The ids are the editor's unit codes: 10 to 13 the standards' narrow and
// wide rows in LUFS or LKFS, 18 to 21 the same in LU; 4 the true-peak scale.
constexpr ScaleEntry scaleTable[] = {
    { 4, fixedRange, { -40, -30, -20, -10, 0 }, true },
    { 10, MeterScales::ranges[MeterScales::ebuNarrowRow], { -35, -28, -23, -20, -16 }, false },
    { 11, MeterScales::ranges[MeterScales::atscNarrowRow], { -31, -27, -24, -21, -17 }, false },
    { 12, MeterScales::ranges[MeterScales::ebuWideRow], { -41, -29, -23, -17, -11 }, false },
    { 13, MeterScales::ranges[MeterScales::atscWideRow], { -42, -30, -24, -18, -12 }, false },
    { 18, MeterScales::relativeNarrow, { -7, -3, 0, 3, 7 }, false },
    { 19, MeterScales::relativeNarrow, { -7, -3, 0, 3, 7 }, false },
    { 20, MeterScales::relativeWide, { -18, -6, 0, 6, 12 }, false },
    { 21, MeterScales::relativeWide, { -18, -6, 0, 6, 12 }, false },
};

int radiusOnScale (const ExponentialScale& scale, float dB, int radiusPx)
{
    const auto clamped = juce::jlimit ((float) scale.min, (float) scale.max, dB);
    return (int) (scale.levelToPosition (clamped) * radiusPx);
}
} // namespace

OVRADrawVectorscope::OVRADrawVectorscope (juce::Colour background, juce::Colour text, juce::Colour level,
                                          juce::Colour alarm, const juce::Font& editorFont)
    : backgroundColour (background)
    , textColour (text)
    , levelColour (level)
    , alarmColour (alarm)
    , font (editorFont.withHeight ((float) fh))
{
    setOpaque (true);

    // A range before the first scale keeps every map finite.
    setRange (fixedRange.minDb, fixedRange.maxDb);
    alarmScale.setRange (fixedRange.minDb, fixedRange.maxDb);

    // Screen y grows downwards: L at 225 degrees lies up-left, R at 135 up-right.
    const double angles[] = { 225.0, 135.0, 225.0, 315.0 };
    for (size_t i = 0; i < 4; ++i)
    {
        const auto radians = juce::degreesToRadians (angles[i]);
        directions[2 * i] = std::sin (radians);
        directions[2 * i + 1] = std::cos (radians);
    }

    outerCircle.addEllipse (12.0f, (float) (size - 12) - 2.0f * radius, 2.0f * radius, 2.0f * radius);

    grid = juce::Image (juce::Image::RGB, size, size, true);
    drawGrid();

    const int a = size / 40, b = size / 60;
    const float s = 0.70710678f, c = centre, r = radius;
    // The five main channels, the LFE left out.
    const char* names[] = { Slots::names[Slots::L], Slots::names[Slots::R], Slots::names[Slots::C],
                            Slots::names[Slots::LS], Slots::names[Slots::RS] };
    const juce::Rectangle<int> bounds[] = {
        { (int) (c - r * s - (float) a - (float) b), (int) (c - r * s - (float) a), 2 * fh, fh },
        { (int) (c + r * s), (int) (c - r * s - (float) a), size / 2, fh },
        { 0, (int) (12 - fh), size, fh },
        { (int) (c - r * s - 1.5f * (float) a - (float) b), (int) (c + r * s), 2 * fh, fh },
        { (int) (c + r * s), (int) (c + r * s), 2 * fh, fh },
    };

    for (size_t i = 0; i < channelLabels.size(); ++i)
    {
        auto& label = channelLabels[i];
        label.setText (names[i], juce::dontSendNotification);
        label.setFont (font);
        label.setColour (juce::Label::textColourId, textColour);
        label.setBounds (bounds[i]);
        addAndMakeVisible (label);
    }
    channelLabels[centreChannel].setJustificationType (juce::Justification::centred);

    for (auto& label : tickLabels)
    {
        label.setFont (font);
        label.setColour (juce::Label::textColourId, textColour);
        label.setJustificationType (juce::Justification::centred);
        addAndMakeVisible (label);
    }

    xHistory.assign ((size_t) historyLength, -2.0f);
    yHistory.assign ((size_t) historyLength, -2.0f);
    previousX.assign ((size_t) historyLength, -1.0f);
    previousY.assign ((size_t) historyLength, -1.0f);
}

OVRADrawVectorscope::~OVRADrawVectorscope() = default;

void OVRADrawVectorscope::setScale (int id)
{
    if (id == scaleId)
        return;

    scaleId = id;
    ticks.clear();

    const auto* entry = std::find_if (std::begin (scaleTable), std::end (scaleTable),
                                      [id] (const ScaleEntry& e) { return e.id == id; });
    if (entry != std::end (scaleTable))
    {
        setRange (entry->range.minDb, entry->range.maxDb);
        ticks.assign (entry->ticks.begin(), entry->ticks.end());
        alarmZone = entry->alarmZone;
    }

    gridCircles.clear();
    for (size_t i = 0; i < ticks.size(); ++i)
    {
        const auto r = (float) dbToRadius ((float) ticks[i]);
        gridCircles.addCentredArc (centre, centre, r, r, 0.0f, 0.0f, juce::MathConstants<float>::twoPi, true);

        tickLabels[i].setText (juce::String (ticks[i]), juce::dontSendNotification);
        tickLabels[i].setBounds (0, (int) (r + centre - 10.0f), size, fh);
    }

    drawGrid();
    repaint();
}

void OVRADrawVectorscope::setRange (float min, float max)
{
    minDb = (int) min;
    maxDb = (int) max;
    range = std::abs (maxDb - minDb);
    radiusPx = (int) radius;
    scale.setRange (minDb, maxDb);
}

int OVRADrawVectorscope::dbToRadius (float dB) { return radiusOnScale (scale, dB, radiusPx); }

int OVRADrawVectorscope::levelToRadius (float dB)
{
    radiusPx = (int) radius;
    return radiusOnScale (alarmScale, dB, radiusPx);
}

void OVRADrawVectorscope::setLevels (float l, float r, float c, float lfeLevel, float ls, float rs)
{
    const float values[] = { l, r, c, lfeLevel, ls, rs };

    for (size_t k = 0; k < levels.size(); ++k)
        levels[k] = ballistics.followField (juce::jlimit (0.0f, 1.0f, values[k]), envelopes[k], levels[k]);
}

void OVRADrawVectorscope::pushLevels()
{
    const auto vL = (double) radiusPx * levels[left];
    const auto vR = (double) radiusPx * levels[right];
    const auto vC = (double) radiusPx * levels[centreChannel];
    const auto vLS = (double) radiusPx * levels[leftSurround];
    const auto vRS = (double) radiusPx * levels[rightSurround];
    const int n = (vL != 0.0) + (vR != 0.0) + (vC != 0.0) + (vLS != 0.0) + (vRS != 0.0);

    // Surrounds point downwards: their screen y is the negated direction.
    auto x = directions[0] * vL + directions[2] * vR + directions[7] * vRS + directions[4] * vLS;
    auto y = directions[1] * vL + directions[3] * vR - vC - directions[6] * vRS - directions[5] * vLS;
    if (n != 0)
    {
        x /= n;
        y /= n;
    }

    xHistory.push_front ((float) x + centre);
    yHistory.push_front ((float) y + centre);
    xHistory.pop_back();
    yHistory.pop_back();

    const auto full = [this] (const std::deque<float>& d) { return (int) d.size() == historyLength; };
    if (full (xHistory) && full (yHistory) && full (previousX) && full (previousY))
    {
        if (xHistory != previousX || yHistory != previousY)
            repaintLevels();

        previousX = xHistory;
        previousY = yHistory;
    }
}

void OVRADrawVectorscope::setAlarmLevel (float dB)
{
    if (dB == alarmLevel)
        return;

    alarmLevel = dB;
    alarmRadius = (float) levelToRadius (dB);
    drawGrid();
    // Without a repaint a silent input would keep showing the old ring.
    repaint();
}

void OVRADrawVectorscope::drawGrid()
{
    grid.clear (grid.getBounds(), backgroundColour);
    juce::Graphics g (grid);

    g.setColour (textColour);
    g.strokePath (outerCircle, outerStroke);

    if (alarmZone)
    {
        g.setColour (alarmColour.withMultipliedAlpha (0.18f));
        g.fillEllipse (12.0f, 13.0f, 2.0f * radius, 2.0f * radius);
        g.setColour (backgroundColour);
        g.fillEllipse (centre - alarmRadius, centre - alarmRadius, 2.0f * alarmRadius, 2.0f * alarmRadius);
    }

    g.setColour (juce::Colour (0xffd3d3d3));
    g.strokePath (gridCircles, gridStroke);
}

std::pair<juce::Point<float>, juce::Point<float>> OVRADrawVectorscope::levelCorners() const noexcept
{
    const auto vL = (float) radiusPx * levels[left];
    const auto vR = (float) radiusPx * levels[right];
    return { { centre + vL * (float) directions[1], centre + vL * (float) directions[0] },
             { centre - vR * (float) directions[3], centre - vR * (float) directions[2] } };
}

void OVRADrawVectorscope::repaintLevels()
{
    // Smoothed levels drift by amounts far below what the renderer can show:
    // only corners that move by one of its sub-pixel steps change the picture.
    const auto [pointL, pointR] = levelCorners();
    const std::array<int, 4> corners { juce::roundToInt (pointL.x * 256.0f),
                                       juce::roundToInt (pointL.y * 256.0f),
                                       juce::roundToInt (pointR.x * 256.0f),
                                       juce::roundToInt (pointR.y * 256.0f) };
    if (corners == drawnCorners)
        return;

    const auto triangle = [this] (const std::array<int, 4>& c) {
        return juce::Rectangle<float>::findAreaContainingPoints (
            std::array<juce::Point<float>, 3> { juce::Point<float> ((float) c[0], (float) c[1]) / 256.0f,
                                                juce::Point<float> ((float) c[2], (float) c[3]) / 256.0f,
                                                juce::Point<float> (centre, centre) }
                .data(),
            3);
    };
    // The lines are 2 pixels thick and anti-aliased.
    repaint (
        triangle (drawnCorners).getUnion (triangle (corners)).expanded (3.0f).getSmallestIntegerContainer());
    drawnCorners = corners;
}

void OVRADrawVectorscope::paint (juce::Graphics& g)
{
    if (grid.isValid())
        g.drawImageAt (grid, 0, 0);
    else
        g.fillAll (backgroundColour);

    const auto vL = (float) radiusPx * levels[left];
    const auto vR = (float) radiusPx * levels[right];
    const auto cosL = (float) directions[1], sinL = (float) directions[0];
    const auto cosR = (float) directions[3], sinR = (float) directions[2];
    const juce::Point<float> middle (centre, centre);
    const auto [pointL, pointR] = levelCorners();

    levelShape.clear();
    levelShape.startNewSubPath (pointL);
    levelShape.lineTo (pointR);
    levelShape.lineTo (middle);
    levelShape.closeSubPath();
    g.setColour (fillColour.withAlpha (fillAlpha));
    g.fillPath (levelShape);

    g.setColour (levelColour);
    g.drawLine ({ pointL, middle }, 2.0f);
    g.drawLine ({ pointR, middle }, 2.0f);

    if (alarmZone)
    {
        g.setColour (alarmColour);
        g.setOpacity (segmentOpacity);
        if (vL > alarmRadius)
            g.drawLine ({ pointL, { centre + alarmRadius * cosL, centre + alarmRadius * sinL } }, 2.0f);
        if (vR > alarmRadius)
            g.drawLine ({ pointR, { centre - alarmRadius * cosR, centre - alarmRadius * sinR } }, 2.0f);
    }
}
