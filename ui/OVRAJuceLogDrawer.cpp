#include "OVRAJuceLogDrawer.h"

namespace
{
// Shown for the momentary value of a history that has none (a report's
// "DynamicMeasurements"); it lies below the floor, so nothing counts it.
constexpr float noValue = LoudnessHistory::noShortTermYet;

const float narrowMarks[] { -41.0f, -35.0f, -30.0f, -28.0f, -26.0f, -23.0f, -20.0f, -18.0f, -16.0f, -14.0f };
const float wideMarks[] { -59.0f, -50.0f, -40.0f, -30.0f, -23.0f, -16.0f, -10.0f, -5.0f };

constexpr int markerWidth = 20;
constexpr int scrollColumns = 10;

juce::String valueText (float value)
{
    constexpr auto floor = SelectionStatistics::floorLevel;
    return juce::String (value < floor ? (double) floor : (double) value, 1);
}
} // namespace

//==============================================================================
OVRAJuceLogDrawer::OVRAJuceLogDrawer (juce::Colour background, juce::Colour frame, juce::Colour shortTerm,
                                      juce::Colour momentary, juce::Colour overTarget, juce::Colour timeLabel,
                                      float initialTargetLevel)
    : backgroundColour (background)
    , frameColour (frame)
    , shortTermColour (shortTerm)
    , momentaryColour (momentary)
    , overTargetColour (overTarget)
    , timeLabelColour (timeLabel)
    , gridImage (juce::Image::RGB, displayWidth, displayHeight, true)
{
    setName ("ReportDisplay");
    startMarker.lineMode = PlaybackMarker::leftEdge;
    endMarker.lineMode = PlaybackMarker::rightEdge;
    setScaleMode (true);
    setTargetLevel (initialTargetLevel);

    markerLayer.addAndMakeVisible (startMarker);
    markerLayer.addAndMakeVisible (endMarker);
    addAndMakeVisible (markerLayer);
    markerLayer.setInterceptsMouseClicks (false, true);
    startMarker.addComponentListener (this);
    endMarker.addComponentListener (this);
    setWantsKeyboardFocus (true);
}

OVRAJuceLogDrawer::~OVRAJuceLogDrawer()
{
    startMarker.removeComponentListener (this);
    endMarker.removeComponentListener (this);
}

//==============================================================================
void OVRAJuceLogDrawer::loadFromCsv (const juce::File& csvFile)
{
    replaceHistory (LoudnessHistory::fromCsvFile (csvFile));
}

void OVRAJuceLogDrawer::loadFromXml (const juce::XmlElement& element)
{
    replaceHistory (LoudnessHistory::fromDynamicMeasurements (element));
}

void OVRAJuceLogDrawer::loadHistory (LoudnessHistory&& newHistory)
{
    replaceHistory (std::move (newHistory));
}

void OVRAJuceLogDrawer::clear() { replaceHistory ({}); }

void OVRAJuceLogDrawer::replaceHistory (LoudnessHistory&& newHistory)
{
    clearView();
    history = std::move (newHistory);

    // Nothing of the history before may stay: its tooltip and crosshair, and
    // without a new history its markers' places.
    setTooltip ({});
    cursorColumn = -1;
    tooltipColumn = -1;

    repaint();
    buildZoomLevels();

    if (! history.isEmpty())
    {
        setView (0, getNumZoomLevels() - 1);
    }
    else
    {
        followMarkers = false;
        startMarker.setTopLeftPosition (0, 0);
        endMarker.setTopLeftPosition (0, 0);
        followMarkers = true;
    }
}

void OVRAJuceLogDrawer::setGatingEnabled (bool enabled)
{
    if (enabled == isGatingEnabled())
        return;

    statistics.setGatingEnabled (enabled);

    // The statistics shown were made with the other setting.
    if (! history.isEmpty())
        updateSelectionStatistics (selectionStart, selectionEnd);
}

void OVRAJuceLogDrawer::setScaleMode (bool narrow)
{
    narrowScale = narrow;

    buildGridImage();
    targetY = levelToY (targetLevel);
    repaint();

    if (isHistoryShown())
        setView (0, getNumZoomLevels() - 1);
}

void OVRAJuceLogDrawer::setTargetLevel (float level)
{
    targetLevel = level;
    targetY = levelToY (level);
    repaint();

    if (isHistoryShown())
        setView (0, getNumZoomLevels() - 1);
}

