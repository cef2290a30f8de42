#include "PlaybackMarker.h"

PlaybackMarker::PlaybackMarker (const juce::String& caption, juce::Colour markerColour)
    : text (caption)
    , colour (markerColour)
{
}

PlaybackMarker::~PlaybackMarker() = default;

//==============================================================================
void PlaybackMarker::mouseEnter (const juce::MouseEvent&)
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
    isHovered = true;
    repaint();
}

void PlaybackMarker::mouseExit (const juce::MouseEvent&)
{
    setMouseCursor (juce::MouseCursor::ParentCursor);
    isHovered = false;
    repaint();
}

void PlaybackMarker::mouseDown (const juce::MouseEvent& event)
{
    setMouseCursor (juce::MouseCursor::DraggingHandCursor);
    dragger.startDraggingComponent (this, event);
}

void PlaybackMarker::mouseDrag (const juce::MouseEvent& event)
{
    dragger.dragComponent (this, event, &constrainer);
}

void PlaybackMarker::mouseUp (const juce::MouseEvent&)
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

void PlaybackMarker::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();
    const int headerHeight = (int) ((float) h * 0.0590909f);
    const auto shade = colour.withAlpha (isHovered ? 0.9f : 0.7f);

    g.setColour (shade);
    g.fillRoundedRectangle (0.0f, 0.0f, (float) w, (float) headerHeight, 2.0f);

    g.setColour (juce::Colours::black);
    g.drawFittedText (text, 0, 1, w, headerHeight - 2, juce::Justification::centred, 1, 0.7f);

    int lineX = 0;

    switch (lineMode)
    {
        case centre:
            lineX = w / 2;
            break;
        case leftEdge:
            lineX = 0;
            break;
        case rightEdge:
            lineX = w - 1;
            break;
        default:
            return;
    }

    g.setColour (shade);
    g.fillRect (lineX, headerHeight, 1, (int) ((float) h * 0.9409091f));
}

void PlaybackMarker::resized()
{
    // Minimum on-screen amounts equal to the marker's own size keep all of it
    // inside the parent while dragged.
    constrainer.setMinimumOnscreenAmounts (getHeight(), getWidth(), getHeight(), getWidth());
}
