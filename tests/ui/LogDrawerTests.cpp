#include "OVRAJuceLogDrawer.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <set>

namespace
{
juce::String timeText (int seconds)
{
    return juce::String (seconds / 3600)
           + juce::String::formatted (":%02d:%02d", (seconds / 60) % 60, seconds % 60);
}

/** A CSV log in the logger's format: one momentary line per sample, a
    short-term line before every sixth one, the first short-term line only
    after the first ten samples. */
juce::File writeLog (const juce::File& file, int numSamples, std::function<float (int)> momentary,
                     std::function<float (int)> shortTerm, juce::String date = "6 Dec 2026")
{
    juce::MemoryOutputStream text;
    text << "Type, Value, Date, Time\r\n";

    for (int i = 0; i < numSamples; ++i)
    {
        const auto time = timeText (i % 86400);

        if (i >= 10 && i % 6 == 0)
            text << "ShortTermLoudness, " << juce::String (shortTerm (i), 1) << ", " << date << ", " << time
                 << "\r\n";

        text << "MomentaryLoudness, " << juce::String (momentary (i), 1) << ", " << date << ", " << time
             << "\r\n";
    }

    file.replaceWithData (text.getData(), text.getDataSize());
    return file;
}

struct Drawer : OVRAJuceLogDrawer
{
    Drawer()
        : OVRAJuceLogDrawer (juce::Colours::black, juce::Colours::white, juce::Colour (0xff5ad5fd),
                             juce::Colour (0xff90ee90), juce::Colours::red, juce::Colours::white, -10.0f)
    {
        setSize (displayWidth, displayHeight);
        addToDesktop (0);
        setVisible (true);
    }

    void moveMouseTo (int x, int y)
    {
        getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, { (float) x, (float) y },
                                     {}, juce::MouseInputSource::defaultPressure,
                                     juce::MouseInputSource::defaultOrientation,
                                     juce::Time::currentTimeMillis());
    }

    /** The sample shown in a plot column, from the time in its tooltip. */
    int sampleAt (int column) const
    {
        const auto time = tooltipTextFor (column).fromLastOccurrenceOf ("At Time: ", false, false);
        return LoudnessHistory::parseTimeOfDay (time);
    }

    void press (int keyCode) { keyPressed (juce::KeyPress (keyCode)); }
};

struct TemporaryFile
{
    juce::TemporaryFile file { ".csv" };
    const juce::File& get() const { return file.getFile(); }
};

/** The levels of the zoom pyramid as the stored rule builds them: the index
    of each point, 50 per sample in the finest level. */
std::vector<std::vector<int>> storedPyramid (int n)
{
    const float ratio = (float) n / 940.0f;
    std::vector<float> steps;

    for (float step = 0.02f;; step *= 8.0f)
    {
        steps.push_back (step);

        if (! (ratio > step))
            break;
    }

    steps.back() = ratio;
    std::vector<std::vector<int>> levels;

    for (auto step : steps)
    {
        const float count = (float) n / step;
        std::vector<int> points;

        for (int j = 0; j < count; ++j)
            points.push_back (juce::jlimit (0, n - 1, (int) ((float) j * step)));

        levels.push_back (std::move (points));
    }

    return levels;
}

void expectViewOf (const Drawer& drawer, const std::vector<std::vector<int>>& pyramid)
{
    const auto& level = pyramid[(size_t) drawer.getZoomLevel()];
    ASSERT_EQ (drawer.getNumZoomLevelPoints (drawer.getZoomLevel()), (juce::int64) level.size());

    for (int c = 0; c < OVRAJuceLogDrawer::plotWidth; ++c)
        ASSERT_EQ (drawer.sampleAt (c), level[(size_t) (drawer.getViewOffset() + c)])
            << "level " << drawer.getZoomLevel() << " column " << c;
}
} // namespace

