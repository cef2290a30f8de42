#include "NoticeBoxLookAndFeel.h"

namespace
{
constexpr int margin = 16, iconSize = 56;
constexpr float cornerSize = 4.0f;
} // namespace

int NoticeBoxLookAndFeel::getAlertBoxWindowFlags()
{
    // Also keeps the window from taking the keyboard as it is shown.
    return LookAndFeel_V4::getAlertBoxWindowFlags() | juce::ComponentPeer::windowIgnoresKeyPresses;
}

void NoticeBoxLookAndFeel::drawAlertBox (juce::Graphics& g, juce::AlertWindow& alert,
                                         const juce::Rectangle<int>&, juce::TextLayout& textLayout)
{
    g.setColour (alert.findColour (juce::AlertWindow::outlineColourId));
    g.drawRoundedRectangle (alert.getLocalBounds().toFloat(), cornerSize, 2.0f);
    g.setColour (alert.findColour (juce::AlertWindow::backgroundColourId));
    g.fillRoundedRectangle (alert.getLocalBounds().reduced (1).toFloat(), cornerSize);

    const auto icon =
        juce::Rectangle<float> ((float) margin, (float) margin, (float) iconSize, (float) iconSize);

    if (alert.getAlertType() == juce::MessageBoxIconType::WarningIcon)
    {
        juce::Path sign;
        sign.addTriangle (icon.getCentreX(), icon.getY(), icon.getRight(), icon.getBottom(), icon.getX(),
                          icon.getBottom());
        sign = sign.createPathWithRoundedCorners (5.0f);

        juce::GlyphArrangement mark;
        mark.addFittedText ({ iconSize * 0.6f, juce::Font::bold }, "!", icon.getX(),
                            icon.getY() + iconSize * 0.25f, icon.getWidth(), icon.getHeight() * 0.75f,
                            juce::Justification::centred, 1);
        mark.createPath (sign);
        sign.setUsingNonZeroWinding (false);

        g.setColour (juce::Colour (0x66ff2a00));
        g.fillPath (sign);
    }

    // The window laid the text out for its width less the framework's icon
    // space, which is wider than this icon and its gap.
    const auto textLeft = icon.getRight() + (float) margin;
    g.setColour (alert.findColour (juce::AlertWindow::textColourId));
    textLayout.draw (g, { textLeft, icon.getY() + 4.0f, (float) alert.getWidth() - textLeft - (float) margin,
                          textLayout.getHeight() });
}
