#include "OVRACorrelationMeter.h"

#include <cmath>

namespace
{
// The column map's key: the value rounded to 0.01. Keys made here and keys
// looked up are the same floats only because both come from this one rule.
float roundToHundredth (float v) { return std::floor (v * 100.0f + 0.5f) / 100.0f; }
} // namespace

OVRACorrelationMeter::OVRACorrelationMeter (int widthToUse, juce::Colour background, juce::Colour negative,
                                            juce::Colour positive, juce::Colour middle, juce::Colour frame,
                                            const juce::Font& fontToUse, const juce::String& firstName,
                                            const juce::String& secondName)
    : width (widthToUse)
    , drawWidth (widthToUse - 8)
    , drawHeight (height - 27)
    , frameColour (frame)
    , negativeColour (negative)
    , positiveColour (positive)
    , middleColour (middle)
    , backgroundColour (background)
    , font (fontToUse)
    , nameA (firstName)
    , nameB (secondName)
{
    const auto columns = juce::jmax (0, drawWidth - 2);

    for (int i = 0; i < columns; ++i)
        columnX.push_back ((float) (int) ((float) i + 4.0f + olderLineWidth));

    const auto negatives = (columns * 75) / 200;
    const auto middles = (columns * 25) / 100;
    for (int i = 0; i < columns; ++i)
        columnColours.push_back (i < negatives ? negativeColour
                                               : (i < negatives + middles ? middleColour : positiveColour));

    for (int i = 0; i < historyLength; ++i)
    {
        history.push_back ((float) (historyLength - 1 - i));
        previousHistory.push_back (-100.0f);
        opacities.push_back (i == 0 ? 1.0f : 0.5f - (float) i * (0.5f / (float) historyLength));
    }

    buildColourMap (columns);

    // The background covers the whole meter: nothing behind it needs painting.
    setOpaque (true);
    backgroundImage = juce::Image (juce::Image::RGB, juce::jmax (1, width), height, true);
    {
        juce::Graphics g (backgroundImage);
        g.setColour (backgroundColour);
        g.fillRect (0, 0, width, height);
        g.setColour (frameColour);
        g.drawRect (4, 2, drawWidth, drawHeight, 1);
    }

    const auto labelFont = font.withHeight (9.0f).withHorizontalScale (1.0f).withExtraKerningFactor (0.0f);
    const auto fh = 9;
    const auto ly = (int) (height - fh * 2.3);
    const auto place = [&] (juce::Label& label, const juce::String& text, int x, int y,
                            juce::Justification justification) {
        label.setText (text, juce::dontSendNotification);
        label.setFont (labelFont);
        label.setColour (juce::Label::textColourId, juce::Colours::white);
        label.setJustificationType (justification);
        label.setBounds (x, y, drawWidth, fh);
        addAndMakeVisible (label);
    };
    place (minusOneLabel, "-1", -1, ly, juce::Justification::centredLeft);
    place (zeroLabel, "0", 4, ly, juce::Justification::centred);
    place (plusOneLabel, "+1", 9, ly, juce::Justification::centredRight);
    place (nameLabel, nameA + " / " + nameB, 4, (int) (height - fh * 1.2), juce::Justification::centred);

    setSize (width, height);
}

OVRACorrelationMeter::~OVRACorrelationMeter() = default;

void OVRACorrelationMeter::buildColourMap (int columns)
{
    columns = juce::jmin (columns, (int) columnX.size());
    if (columns < 1)
        return;

    const auto step = columns > 1 ? 2.0f / (float) (columns - 1) : 0.0f;
    for (int i = 0; i < columns; ++i)
        valueToX[roundToHundredth ((float) i * step - 1.0f)] = (int) columnX[(size_t) i];

    // Columns wider apart than 0.01 leave some keys without one of their own:
    // those take the nearest column, the right-hand one when two are as near.
    for (int hundredths = -100; hundredths <= 100; ++hundredths)
    {
        const auto key = roundToHundredth ((float) hundredths / 100.0f);
        if (valueToX.count (key) != 0)
            continue;
        const auto position = ((double) key + 1.0) * (columns - 1) / 2.0;
        const auto column = juce::jlimit (0, columns - 1, (int) std::floor (position + 0.5));
        valueToX[key] = (int) columnX[(size_t) column];
    }
}

