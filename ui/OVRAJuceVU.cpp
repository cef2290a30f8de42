#include "OVRAJuceVU.h"

#include <cmath>

namespace
{
constexpr float firstFallStep = 0.005f;
} // namespace

OVRAJuceVU::OVRAJuceVU (juce::Image background, juce::Colour low, juce::Colour high, float split)
    : juce::Component ("VUMeter")
    , splitPosition (split)
    , lowColour (low)
    , highColour (high)
    , backgroundImage (background)
    , generatedForeground (true)
{
    if (backgroundImage.isValid())
        foregroundImage =
            juce::Image (juce::Image::RGB, backgroundImage.getWidth(), backgroundImage.getHeight(), true);
    updateImage();
}

OVRAJuceVU::OVRAJuceVU (juce::Image background, juce::Image foreground)
    : juce::Component ("VUMeter")
    , showPeak (0)
    , backgroundImage (background)
    , foregroundImage (foreground)
{
}

// The generated image is a reference-counted value: dropping it here frees it.
OVRAJuceVU::~OVRAJuceVU() = default;

void OVRAJuceVU::setSplitPosition (float newSplitPosition)
{
    if (newSplitPosition == splitPosition)
        return;

    splitPosition = newSplitPosition;
    updateImage();
    repaint();
}

void OVRAJuceVU::updateImage()
{
    // The two-image form keeps its foreground as given.
    if (! generatedForeground || ! foregroundImage.isValid())
        return;

    foregroundImage.clear (foregroundImage.getBounds());

    const int h = backgroundImage.getHeight();
    const int w = backgroundImage.getWidth();
    const int split = (int) ((float) h * splitPosition);
    if (h - split == 0)
        return;

    juce::Graphics g (foregroundImage);
    g.setColour (lowColour);
    g.fillRect (0, h - split, w, split);
    g.setColour (highColour);
    g.fillRect (0, 0, w, h - split);
}

void OVRAJuceVU::setLevel (float value)
{
    const float x = juce::jlimit (0.0f, 1.0f, value);
    level = juce::jlimit (0.0f, 1.0f, level);
    const auto before = drawnRows();

    level = ballistics.follow (x, envelope, level);
    level = juce::jlimit (0.0f, 1.0f, level);
    peak = juce::jlimit (0.0f, 1.0f, peak);

    if (showPeak != 0 && MeterBallistics::differs (level, peak))
        runPeakHold();

    // A level that moves within a row changes no pixel.
    repaintChangedRows (before, drawnRows());
}

void OVRAJuceVU::runPeakHold() noexcept
{
    if (level > peak)
    {
        peak = level;
        holdCounter = 0;
        fallStep = firstFallStep;
        falling = false;
    }
    else if (! falling)
    {
        holdCounter = 0;
        falling = true;
    }
    else if (holdCounter < holdTicks)
    {
        ++holdCounter;
    }
    else if (peak != 0.0f && fallStep > 0.0f)
    {
        peak -= fallStep;
        fallStep *= 2.0f;
    }
}

OVRAJuceVU::Rows OVRAJuceVU::drawnRows() const noexcept
{
    const auto rows = [h = (float) getHeight()] (float fraction) {
        return (int) (h * juce::jlimit (0.0f, 1.0f, fraction));
    };
    return { rows (level), showPeak != 0 ? rows (peak) : 0 };
}

void OVRAJuceVU::repaintChangedRows (Rows before, Rows after)
{
    const int w = getWidth();
    const int h = getHeight();

    if (before.lit != after.lit)
    {
        const int top = juce::jmax (before.lit, after.lit);
        repaint (0, h - top, w, top - juce::jmin (before.lit, after.lit));
    }

    if (before.peak != after.peak)
        for (const int p : { before.peak, after.peak })
            if (p != 0)
                repaint (0, h - p, w, 2);
}

void OVRAJuceVU::paint (juce::Graphics& g)
{
    peak = juce::jlimit (0.0f, 1.0f, peak);
    level = juce::jlimit (0.0f, 1.0f, level);
    g.setOpacity (1.0f);

    const int w = getWidth();
    const int h = getHeight();

    if (backgroundImage.isValid())
        g.drawImage (backgroundImage, 0, 0, w, h, 0, 0, w, h);

    if (! foregroundImage.isValid())
        return;

    if (const int lit = (int) ((float) h * level); lit != 0)
        g.drawImage (foregroundImage, 0, h - lit, w, lit, 0, h - lit, w, lit);

    if (showPeak != 0)
        if (const int p = (int) ((float) h * peak); p != 0)
            g.drawImage (foregroundImage, 0, h - p, w, 2, 0, h - p, w, 2);
}
