#include "ZelxLookAndFeel.h"

namespace
{
// The bar's shading: the button colour at 0.9 saturation (1.3 with the
// keyboard focus), a little contrast added while hovered or pressed, as the
// framework's own buttons shade, which it does not expose.
juce::Colour createBaseColour (juce::Colour buttonColour, bool hasKeyboardFocus, bool isHighlighted,
                               bool isDown) noexcept
{
    const auto baseColour = buttonColour.withMultipliedSaturation (hasKeyboardFocus ? 1.3f : 0.9f);

    if (isDown)
        return baseColour.contrasting (0.2f);
    if (isHighlighted)
        return baseColour.contrasting (0.1f);
    return baseColour;
}
} // namespace

ZelxLookAndFeel::ZelxLookAndFeel()
{
    setColour (juce::ComboBox::backgroundColourId, juce::Colour (0xffd8d8d8));
    setColour (juce::ComboBox::outlineColourId, juce::Colour (0xff3e454d));
    setColour (juce::ComboBox::buttonColourId, juce::Colour (0xff3e454d));
    setColour (juce::ComboBox::arrowColourId, juce::Colour (0xff1abc9c));
}

void ZelxLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool isMouseButtonDown,
                                    int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox& box)
{
    g.fillAll (box.findColour (juce::ComboBox::backgroundColourId));

    if (box.isEnabled() && box.hasKeyboardFocus (false))
    {
        g.setColour (box.findColour (juce::ComboBox::buttonColourId));
        g.drawRect (0, 0, width, height, 2);
    }
    else
    {
        g.setColour (box.findColour (juce::ComboBox::outlineColourId));
        g.drawRect (0, 0, width, height);
    }

    const auto inset = box.isEnabled() ? (isMouseButtonDown ? 1.2f : 0.5f) : 0.3f;
    const auto button = juce::Rectangle<int> (buttonX, buttonY, buttonW, buttonH).toFloat();

    g.setColour (box.findColour (juce::ComboBox::buttonColourId));
    g.fillRect (button.reduced (inset));

    if (box.isEnabled())
    {
        const auto x = button.getX(), y = button.getY(), w = button.getWidth(), h = button.getHeight();

        juce::Path arrows;
        arrows.addTriangle (x + w * 0.5f, y + h * 0.25f, x + w * 0.7f, y + h * 0.45f, x + w * 0.3f,
                            y + h * 0.45f);
        arrows.addTriangle (x + w * 0.5f, y + h * 0.75f, x + w * 0.7f, y + h * 0.55f, x + w * 0.3f,
                            y + h * 0.55f);

        g.setColour (box.findColour (juce::ComboBox::arrowColourId));
        g.fillPath (arrows);
    }
}

void ZelxLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                                        float sliderPos, float minSliderPos, float maxSliderPos,
                                        juce::Slider::SliderStyle style, juce::Slider& slider)
{
    g.fillAll (slider.findColour (juce::Slider::backgroundColourId));

    if (style != juce::Slider::LinearBar && style != juce::Slider::LinearBarVertical)
    {
        drawLinearSliderBackground (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style,
                                    slider);
        drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
        return;
    }

    const auto enabled = slider.isEnabled();
    const auto over = slider.isMouseOverOrDragging() && enabled;
    const auto baseColour = createBaseColour (
        slider.findColour (juce::Slider::thumbColourId).withMultipliedSaturation (enabled ? 1.0f : 0.5f),
        false, over, over || slider.isMouseButtonDown());
    const auto stroke = enabled ? 0.9f : 0.3f;

    const auto bar =
        style == juce::Slider::LinearBarVertical
            ? juce::Rectangle<float> ((float) x, sliderPos, (float) width, (float) height - sliderPos)
            : juce::Rectangle<float> ((float) x, (float) y, sliderPos - (float) x, (float) height);

    if (bar.getWidth() > stroke * 1.1f)
        drawFlatBarShape (g, bar.getX(), bar.getY(), bar.getWidth(), bar.getHeight(), 0.0f, baseColour,
                          stroke);
}

void ZelxLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                             float sliderPos, float minSliderPos, float maxSliderPos,
                                             juce::Slider::SliderStyle style, juce::Slider& slider)
{
    juce::Logger::writeToLog ("sliderPos:" + juce::String ((double) sliderPos)
                              + "min:" + juce::String ((double) minSliderPos)
                              + "max:" + juce::String ((double) maxSliderPos));

    LookAndFeel_V2::drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos,
                                           style, slider);
}

void ZelxLookAndFeel::drawFlatBarShape (juce::Graphics& g, float x, float y, float w, float h,
                                        float maxCornerSize, juce::Colour baseColour, float strokeWidth)
{
    if (h <= strokeWidth * 1.1f)
        return;

    const auto cornerSize = juce::jmin (maxCornerSize, w * 0.5f, h * 0.5f);

    juce::Path outline;
    outline.addRoundedRectangle (x, y, w, h, cornerSize, cornerSize, false, false, false, false);

    g.setColour (baseColour);
    g.fillPath (outline);

    g.setColour (juce::Colour (0x80000000));
    g.strokePath (outline, juce::PathStrokeType (strokeWidth, juce::PathStrokeType::mitered,
                                                 juce::PathStrokeType::butt));
}