int OVRACorrelationMeter::columnFor (float correlation) const
{
    // Readings beyond the scale are held at its ends.
    const auto key = juce::jlimit (-1.0f, 1.0f, roundToHundredth (correlation));
    const auto found = valueToX.find (key);
    return found != valueToX.end() ? found->second : 0;
}

void OVRACorrelationMeter::setValue (float x)
{
    // A reading that is not a number is treated as unchanged, so it cannot
    // stick in the envelope.
    if (std::isfinite (x))
        value = ballistics.follow (x, envelope, value);

    previousHistory = history;
    history.push_front ((float) columnFor (value));
    history.pop_back();

    const auto changed = changedColumns();
    needsRepaint = ! changed.isEmpty();
    if (needsRepaint)
        repaint (changed.getStart(), 0, changed.getLength(), drawHeight + 3);
}

juce::Range<int> OVRACorrelationMeter::changedColumns() const
{
    // A line's pixels depend on its column and its place in the trail: only
    // where a place holds another column than before is anything redrawn,
    // the old line and the new one, with a pixel to spare for the smoothing
    // of the thin lines' edges.
    juce::Range<int> changed;
    for (size_t i = 0; i < history.size() && i < previousHistory.size(); ++i)
    {
        if (history[i] == previousHistory[i])
            continue;

        for (const auto x : { history[i], previousHistory[i] })
        {
            const auto span = lineSpan (i, x);
            const juce::Range<int> line ((int) std::floor (span.getStart()) - 1,
                                         (int) std::ceil (span.getEnd()) + 1);
            changed = changed.isEmpty() ? line : changed.getUnionWith (line);
        }
    }
    return changed;
}

juce::Range<float> OVRACorrelationMeter::lineSpan (size_t place, float column) const noexcept
{
    const auto thickness = place == 0 ? newestLineWidth : olderLineWidth;
    const auto centre = place == 0 ? column - 1.0f : column + 1.0f;
    return juce::Range<float>::withStartAndLength (centre - thickness * 0.5f, thickness);
}

void OVRACorrelationMeter::paint (juce::Graphics& g)
{
    if (backgroundImage.isValid())
        g.drawImageAt (backgroundImage, 0, 0);
    else
        g.fillAll (backgroundColour);

    const auto columns = (size_t) juce::jmax (0, drawWidth - 2);
    if (columnX.size() != columns || columnColours.size() != columns
        || opacities.size() != (size_t) historyLength || history.size() != (size_t) historyLength)
        return;

    // The colour is taken a few columns left of the line, which for the
    // leftmost columns lies before the table: those take its first colour, so
    // that a reading of -1, a signal in opposite phase, still shows its line.
    // The starting trail stands left of every column and shows nothing.
    const auto colourFor = [this] (float x, float thickness) {
        if (x < (float) columnX.front() || x > (float) columnX.back())
            return juce::Colours::transparentBlack;

        const auto index = juce::jlimit (0, (int) columnColours.size() - 1, (int) (x - 4.0f - thickness));
        return columnColours[(size_t) index];
    };
    const auto bottom = (float) drawHeight + 1.0f;

    for (int i = 0; i < historyLength; ++i)
    {
        const auto x = history[(size_t) i];
        const auto span = lineSpan ((size_t) i, x);
        g.setColour (colourFor (x, span.getLength()).withMultipliedAlpha (opacities[(size_t) i]));
        // The lines are vertical: as rectangles they are filled without
        // building a path each, for the same pixels (to a level in 255 at the
        // half-covered edges of the thin ones).
        g.fillRect (juce::Rectangle<float> (span.getStart(), 3.0f, span.getLength(), bottom - 3.0f));
    }
}