int OVRAJuceLogDrawer::levelToY (float level) const
{
    const auto row = narrowScale ? MeterScales::ebuNarrowRow : MeterScales::ebuWideRow;
    const float y = scales.positionOnRow (level, row) * (float) plotHeight + 0.5f;

    // Far outside the plot any height will do, but the conversion must stay defined.
    return (int) juce::jlimit (-1.0e6f, 1.0e6f, y);
}

//==============================================================================
void OVRAJuceLogDrawer::buildGridImage()
{
    gridImage.clear (gridImage.getBounds(), backgroundColour);
    juce::Graphics g (gridImage);

    g.setColour (frameColour);
    g.drawRect (plotLeft - 2, plotTop - 2, plotWidth + 4, plotHeight + 4, 2);

    auto drawMark = [&] (float mark) {
        const auto y = (float) (plotBottom - levelToY (mark));
        g.setOpacity (1.0f);
        g.setFont (14.0f);
        g.drawText (juce::String (juce::roundToInt (mark)), 2, (int) y - 4, margin - 4, 8,
                    juce::Justification::centred, true);
        g.drawLine ((float) plotLeft - 2.0f, y, (float) plotLeft, y);
        g.setOpacity (0.25f);
        g.drawLine ((float) plotLeft, y, (float) plotRight, y);
    };

    if (narrowScale)
        for (auto mark : narrowMarks)
            drawMark (mark);
    else
        for (auto mark : wideMarks)
            drawMark (mark);

    repaint();
}

//==============================================================================
void OVRAJuceLogDrawer::buildZoomLevels()
{
    const int n = history.size();
    zoom = HistoryZoomLevels (n, plotWidth);

    updateSelectionStatistics (0, n - 1);
    selectionStart = 0;
    selectionEnd = n - 1;
}

void OVRAJuceLogDrawer::clearView()
{
    viewShortTerm.clear();
    viewMomentary.clear();
    viewShortTermY.clear();
    viewMomentaryY.clear();
    viewSampleIndex.clear();
}

void OVRAJuceLogDrawer::setView (juce::int64 offset, int level)
{
    clearView();

    if (history.isEmpty() || zoom.size() == 0)
        return;

    level = juce::jlimit (0, getNumZoomLevels() - 1, level);
    offset = juce::jmax ((juce::int64) 0, juce::jmin (offset, zoom.getNumPoints (level) - plotWidth));

    placeMarkers (offset, level);

    const auto& shortTerm = history.getShortTermValues();
    const auto& momentary = history.getMomentaryValues();

    viewShortTerm.reserve (plotWidth);
    viewMomentary.reserve (plotWidth);
    viewShortTermY.reserve (plotWidth);
    viewMomentaryY.reserve (plotWidth);
    viewSampleIndex.reserve (plotWidth);

    for (int column = 0; column < plotWidth; ++column)
    {
        const int index = zoom.sampleIndexOf (level, offset + column);
        const float s = shortTerm[(size_t) index];
        const float m = momentary.empty() ? noValue : momentary[(size_t) index];

        viewShortTerm.push_back (s);
        viewMomentary.push_back (m);
        viewShortTermY.push_back (juce::jlimit (0, plotHeight, levelToY (s)));
        viewMomentaryY.push_back (juce::jlimit (0, plotHeight, levelToY (m)));
        viewSampleIndex.push_back (index);
    }

    viewOffset = offset;
    viewLastColumn = offset + plotWidth - 1;
    zoomLevel = level;
    timeLabelSpacing = chooseTimeLabelSpacing();
    repaint();
}

int OVRAJuceLogDrawer::chooseTimeLabelSpacing() const
{
    // A label every eleventh of the plot, or every second or third such place
    // where a short view would give two labels the same second to read.
    const int every = plotWidth / 11;

    for (int spacing = every; spacing < plotWidth; spacing += every)
    {
        // Times only grow along the plot: two labels alike would be neighbours.
        bool distinct = true;
        juce::String previous;

        for (int c = 0; c < plotWidth && distinct; c += spacing)
        {
            const auto label = history.getTimeText (viewSampleIndex[(size_t) c]);
            distinct = label != previous;
            previous = label;
        }

        if (distinct)
            return spacing;
    }

    return plotWidth; // a view within one second: its first column's label only
}

