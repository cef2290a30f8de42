#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A draggable marker over a plot: a caption box at the top and a one-pixel
    line below it. It knows nothing of the plot; the owner listens to its
    moves (juce::ComponentListener) and turns its x into a position.

        PlaybackMarker start { "S", juce::Colour (0xffd3d3d3) };
        start.lineMode = PlaybackMarker::leftEdge;
        start.addComponentListener (this);
*/
class PlaybackMarker : public juce::Component
{
public:
    /** Where the line is drawn. */
    enum LineMode
    {
        centre = 1,
        leftEdge = 2,
        rightEdge = 3
    };

    PlaybackMarker (const juce::String& caption, juce::Colour colour);
    ~PlaybackMarker() override;

    //==============================================================================
    void mouseEnter (const juce::MouseEvent&) override;
    void mouseExit (const juce::MouseEvent&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void resized() override;

    /** One of LineMode; any other value draws no line. */
    int lineMode = centre;

private:
    juce::ComponentDragger dragger;
    juce::ComponentBoundsConstrainer constrainer;
    bool isHovered = false;
    juce::String text;
    juce::Colour colour;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PlaybackMarker)
};