//==============================================================================
TEST (LogDrawer, EveryViewShowsThePointsOfTheStoredPyramidWithoutStoringIt)
{
    TemporaryFile log;
    const int n = 36000;
    writeLog (
        log.get(), n, [] (int i) { return -30.0f + (float) (i % 100) * 0.1f; }, [] (int) { return -25.0f; });

    // Heap in use before and after the load (a sanitizer's own heap shows no growth).
    Drawer drawer;
    const auto heapBefore = mallinfo2().uordblks;
    drawer.loadFromCsv (log.get());
    const auto heapGrowth = (juce::int64) mallinfo2().uordblks - (juce::int64) heapBefore;
    EXPECT_LT (heapGrowth, log.get().getSize());

    ASSERT_EQ (drawer.getNumZoomLevels(), 5);
    const juce::int64 expectedPoints[] { 1800000, 225000, 28125, 3516, 941 };

    for (int k = 0; k < 5; ++k)
        EXPECT_EQ (drawer.getNumZoomLevelPoints (k), expectedPoints[k]);

    const auto pyramid = storedPyramid (n);
    expectViewOf (drawer, pyramid);

    // The minus key on the whole record does nothing; each plus key goes one
    // level finer around the middle, down to the finest, then does nothing.
    drawer.press (juce::KeyPress::numberPadSubtract);
    EXPECT_EQ (drawer.getZoomLevel(), 4);

    for (int level = 3; level >= 0; --level)
    {
        const auto centre = drawer.getViewOffset() + (OVRAJuceLogDrawer::plotWidth - 1) / 2;
        const float factor =
            (float) pyramid[(size_t) level].size() / (float) pyramid[(size_t) level + 1].size();
        drawer.press (juce::KeyPress::numberPadAdd);
        ASSERT_EQ (drawer.getZoomLevel(), level);
        EXPECT_EQ (drawer.getViewOffset(), (juce::int64) ((float) (centre) *factor) - 470);
        expectViewOf (drawer, pyramid);
        drawer.press (juce::KeyPress::rightKey);
        expectViewOf (drawer, pyramid);
    }

    drawer.press (juce::KeyPress::numberPadAdd);
    EXPECT_EQ (drawer.getZoomLevel(), 0);

    // Scrolling stops at either end of a level.
    drawer.press (juce::KeyPress::numberPadSubtract);
    drawer.press (juce::KeyPress::numberPadSubtract);
    drawer.press (juce::KeyPress::numberPadSubtract);
    ASSERT_EQ (drawer.getZoomLevel(), 3);

    for (int i = 0; i < 300; ++i)
        drawer.press (juce::KeyPress::rightKey);

    EXPECT_EQ (drawer.getViewOffset(), 3516 - 940);
    expectViewOf (drawer, pyramid);

    for (int i = 0; i < 300; ++i)
        drawer.press (juce::KeyPress::leftKey);

    EXPECT_EQ (drawer.getViewOffset(), 0);
}