void OVRAJuceLogDrawer::placeMarkers (juce::int64 offset, int level)
{
    const float step = zoom.getStep (level);
    const int n = history.size();

    viewFirstIndex =
        (int) juce::jlimit ((juce::int64) 0, (juce::int64) n - 1, (juce::int64) ((float) offset * step));
    const auto span = (juce::int64) ((float) plotWidth * step);
    viewLastIndex = viewFirstIndex + (int) (span > n ? n : (span > 0 ? span : 0));

    followMarkers = false;

    // A view of a single sample has no width to divide by.
    const double pixelsPerSample =
        (plotWidth - markerWidth) / (double) juce::jmax (1, viewLastIndex - viewFirstIndex);
    auto xFor = [&] (int index) {
        return juce::roundToInt (juce::jlimit (-1.0e9, 1.0e9, pixelsPerSample * (index - viewFirstIndex)));
    };
    startMarker.setTopLeftPosition (xFor (selectionStart), 0);
    endMarker.setTopLeftPosition (xFor (selectionEnd), 0);

    followMarkers = true;
}

void OVRAJuceLogDrawer::zoomIn (int column) { zoomTo (zoomLevel - 1, column); }

void OVRAJuceLogDrawer::zoomOut (int column) { zoomTo (zoomLevel + 1, column); }

void OVRAJuceLogDrawer::zoomTo (int level, int column)
{
    if (! juce::isPositiveAndBelow (level, getNumZoomLevels()))
        return;

    const float factor = (float) zoom.getNumPoints (level) / (float) zoom.getNumPoints (zoomLevel);
    const auto centre = column != 0 ? viewOffset + column : (viewOffset + viewLastColumn) / 2;
    setView ((juce::int64) ((float) centre * factor) - plotWidth / 2, level);
}

//==============================================================================
void OVRAJuceLogDrawer::updateSelectionStatistics (int start, int end)
{
    const auto result = statistics.compute (history, start, end);

    // A figure over no values would be made of nothing.
    const auto measure = [] (std::optional<float> value) {
        return value ? juce::String ((double) *value, 1) : juce::String ("-");
    };
    const auto maximum = [] (float value) {
        return value > SelectionStatistics::floorLevel ? juce::String ((double) value, 1)
                                                       : juce::String ("-");
    };
    const auto stamp = [this] (int i) { return history.getDateText (i) + " " + history.getTimeText (i); };

    selectionReadout = {};
    selectionReadout.integratedLoudness = measure (result.integratedLoudness);
    selectionReadout.loudnessRange = measure (result.loudnessRange);
    selectionReadout.maxShortTerm = maximum (result.maxShortTerm);
    selectionReadout.maxMomentary = maximum (result.maxMomentary);

    if (result.durationSeconds)
    {
        selectionReadout.totalTime =
            juce::RelativeTime ((double) *result.durationSeconds).getDescription ("0");
        selectionReadout.maxShortTermTime = stamp (result.maxShortTermIndex);
        selectionReadout.maxMomentaryTime = stamp (result.maxMomentaryIndex);
        selectionReadout.startTime = stamp (result.first);
        selectionReadout.endTime = stamp (result.last);
    }

    sendChangeMessage();
    repaint();
}

