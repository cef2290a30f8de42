#include "OVRAVectroscope.h"

#include "MeterScales.h"

#include <cmath>

namespace
{
std::vector<juce::Colour> fadingColours (juce::Colour colour, int count)
{
    std::vector<juce::Colour> colours;
    for (int k = 0; k < count; ++k)
        colours.push_back (colour.withAlpha (1.0f - (float) k / (float) count));
    return colours;
}
} // namespace

OVRAVectroscope::OVRAVectroscope (ScopeFeed* feedToRead, juce::Colour trail, juce::Colour axis,
                                  juce::Colour backgroundFill)
    : trailColours (fadingColours (trail, trailLength))
    , backgroundColour (backgroundFill)
    , axisColour (axis)
    , trailColour (trail)
    , feed (feedToRead)
    , block (2, blockSize)
{
    jassert (feed != nullptr);
    // Its background picture covers it whole.
    setOpaque (true);
    nextPoints.reserve (blockSize);
    // The logarithmic mode spans the true-peak meter's range.
    constexpr auto truePeak = MeterScales::ranges[MeterScales::truePeakRow];
    levelScale.setRange (truePeak.minDb, truePeak.maxDb);

    if (startOwnTimer)
        startTimer (timerIntervalMs);
}

OVRAVectroscope::~OVRAVectroscope() { stopTimer(); }

//==============================================================================
void OVRAVectroscope::setXChannel (const juce::String& name)
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (feed != nullptr)
        feed->setXChannel (name);
    xName = name;
    rebuildBackground();
}

void OVRAVectroscope::setYChannel (const juce::String& name)
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (feed != nullptr)
        feed->setYChannel (name);
    yName = name;
    rebuildBackground();
}

void OVRAVectroscope::setLogarithmic (bool shouldBeLogarithmic) { logarithmic = shouldBeLogarithmic; }

//==============================================================================
void OVRAVectroscope::resized()
{
    width = getWidth();
    height = getHeight();

    {
        const juce::ScopedLock sl (lock);
        radius = (float) juce::jmin (width, height) * 0.5f;
        centreX = (float) width * 0.5f;
        centreY = (float) height * 0.5f;
    }

    for (size_t i = 0; i < axisEnds.size(); ++i)
        axisEnds[i] = { centreX + radius * std::cos (axisAngles[i]),
                        centreY - radius * std::sin (axisAngles[i]) };

    rebuildBackground();
}

void OVRAVectroscope::rebuildBackground()
{
    if (width == 0 || height == 0)
        return;

    background = juce::Image (juce::Image::RGB, width, height, false);
    juce::Graphics g (background);
    g.fillAll (backgroundColour);

    g.setColour (axisColour);
    g.drawRect (0, 0, width, height, 1);
    g.drawLine ({ axisEnds[0], axisEnds[3] });
    g.drawLine ({ axisEnds[1], axisEnds[2] });

    // X is named at the upper right, Y at the upper left.
    const float top = axisEnds[0].y - 20.0f;
    g.drawText (xName, juce::Rectangle<float> (axisEnds[1].x, top, 20.0f, 20.0f),
                juce::Justification::centred, true);
    g.drawText (yName, juce::Rectangle<float> (axisEnds[0].x - 20.0f, top, 20.0f, 20.0f),
                juce::Justification::centred, true);

    repaint();
}

void OVRAVectroscope::paint (juce::Graphics& g)
{
    if (background.isValid())
        g.drawImage (background, 0, 0, width, height, 0, 0, width, height);

    const juce::ScopedLock sl (lock);
    size_t k = 0;
    for (const auto& points : trail)
    {
        g.setColour (trailColours[k++]);
        for (const auto& p : points)
            g.fillRect ((int) p.x, (int) p.y, 1, 1);
    }
}

void OVRAVectroscope::timerCallback() { repaint(); }

//==============================================================================
float OVRAVectroscope::toUnit (float sample, int channel) noexcept
{
    // A NaN would make no point at all; like the meters, take it as silence.
    const float clamped = std::isnan (sample) ? 0.0f : juce::jlimit (-1.0f, 1.0f, sample);

    if (! logarithmic)
        return clamped;

    const double dB = 20.0 * std::log10 ((double) feed->processSample (clamped, channel));
    const double position = juce::jlimit (0.0, 1.0, levelScale.levelToPosition (dB));
    return juce::jlimit (-1.0f, 1.0f, (float) (clamped > 0.0f ? position : -position));
}

int OVRAVectroscope::useTimeSlice()
{
    if (! logarithmic)
        return idleWaitMs;

    readWaitingBlocks();
    return waitMs;
}

void OVRAVectroscope::refresh()
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (logarithmic)
    {
        repaint();
        return;
    }

    if (! readWaitingBlocks())
        return;

    // Old dots go and new ones come only where either trail lies.
    const auto area = dotArea();
    repaint (shownArea.getUnion (area));
    shownArea = area;
}

void OVRAVectroscope::skipWaitingAudio()
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (feed == nullptr)
        return;

    const juce::ScopedLock sl (readLock);
    feed->fifo->readInPlace (feed->fifo->getNumReady(), [] (auto&&...) {});
}

bool OVRAVectroscope::readWaitingBlocks()
{
    if (feed == nullptr)
        return false;

    const juce::ScopedLock sl (readLock);

    // Every whole block waiting is dealt with at once, so that the reader
    // never falls behind the feed. Only the newest trailLength blocks can be
    // on screen at the next paint: in the linear mode, which keeps no state
    // between samples, older ones are skipped unread.
    int blocks = feed->fifo->getNumReady() / blockSize;
    if (! logarithmic && blocks > trailLength)
    {
        feed->fifo->readInPlace ((blocks - trailLength) * blockSize, [] (auto&&...) {});
        blocks = trailLength;
    }

    const bool changed = blocks > 0;
    while (--blocks >= 0)
        readBlock();

    return changed;
}

juce::Rectangle<int> OVRAVectroscope::dotArea() const
{
    const juce::ScopedLock sl (lock);
    juce::Rectangle<int> area;

    for (const auto& points : trail)
        for (const auto& p : points)
            area = area.getUnion ({ (int) p.x, (int) p.y, 1, 1 });

    return area;
}

void OVRAVectroscope::readBlock()
{
    feed->readLatest (block, blockSize);

    float r, cx, cy;
    {
        const juce::ScopedLock sl (lock);
        r = radius;
        cx = centreX;
        cy = centreY;
    }

    // cos 45 and sin 45 as one value, so that mono lands exactly on the vertical.
    const float rotation = juce::MathConstants<float>::sqrt2 * 0.5f;
    const float* xs = block.getReadPointer (0);
    const float* ys = block.getReadPointer (1);

    nextPoints.clear();
    nextPoints.reserve (blockSize);
    for (int i = 0; i < blockSize; ++i)
    {
        const float px = r * toUnit (xs[i], 0);
        const float py = r * toUnit (ys[i], 1);
        nextPoints.emplace_back (cx + rotation * (px - py), cy - rotation * (px + py));
    }

    const juce::ScopedLock sl (lock);
    if ((int) trail.size() >= trailLength)
    {
        // The oldest block's storage becomes the newest block, so a full trail
        // rolls without allocating.
        trail.splice (trail.begin(), trail, std::prev (trail.end()));
        trail.front().swap (nextPoints);
    }
    else
    {
        trail.push_front (std::move (nextPoints));
        nextPoints.clear();
    }
}
