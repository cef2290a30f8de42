#include "OVRAJuceLRVU.h"

#include <cmath>

OVRAJuceLRVU::OVRAJuceLRVU (juce::Image background, juce::Image foreground)
    : juce::Component ("LRVUMeter")
    , backgroundImage (background)
    , foregroundImage (foreground)
{
}

void OVRAJuceLRVU::setRange (float newLow, float newHigh)
{
    // An end that is not a number keeps its height.
    newLow = std::isnan (newLow) ? low : juce::jlimit (0.0f, 1.0f, newLow);
    newHigh = std::isnan (newHigh) ? high : juce::jlimit (0.0f, 1.0f, newHigh);
    if (newLow == low && newHigh == high)
        return;

    // The band moves by whole rows: a change within a row lights no other pixel.
    const auto before = bandRows();
    low = newLow;
    high = newHigh;
    if (bandRows() != before)
        repaint();
}

std::pair<int, int> OVRAJuceLRVU::bandRows() const noexcept
{
    const auto h = (float) getHeight();
    return { (int) (h * low), (int) (h * high) };
}

void OVRAJuceLRVU::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();
    g.setOpacity (1.0f);

    if (backgroundImage.isValid())
        g.drawImage (backgroundImage, 0, 0, w, h, 0, 0, w, h);

    const auto [bottom, top] = bandRows();
    if (foregroundImage.isValid() && top > bottom)
        g.drawImage (foregroundImage, 0, h - top, w, top - bottom, 0, h - top, w, top - bottom);
}
