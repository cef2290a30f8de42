#pragma once

#include "HistoryZoomLevels.h"
#include "LoudnessHistory.h"
#include "MeterScales.h"
#include "PlaybackMarker.h"
#include "SelectionReadout.h"
#include "SelectionStatistics.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

/** Draws the loudness history of one saved measurement: the momentary and the
    short-term loudness over time on an exponential scale, with zoom, scroll,
    a tooltip and crosshair, and two playback markers whose stretch gets its
    integrated loudness, loudness range, maxima and times.

    The history comes from the measurement's CSV log or from a report's
    "DynamicMeasurements" element. After every statistics update the drawer
    sends a change message; listeners read selectionReadout.

        OVRAJuceLogDrawer drawer { juce::Colours::black, juce::Colours::white, juce::Colour (0xff5ad5fd),
                                   juce::Colour (0xff90ee90), juce::Colours::red, juce::Colours::white, -10.0f
   }; drawer.addChangeListener (this); drawer.loadFromCsv (logFile);

    The zoom levels (HistoryZoomLevels) show 0.02, 0.16, 1.28, ... samples per
    plot column up to the whole record; the stretch's figures come from
    SelectionStatistics. Message thread only.
*/
class OVRAJuceLogDrawer : public juce::Component,
                          public juce::SettableTooltipClient,
                          public juce::ComponentListener,
                          public juce::ChangeBroadcaster
{
public:
    OVRAJuceLogDrawer (juce::Colour backgroundColour, juce::Colour frameColour, juce::Colour shortTermColour,
                       juce::Colour momentaryColour, juce::Colour overTargetColour,
                       juce::Colour timeLabelColour, float initialTargetLevel);
    ~OVRAJuceLogDrawer() override;

    //==============================================================================
    /** Replaces the history with the CSV log's; a missing file gives none. */
    void loadFromCsv (const juce::File& csvFile);

    /** Replaces the history with the short-term values of a "DynamicMeasurements"
        element; any other element gives none. */
    void loadFromXml (const juce::XmlElement& element);

    /** Replaces the history with one read elsewhere (off the message thread). */
    void loadHistory (LoudnessHistory&& newHistory);

    /** Shows no history. */
    void clear();

    /** The meters' EBU narrow or wide scale; shows the whole record again. */
    void setScaleMode (bool narrow);

    /** Columns whose selected series lies above this level are marked; shows
        the whole record again. */
    void setTargetLevel (float level);

    /** The series the over-target marks and the crosshair follow: true
        short-term, false momentary. Repaint after changing it. */
    bool showShortTerm = true;

    /** The read-out of the last statistics update. */
    SelectionReadout selectionReadout;

    //==============================================================================
    static constexpr int displayWidth = 1000, displayHeight = 370;
    static constexpr int plotWidth = displayWidth - 60, plotHeight = displayHeight - 60;
    static constexpr int margin = 30;
    static constexpr int plotLeft = margin, plotRight = plotWidth + margin;
    static constexpr int plotTop = margin, plotBottom = plotHeight + margin;

    /** Height above the plot's bottom of a level on the current scale; not clamped. */
    int levelToY (float level) const;

    /** The state a user sees, for the viewer's tests and our own. */
    bool isHistoryShown() const noexcept { return ! viewShortTermY.empty(); }
    int getNumSamples() const noexcept { return history.size(); }
    int getNumZoomLevels() const noexcept { return zoom.size(); }
    int getZoomLevel() const noexcept { return zoomLevel; }
    juce::int64 getNumZoomLevelPoints (int level) const noexcept { return zoom.getNumPoints (level); }
    juce::int64 getViewOffset() const noexcept { return viewOffset; }
    int getSelectionStart() const noexcept { return selectionStart; }
    int getSelectionEnd() const noexcept { return selectionEnd; }
    PlaybackMarker& getStartMarker() noexcept { return startMarker; }
    PlaybackMarker& getEndMarker() noexcept { return endMarker; }

    /** The tooltip text of a plot column of the current view. */
    juce::String tooltipTextFor (int column) const;

    //==============================================================================
    void mouseMove (const juce::MouseEvent&) override;
    void mouseExit (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override;
    void resized() override;

    void componentMovedOrResized (juce::Component&, bool wasMoved, bool wasResized) override;

    /** Gating of the marked stretch's statistics; the editor keeps it with the
        live measurement's. A change computes the statistics again. */
    void setGatingEnabled (bool enabled);
    bool isGatingEnabled() const noexcept { return statistics.isGatingEnabled(); }

private:
    //==============================================================================
    void replaceHistory (LoudnessHistory&& newHistory);
    void buildZoomLevels();
    void setView (juce::int64 offset, int level);
    void placeMarkers (juce::int64 offset, int level);
    /** Columns between two time labels of the current view. */
    int chooseTimeLabelSpacing() const;
    void zoomIn (int column);
    void zoomOut (int column);
    void zoomTo (int level, int column);
    void buildGridImage();
    void updateSelectionStatistics (int start, int end);
    void clearView();
    bool isInsidePlot (juce::Point<int> position) const;
    bool isCrosshairShown() const noexcept;
    /** Where the crosshair's lines cross: the cursor's column at the followed series' height. */
    juce::Point<int> crosshairCentre() const noexcept;
    /** Repaints the strips under the crosshair's two lines, where it is shown. */
    void repaintCrosshair();
    /** Shows the crosshair and its tooltip at a plot column; -1 hides both. */
    void moveCrosshair (int column);
    void moveMarkerToCursor (PlaybackMarker& marker);

    //==============================================================================
    const juce::Colour backgroundColour, frameColour, shortTermColour, momentaryColour, overTargetColour,
        timeLabelColour;
    juce::Image gridImage;

    bool narrowScale = true;
    float targetLevel = 0.0f;
    int targetY = 0;

    int cursorColumn = -1; // of the crosshair; -1 while it is hidden
    bool zoomRectActive = false;
    int zoomRectX = 0, zoomRectY = 0, zoomRectWidth = 0, zoomRectHeight = 0;
    int tooltipColumn = -1;

    LoudnessHistory history;

    // What each plot column shows; plotWidth entries, or none without a history.
    std::vector<float> viewShortTerm, viewMomentary;
    std::vector<int> viewShortTermY, viewMomentaryY;
    std::vector<int> viewSampleIndex;

    juce::int64 viewOffset = 0, viewLastColumn = 0;
    int zoomLevel = 0;
    int timeLabelSpacing = plotWidth / 11;

    const MeterScales scales;

    HistoryZoomLevels zoom;

    SelectionStatistics statistics;

    PlaybackMarker startMarker { "S", juce::Colour (0xffd3d3d3) };
    PlaybackMarker endMarker { "E", juce::Colour (0xffd3d3d3) };
    juce::Component markerLayer;

    int viewFirstIndex = 0, viewLastIndex = 0;
    int selectionStart = 0, selectionEnd = 0;
    bool followMarkers = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAJuceLogDrawer)
};