//==============================================================================
void OVRAJuceLogDrawer::paint (juce::Graphics& g)
{
    g.drawImage (gridImage, 0, 0, displayWidth, displayHeight, 0, 0, displayWidth, displayHeight);

    juce::Path shortTermPath, momentaryPath;
    const auto area = showShortTerm ? shortTermColour.brighter (0.35f) : momentaryColour.brighter (0.9f);

    for (int c = 0; c < (int) viewShortTermY.size(); ++c)
    {
        const auto x = (float) (plotLeft + c);
        const int ys = viewShortTermY[(size_t) c];
        const int ym = viewMomentaryY[(size_t) c];
        const int selected = showShortTerm ? ys : ym;

        if (c == 0)
        {
            shortTermPath.startNewSubPath (x, (float) (plotBottom - ys));
            momentaryPath.startNewSubPath (x, (float) (plotBottom - ym));
        }
        else
        {
            shortTermPath.lineTo (x, (float) (plotBottom - ys));
            momentaryPath.lineTo (x, (float) (plotBottom - ym));
        }

        g.setColour (area.withAlpha (0.25f));
        g.drawVerticalLine ((int) x, (float) (plotBottom - selected + 2), (float) plotBottom);

        if (selected > targetY)
        {
            g.setColour (overTargetColour.withAlpha (0.4f));
            g.drawVerticalLine ((int) x, (float) plotTop, (float) plotBottom);
        }

        if (c % timeLabelSpacing == 0)
        {
            g.setColour (timeLabelColour);
            g.setFont (14.0f);
            g.drawText (history.getTimeText (viewSampleIndex[(size_t) c]), (int) x - 30, plotBottom, 60, 26,
                        juce::Justification::centred, false);
        }
    }

    const juce::PathStrokeType stroke (2.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt);
    const bool momentaryShown = history.hasMomentary();

    if (showShortTerm)
    {
        if (momentaryShown)
        {
            g.setColour (momentaryColour.withAlpha (0.5f));
            g.strokePath (momentaryPath, stroke);
        }

        g.setColour (shortTermColour);
        g.strokePath (shortTermPath, stroke);
    }
    else
    {
        g.setColour (shortTermColour.withAlpha (0.5f));
        g.strokePath (shortTermPath, stroke);

        if (momentaryShown)
        {
            g.setColour (momentaryColour);
            g.strokePath (momentaryPath, stroke);
        }
    }

    if (isCrosshairShown())
    {
        const auto [x, y] = crosshairCentre();
        g.setColour (frameColour.withAlpha (0.4f));
        g.drawLine ((float) plotLeft, (float) y, (float) plotRight, (float) y);
        g.drawLine ((float) x, (float) plotTop, (float) x, (float) plotBottom);
    }

    if (zoomRectActive)
    {
        g.setColour (frameColour.withAlpha (0.4f));
        // A rectangle dragged up or to the left has a negative size.
        const juce::Point<int> corner (zoomRectX, zoomRectY);
        g.drawRect (juce::Rectangle<int> (corner, corner + juce::Point<int> (zoomRectWidth, zoomRectHeight)),
                    1);
    }
}

//==============================================================================
juce::String OVRAJuceLogDrawer::tooltipTextFor (int column) const
{
    if (! juce::isPositiveAndBelow (column, (int) viewShortTerm.size()))
        return {};

    return "Momentary Value: " + valueText (viewMomentary[(size_t) column])
           + "\nShort Term Value: " + valueText (viewShortTerm[(size_t) column])
           + "\nAt Time: " + history.getTimeText (viewSampleIndex[(size_t) column]);
}

bool OVRAJuceLogDrawer::isInsidePlot (juce::Point<int> p) const
{
    return p.x > plotLeft && p.x < plotRight && p.y > plotTop && p.y < plotBottom && isHistoryShown();
}

bool OVRAJuceLogDrawer::isCrosshairShown() const noexcept
{
    return juce::isPositiveAndBelow (cursorColumn, (int) viewShortTermY.size());
}

juce::Point<int> OVRAJuceLogDrawer::crosshairCentre() const noexcept
{
    const auto& heights = showShortTerm ? viewShortTermY : viewMomentaryY;
    return { plotLeft + cursorColumn, plotBottom - heights[(size_t) cursorColumn] };
}

void OVRAJuceLogDrawer::repaintCrosshair()
{
    if (! isCrosshairShown())
        return;

    // Each line is one pixel thick on a whole coordinate, so anti-aliasing
    // spreads it over two rows or columns; one more on each side is margin.
    const auto [x, y] = crosshairCentre();
    repaint (plotLeft - 1, y - 2, plotWidth + 2, 4);
    repaint (x - 2, plotTop - 1, 4, plotHeight + 2);
}

void OVRAJuceLogDrawer::moveCrosshair (int column)
{
    repaintCrosshair();
    cursorColumn = column;
    setTooltip (tooltipTextFor (column));
    repaintCrosshair();
}

void OVRAJuceLogDrawer::mouseMove (const juce::MouseEvent& event)
{
    const auto position = event.getPosition();
    tooltipColumn = isInsidePlot (position) ? position.x - plotLeft : -1;
    moveCrosshair (tooltipColumn);
}

// The tooltip's column stays for the keys that scroll under a resting mouse.
void OVRAJuceLogDrawer::mouseExit (const juce::MouseEvent&) { moveCrosshair (-1); }

void OVRAJuceLogDrawer::mouseDrag (const juce::MouseEvent& event)
{
    if (! isInsidePlot (event.getPosition()))
        return;

    const int dx = juce::roundToInt (event.getDistanceFromDragStartX());
    const int dy = juce::roundToInt (event.getDistanceFromDragStartY());

    if (event.mods.isCommandDown())
    {
        zoomRectActive = true;
        zoomRectX = juce::roundToInt (event.mouseDownPosition.x);
        zoomRectY = juce::roundToInt (event.mouseDownPosition.y);
        zoomRectWidth = dx;
        zoomRectHeight = dy;
        cursorColumn = -1;
        repaint();
    }
    else
    {
        setView (viewOffset + dx, zoomLevel);
    }
}