TEST (LogDrawer, SelectionStatisticsAgreeWithTheEngineHistogramAndIgnoreThePlaceholders)
{
    TemporaryFile log;
    const int n = 3000;
    juce::Random random (7);
    std::vector<float> momentary, shortTerm;

    for (int i = 0; i < n; ++i)
        momentary.push_back (i % 97 == 0 ? -75.0f : (float) (-350 + random.nextInt (200)) / 10.0f);

    for (int i = 0; i < n; ++i)
        shortTerm.push_back ((float) (-300 + random.nextInt (150)) / 10.0f);

    writeLog (
        log.get(), n, [&] (int i) { return momentary[(size_t) i]; },
        [&] (int i) { return shortTerm[(size_t) i]; });

    Drawer drawer;
    int changes = 0;
    struct Counter : juce::ChangeListener
    {
        int& count;
        explicit Counter (int& c) : count (c) {}
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    } counter (changes);
    drawer.addChangeListener (&counter);
    drawer.loadFromCsv (log.get());

    // The short-term value of each sample as the log gives it: -71.0 before
    // the first short-term line, which the statistics must not count.
    auto expectStatistics = [&] (int first, int last) {
        OVRALoudnessHistogram integrated, range;
        float maxMomentary = -70.0f;

        for (int i = first; i <= last; ++i)
        {
            integrated.add (momentary[(size_t) i]);
            range.add (i < 12 ? -71.0f : shortTerm[(size_t) (i - i % 6)]);
            maxMomentary = juce::jmax (maxMomentary, momentary[(size_t) i]);
        }

        float lra = 0.0f, low = 0.0f, high = 0.0f;
        range.getLoudnessRange (lra, low, high);
        const auto& readout = drawer.selectionReadout;
        EXPECT_EQ (readout.integratedLoudness, juce::String (integrated.getIntegratedLoudness(), 1));
        EXPECT_EQ (readout.loudnessRange, juce::String (lra, 1));
        EXPECT_EQ (readout.maxMomentary, juce::String (maxMomentary, 1));
        EXPECT_EQ (readout.startTime, "6 Dec 2026 " + timeText (first));
        EXPECT_EQ (readout.endTime, "6 Dec 2026 " + timeText (last));
    };

    EXPECT_EQ (drawer.getSelectionStart(), 0);
    EXPECT_EQ (drawer.getSelectionEnd(), n - 1);
    expectStatistics (0, n - 1);
    EXPECT_EQ (drawer.selectionReadout.totalTime, "49 mins 59 secs");

    // A stretch marked with the keys at the crosshair.
    drawer.moveMouseTo (OVRAJuceLogDrawer::plotLeft + 200, 100);
    drawer.keyPressed (juce::KeyPress ('s'));
    drawer.moveMouseTo (OVRAJuceLogDrawer::plotLeft + 600, 100);
    drawer.keyPressed (juce::KeyPress ('e'));
    EXPECT_NEAR (drawer.getSelectionStart(), 200 * n / 920, 4);
    EXPECT_NEAR (drawer.getSelectionEnd(), 600 * n / 920, 4);
    expectStatistics (drawer.getSelectionStart(), drawer.getSelectionEnd());

    // Laying the drawer out again keeps the selection.
    const auto selection = std::make_pair (drawer.getSelectionStart(), drawer.getSelectionEnd());
    drawer.setSize (OVRAJuceLogDrawer::displayWidth + 10, OVRAJuceLogDrawer::displayHeight);
    EXPECT_EQ (std::make_pair (drawer.getSelectionStart(), drawer.getSelectionEnd()), selection);

    // Neither marker passes the other.
    drawer.getStartMarker().setTopLeftPosition (800, 0);
    EXPECT_EQ (drawer.getStartMarker().getX(), drawer.getEndMarker().getX());
    EXPECT_EQ (drawer.getSelectionStart(), drawer.getSelectionEnd());
    EXPECT_EQ (drawer.selectionReadout.totalTime, "0");
    drawer.getEndMarker().setTopLeftPosition (10, 0);
    EXPECT_EQ (drawer.getEndMarker().getX(), drawer.getStartMarker().getX());

    // Zoomed in at the far left, the markers lie beyond the view, outside the layer.
    drawer.mouseDoubleClick (juce::MouseEvent (
        juce::Desktop::getInstance().getMainMouseSource(), { 31.0f, 100.0f }, {}, 0.0f, 0.0f, 0.0f, 0.0f,
        0.0f, &drawer, &drawer, juce::Time(), { 31.0f, 100.0f }, juce::Time(), 2, false));
    drawer.press (juce::KeyPress::numberPadAdd);
    ASSERT_LT (drawer.getZoomLevel(), drawer.getNumZoomLevels() - 2);
    EXPECT_GT (drawer.getStartMarker().getX(), OVRAJuceLogDrawer::plotWidth);
    EXPECT_EQ (drawer.getSelectionStart(), drawer.getSelectionEnd());

    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_GT (changes, 0);
    drawer.removeChangeListener (&counter);
}

