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

    level = clamped;
    repaint();
}

void OVRAJuceArrowVU::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();
    g.setOpacity (1.0f);

    if (backgroundImage.isValid())
        g.drawImage (backgroundImage, 0, 0, w, h, 0, 0, w, h);

    if (arrowImage.isValid())
        g.drawImageAt (arrowImage, 0, h - arrowImage.getHeight() / 2 - (int) ((float) h * level));
}