void OVRAJuceLogDrawer::mouseUp (const juce::MouseEvent& event)
{
    if (zoomRectActive && isHistoryShown())
    {
        zoomRectActive = false;
        zoomIn ((zoomRectWidth + 2 * zoomRectX) / 2 - plotLeft);
        repaint();
    }
    else if (event.mods.isAltDown() && isHistoryShown())
    {
        setView (0, getNumZoomLevels() - 1);
    }
}

void OVRAJuceLogDrawer::mouseDoubleClick (const juce::MouseEvent& event)
{
    if (isInsidePlot (event.getPosition()))
        zoomIn (event.getPosition().x - plotLeft);
}

void OVRAJuceLogDrawer::mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel)
{
    if (! isInsidePlot (event.getPosition()))
        return;

    const int column = event.getPosition().x - plotLeft;

    if (wheel.deltaY > 0.0f)
        zoomIn (column);
    else if (wheel.deltaY < 0.0f)
        zoomOut (column);
}

bool OVRAJuceLogDrawer::keyPressed (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();
    const bool plain = ! mods.isShiftDown() && ! mods.isCtrlDown() && ! mods.isAltDown();
    const auto description = key.getTextDescription();
    const bool shown = isHistoryShown();

    if (shown
        && ((key.getKeyCode() == juce::KeyPress::numberPadAdd && plain) || description == "shift + +"
            || description == "="))
        zoomIn (0);

    if (shown
        && ((key.getKeyCode() == juce::KeyPress::numberPadSubtract && plain) || description == "shift + _"
            || description == "-"))
        zoomOut (0);

    auto scroll = [&] (int columns) {
        setView (viewOffset + columns, zoomLevel);

        if (tooltipColumn != -1)
            setTooltip (tooltipTextFor (tooltipColumn));
    };

    if (shown && plain && key.getKeyCode() == juce::KeyPress::leftKey)
        scroll (-scrollColumns);

    if (shown && plain && key.getKeyCode() == juce::KeyPress::rightKey)
        scroll (scrollColumns);

    if ((description == "s" || description == "S") && cursorColumn >= 0)
        moveMarkerToCursor (startMarker);

    if ((description == "e" || description == "E") && cursorColumn >= 0)
        moveMarkerToCursor (endMarker);

    return true;
}

void OVRAJuceLogDrawer::moveMarkerToCursor (PlaybackMarker& marker)
{
    marker.setCentrePosition (cursorColumn + markerWidth / 2, (displayHeight - 2 * margin) / 2);
}

//==============================================================================
void OVRAJuceLogDrawer::resized()
{
    // Laying the markers out again must not move the selection with them.
    followMarkers = false;
    markerLayer.setBounds (plotLeft, plotTop, plotWidth, displayHeight - 2 * margin);
    startMarker.setBounds (0, 0, markerWidth, displayHeight - 2 * margin);
    endMarker.setBounds (0, 0, markerWidth, displayHeight - 2 * margin);
    followMarkers = true;

    if (isHistoryShown())
        placeMarkers (viewOffset, zoomLevel);
}

void OVRAJuceLogDrawer::componentMovedOrResized (juce::Component& component, bool wasMoved, bool)
{
    if (! wasMoved || ! followMarkers)
        return;

    auto indexAt = [this] (int x) {
        return juce::roundToInt ((double) (viewLastIndex - viewFirstIndex) / (plotWidth - markerWidth) * x
                                 + viewFirstIndex);
    };

    if (&component == &startMarker)
    {
        // Held back at the end marker; the move calls this again.
        if (startMarker.getX() > endMarker.getX())
        {
            startMarker.setTopLeftPosition (endMarker.getX(), 0);
            return;
        }

        selectionStart = indexAt (startMarker.getX());
        updateSelectionStatistics (selectionStart, selectionEnd);
    }
    else if (&component == &endMarker)
    {
        if (endMarker.getX() < startMarker.getX())
        {
            endMarker.setTopLeftPosition (startMarker.getX(), 0);
            return;
        }

        selectionEnd = indexAt (endMarker.getX());
        updateSelectionStatistics (selectionStart, selectionEnd);
    }
}