TEST (LogDrawer, AStretchOverMidnightLastsTwentySecondsAndALogOfNoShortTermShowsNoMaximum)
{
    TemporaryFile log;
    juce::MemoryOutputStream text;
    text << "Type, Value, Date, Time\r\n"
         << "MomentaryLoudness, -20.0, 6 Dec 2026, 23:59:50\r\n"
         << "MomentaryLoudness, -21.0, 7 Dec 2026, 0:00:10\r\n";
    log.get().replaceWithData (text.getData(), text.getDataSize());

    Drawer drawer;
    drawer.loadFromCsv (log.get());

    const auto& readout = drawer.selectionReadout;
    EXPECT_EQ (readout.totalTime, "20 secs");
    EXPECT_EQ (readout.maxMomentary, "-20.0");
    EXPECT_EQ (readout.maxShortTerm, "-");
    EXPECT_EQ (readout.maxShortTermTime, "6 Dec 2026 23:59:50");
    EXPECT_EQ (readout.loudnessRange, "0.0");
    EXPECT_EQ (drawer.tooltipTextFor (900),
               "Momentary Value: -21.0\nShort Term Value: -70.0\nAt Time: 0:00:10");

    // A log with its header only shows nothing and counts nothing.
    log.get().replaceWithText ("Type, Value, Date, Time\r\n");
    drawer.loadFromCsv (log.get());
    EXPECT_FALSE (drawer.isHistoryShown());
    EXPECT_EQ (readout.integratedLoudness, "-");
    EXPECT_EQ (readout.maxMomentary, "-");
    drawer.press (juce::KeyPress::numberPadAdd);
    drawer.press (juce::KeyPress::rightKey);
    EXPECT_FALSE (drawer.isHistoryShown());
}

TEST (LogDrawer, AReportHistoryHasShortTermValuesOnlyAndNoMomentaryIsRead)
{
    juce::XmlElement dynamic ("DynamicMeasurements");

    for (int i = 0; i < 100; ++i)
    {
        auto* value = dynamic.createNewChildElement ("ShortTermStampedValue");
        value->setAttribute ("value", i == 50 ? -18.0 : -24.0);
        value->setAttribute ("time", timeText (i));
    }

    // A log's history first, whose times must not pass for the report's.
    TemporaryFile log;
    const auto steady = [] (int) { return -20.0f; };
    writeLog (log.get(), 20, steady, steady);
    Drawer drawer;
    drawer.showShortTerm = false;
    drawer.loadFromCsv (log.get());
    ASSERT_EQ (drawer.selectionReadout.totalTime, "19 secs");
    drawer.loadFromXml (dynamic);

    ASSERT_TRUE (drawer.isHistoryShown());
    const auto& readout = drawer.selectionReadout;
    EXPECT_EQ (readout.integratedLoudness, "-");
    EXPECT_EQ (readout.maxMomentary, "-");
    EXPECT_EQ (readout.maxShortTerm, "-18.0");
    EXPECT_EQ (readout.maxShortTermTime, "");
    EXPECT_EQ (readout.totalTime, "");
    EXPECT_TRUE (drawer.tooltipTextFor (0).startsWith ("Momentary Value: -70.0\nShort Term Value: -24.0"));
    drawer.createComponentSnapshot (drawer.getLocalBounds());

    drawer.loadFromXml (juce::XmlElement ("IntegratedMeasurements"));
    EXPECT_FALSE (drawer.isHistoryShown());
}

TEST (LogDrawer, DrawsTheScalesMarksAtTheirHeightsAndMarksColumnsOverTheTarget)
{
    TemporaryFile log;
    writeLog (
        log.get(), 940, [] (int i) { return i < 470 ? -30.0f : -8.0f; }, [] (int) { return -8.0f; });

    Drawer drawer;
    EXPECT_EQ (drawer.levelToY (-41.0f), 0);
    EXPECT_EQ (drawer.levelToY (-23.0f), 171);
    EXPECT_EQ (drawer.levelToY (-14.0f), 310);
    EXPECT_EQ (drawer.levelToY (-10.0f), 388);

    drawer.setScaleMode (false);
    EXPECT_EQ (drawer.levelToY (-59.0f), 0);
    EXPECT_EQ (drawer.levelToY (-23.0f), 171);
    EXPECT_EQ (drawer.levelToY (-10.0f), 267);
    EXPECT_EQ (drawer.levelToY (-5.0f), 310);

    drawer.showShortTerm = false;
    drawer.loadFromCsv (log.get());
    const auto image = drawer.createComponentSnapshot (drawer.getLocalBounds());

    // Over the target the whole column turns red; below it stays dark at the top.
    const auto over = image.getPixelAt (OVRAJuceLogDrawer::plotLeft + 800, OVRAJuceLogDrawer::plotTop + 5);
    const auto under = image.getPixelAt (OVRAJuceLogDrawer::plotLeft + 100, OVRAJuceLogDrawer::plotTop + 5);
    EXPECT_GT (over.getRed(), 80);
    EXPECT_LT (under.getRed(), 30);
}

