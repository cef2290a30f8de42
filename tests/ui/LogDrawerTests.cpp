#include "OVRAJuceLogDrawer.h"

#include <gtest/gtest.h>

#include <malloc.h>

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
