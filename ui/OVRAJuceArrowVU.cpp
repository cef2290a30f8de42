#include "OVRAJuceArrowVU.h"

#include <cmath>

OVRAJuceArrowVU::OVRAJuceArrowVU (juce::Image background, juce::Image arrow)
    : juce::Component ("ArrowVUMeter")
    , backgroundImage (background)
    , arrowImage (arrow)
{
}

void OVRAJuceArrowVU::setLevel (float value)
{
    // A value that is not a number would put the arrow at no defined height.
    const float clamped = juce::jlimit (0.0f, 1.0f, value);
    if (std::isnan (clamped) || clamped == level)
        return;

    // The arrow moves by whole rows: a change within a row leaves it where it is.
    const auto before = arrowArea();
    level = clamped;
    if (const auto after = arrowArea(); after != before)
        repaint (before.getUnion (after));
}

juce::Rectangle<int> OVRAJuceArrowVU::arrowArea() const noexcept
{
    const int h = getHeight();
    return { 0, h - arrowImage.getHeight() / 2 - (int) ((float) h * level), getWidth(),
             arrowImage.getHeight() };
}

void OVRAJuceArrowVU::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();
    g.setOpacity (1.0f);

    if (backgroundImage.isValid())
        g.drawImage (backgroundImage, 0, 0, w, h, 0, 0, w, h);

    if (arrowImage.isValid())
        g.drawImageAt (arrowImage, 0, arrowArea().getY());
}