TEST (LogDrawer, NoTwoTimeLabelsReadTheSameAndALongRecordKeepsOneEveryEleventhOfThePlot)
{
    // Samples one second apart: 8 of them give about 0.7 s between the usual label places.
    const struct
    {
        int samples, labels;
    } cases[] { { 1, 1 }, { 8, 6 }, { 2000, 12 } };

    for (const auto& c : cases)
    {
        TemporaryFile log;
        writeLog (
            log.get(), c.samples, [] (int) { return -23.0f; }, [] (int) { return -23.0f; });
        Drawer drawer;
        drawer.loadFromCsv (log.get());
        const auto image = drawer.createComponentSnapshot (drawer.getLocalBounds());

        // The pictures of the labels below the plot, at the places a label may take: as many
        // different ones as are drawn.
        std::set<juce::String> pictures;
        int drawn = 0;
        for (int x = OVRAJuceLogDrawer::plotLeft; x < OVRAJuceLogDrawer::plotRight; x += 85)
        {
            juce::String picture;
            for (int y = OVRAJuceLogDrawer::plotBottom + 4; y < OVRAJuceLogDrawer::plotBottom + 26; ++y)
                for (int i = x - 30; i < x + 30; ++i)
                    picture << (image.getPixelAt (i, y).getBrightness() > 0.5f ? "#" : ".");
            if (picture.containsChar ('#'))
            {
                ++drawn;
                pictures.insert (picture);
            }
        }

        EXPECT_EQ (drawn, c.labels) << c.samples << " samples";
        EXPECT_EQ ((int) pictures.size(), drawn) << c.samples << " samples: a label repeats";
    }
}

TEST (LogDrawer, AMouseMoveRepaintsTheCrosshairsOldAndNewStripsOnly)
{
    TemporaryFile log;
    const auto wave = [] (int i) { return -30.0f + 12.0f * std::sin ((float) i * 0.01f); };
    writeLog (log.get(), 3000, wave, wave);
    Drawer drawer;
    drawer.loadFromCsv (log.get());

    // Collects what the drawer marks dirty, and keeps it from the window.
    struct DirtyAreas : juce::CachedComponentImage
    {
        explicit DirtyAreas (juce::Rectangle<int> b) : bounds (b) {}
        void paint (juce::Graphics&) override {}
        bool invalidateAll() override { return areas.add (bounds), false; }
        bool invalidate (const juce::Rectangle<int>& area) override { return areas.add (area), false; }
        void releaseResources() override {}
        const juce::Rectangle<int> bounds;
        juce::RectangleList<int> areas;
    };
    auto* dirty = new DirtyAreas (drawer.getLocalBounds());
    drawer.setCachedComponentImage (dirty);

    auto before = drawer.createComponentSnapshot (drawer.getLocalBounds());
    for (const auto position : { juce::Point<int> (300, 100), juce::Point<int> (301, 100),
                                 juce::Point<int> (700, 250), juce::Point<int> (5, 5) })
    {
        SCOPED_TRACE (position.toString());
        dirty->areas.clear();
        drawer.moveMouseTo (position.x, position.y);
        const auto after = drawer.createComponentSnapshot (drawer.getLocalBounds());

        // Every pixel that changed is repainted...
        int changed = 0;
        for (int y = 0; y < after.getHeight(); ++y)
            for (int x = 0; x < after.getWidth(); ++x)
                if (after.getPixelAt (x, y) != before.getPixelAt (x, y)
                    && ! dirty->areas.containsPoint ({ x, y }))
                    ++changed;
        EXPECT_EQ (changed, 0);

        // ...and little else: a line across the plot and one down it, where
        // the crosshair was and where it is.
        juce::int64 dirtyPixels = 0;
        for (const auto& area : dirty->areas)
            dirtyPixels += area.getWidth() * area.getHeight();
        EXPECT_GT (dirtyPixels, 0);
        EXPECT_LT (dirtyPixels, 4 * (OVRAJuceLogDrawer::plotWidth + 20) * 5);
        before = after;
    }
}
