#include "PlaybackMarker.h"

#include <gtest/gtest.h>

namespace
{
bool drawnAt (juce::Component& marker, int x, int y)
{
    return marker.createComponentSnapshot (marker.getLocalBounds(), true, 1.0f).getPixelAt (x, y).getAlpha()
           > 0;
}

void mouse (juce::Component& window, juce::Point<float> position, bool down)
{
    window.getPeer()->handleMouseEvent (
        juce::MouseInputSource::InputSourceType::mouse, position,
        down ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier) : juce::ModifierKeys(),
        juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
        juce::Time::currentTimeMillis());
}
} // namespace

TEST (PlaybackMarker, DrawsItsLineWhereItsModeSaysAndIsDraggedOnlyAlongItsParent)
{
    PlaybackMarker marker ("E", juce::Colour (0xffd3d3d3));
    marker.setBounds (0, 0, 20, 310);

    marker.lineMode = PlaybackMarker::rightEdge;
    EXPECT_TRUE (drawnAt (marker, 19, 100));
    EXPECT_FALSE (drawnAt (marker, 18, 100));
    EXPECT_TRUE (drawnAt (marker, 19, 18 + 290));
    EXPECT_FALSE (drawnAt (marker, 19, 18 + 291));
    marker.lineMode = PlaybackMarker::centre;
    EXPECT_TRUE (drawnAt (marker, 10, 100));
    marker.lineMode = 0;
    EXPECT_FALSE (drawnAt (marker, 10, 100));
    EXPECT_TRUE (drawnAt (marker, 10, 5));

    juce::Component parent;
    parent.setSize (940, 310);
    parent.addAndMakeVisible (marker);
    marker.setTopLeftPosition (100, 0);
    parent.addToDesktop (0);
    parent.setVisible (true);

    mouse (parent, { 110.0f, 100.0f }, false);
    mouse (parent, { 110.0f, 100.0f }, true);
    mouse (parent, { 2000.0f, 400.0f }, true);
    EXPECT_EQ (marker.getPosition(), juce::Point<int> (920, 0));
    mouse (parent, { -500.0f, -50.0f }, true);
    EXPECT_EQ (marker.getPosition(), juce::Point<int> (0, 0));
    mouse (parent, { -500.0f, -50.0f }, false);
}
