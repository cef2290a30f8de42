// Writes a 24-hour measurement's CSV log and report in the loggers' format at
// the line rate the processor writes, then loads them into the report
// viewer's history drawer and times the load, one zoom step and one scroll,
// each with the redraw of the drawer, and measures how much the process's
// resident memory grows with the load. Each figure is given as a share of
// its goal: load under 2 s, a zoom or scroll redraw under 16 ms, memory
// growth below the CSV file's own size.

#include "LoudnessHistory.h"
#include "OVRAJuceLogDrawer.h"
#include "OVRAMeasurementLogger.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

namespace
{
// Lines per second of a real measurement: the processor at 48 kHz in blocks
// of 512 frames, paced like a device, ran for three minutes with its logger,
// and its log was counted. A value counts as new for every block until the
// loudness thread's next pass, so each is logged about five times.
constexpr double momentaryLinesPerSecond = 46.87;
constexpr double shortTermLinesPerSecond = 7.64;
constexpr int daySeconds = 24 * 60 * 60;

constexpr double loadGoalMs = 2000.0, redrawGoalMs = 16.0;

using Clock = std::chrono::steady_clock;

double msSince (Clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
}

/** Resident and peak resident memory of the process, in bytes. */
juce::int64 residentBytes (const char* field)
{
    std::ifstream status ("/proc/self/status");
    std::string line;

    while (std::getline (status, line))
        if (line.rfind (field, 0) == 0)
            return std::stoll (line.substr (std::strlen (field))) * 1024;

    return 0;
}

/** The log of a day from noon to noon, so the date changes at midnight:
    momentary and short-term lines at their real rates, a short-term line
    before every sixth momentary one or so, values drifting like programme. */
void writeLog (const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out (file, 1 << 20);
    out << "Type, Value, Date, Time\r\n";

    const juce::Time start (2026, 11, 6, 12, 0, 0, 0, true);
    double momentaryDue = 0.0, shortTermDue = 0.0;

    for (int second = 0; second < daySeconds; ++second)
    {
        const auto time = start + juce::RelativeTime::seconds (second);
        const auto stamp = ", " + time.toString (true, false, false, false) + ", "
                           + time.toString (false, true, true, true) + "\r\n";
        momentaryDue += momentaryLinesPerSecond;
        shortTermDue += shortTermLinesPerSecond;

        for (int i = 0; momentaryDue >= 1.0; ++i, momentaryDue -= 1.0)
        {
            const double phase = second + i / momentaryLinesPerSecond;

            if (shortTermDue >= 1.0)
            {
                const double shortTerm = -23.0 + 4.0 * std::sin (phase / 300.0);
                out << "ShortTermLoudness, " << juce::String (std::round (shortTerm * 10.0) / 10.0, 1)
                    << stamp;
                shortTermDue -= 1.0;
            }

            const double momentary = -23.0 + 4.0 * std::sin (phase / 300.0) + 6.0 * std::sin (phase * 1.3);
            out << "MomentaryLoudness, " << juce::String (std::round (momentary * 10.0) / 10.0, 1) << stamp;
        }
    }
}

/** Writes the report with a measurement's own logger, and returns the CSV
    log that the logger names beside it. */
juce::File writeReport (const juce::File& file)
{
    OVRAMeasurementLogger logger;
    logger.startReport (file);
    logger.xmlLogger.setElementAttribute ("MeasurementInterval", "StartTime", "value", "6 Dec 2026 12:00:00");
    logger.xmlLogger.setElementAttribute ("MeasurementInterval", "StopTime", "value", "7 Dec 2026 11:59:59");
    logger.setIntegratedLoudness (-23.0f, "LUFS");
    return logger.csvLogger.getLogFile();
}
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI framework;

    const auto folder =
        juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("zelx_report_bench");
    folder.createDirectory();
    const auto report = folder.getChildFile ("ZELX51Log_6_Dec_2026_12_0_0.xml");
    const auto log = writeReport (report);

    std::printf ("writing a day's log at %.1f lines a second ...\n",
                 momentaryLinesPerSecond + shortTermLinesPerSecond);
    writeLog (log);
    const auto logBytes = log.getSize();

    OVRAJuceLogDrawer drawer (juce::Colours::black, juce::Colours::white, juce::Colour (0xff5ad5fd),
                              juce::Colour (0xff90ee90), juce::Colours::red, juce::Colours::white, -10.0f);
    drawer.setSize (OVRAJuceLogDrawer::displayWidth, OVRAJuceLogDrawer::displayHeight);
    juce::Image image (juce::Image::ARGB, drawer.getWidth(), drawer.getHeight(), true);
    auto redraw = [&] {
        juce::Graphics g (image);
        drawer.paintEntireComponent (g, false);
    };

    // The viewer's load: the report, then the history from the log beside it.
    const auto residentBefore = residentBytes ("VmRSS:");
    const auto peakBefore = residentBytes ("VmHWM:");
    const auto loadStart = Clock::now();
    const bool reportRead = LoudnessHistory::parseReport (report) != nullptr;
    drawer.loadFromCsv (log);
    redraw();
    const double loadMs = msSince (loadStart);
    const auto residentGrowth = residentBytes ("VmRSS:") - residentBefore;
    const auto peakGrowth = residentBytes ("VmHWM:") - juce::jmax (peakBefore, residentBefore);

    // Zoom steps one level at a time to the finest and back, scrolls at the finest.
    int zoomSteps = 0;
    const auto zoomStart = Clock::now();

    for (bool in : { true, false })
        for (int level = 0; level < drawer.getNumZoomLevels() - 1; ++level, ++zoomSteps)
        {
            drawer.keyPressed (
                juce::KeyPress (in ? juce::KeyPress::numberPadAdd : juce::KeyPress::numberPadSubtract));
            redraw();
        }

    const double zoomMs = msSince (zoomStart) / juce::jmax (1, zoomSteps);

    drawer.keyPressed (juce::KeyPress (juce::KeyPress::numberPadAdd));
    constexpr int scrolls = 200;
    const auto scrollStart = Clock::now();

    for (int i = 0; i < scrolls; ++i)
    {
        drawer.keyPressed (juce::KeyPress (juce::KeyPress::rightKey));
        redraw();
    }

    const double scrollMs = msSince (scrollStart) / scrolls;

    std::printf ("24-hour log: %.1f MB, %d samples in %d zoom levels; report read: %s\n",
                 (double) logBytes / 1.0e6, drawer.getNumSamples(), drawer.getNumZoomLevels(),
                 reportRead ? "yes" : "NO");
    std::printf ("  load and first draw   %8.1f ms   %5.1f %% of the 2 s goal\n", loadMs,
                 loadMs / loadGoalMs * 100.0);
    std::printf ("  zoom step and redraw  %8.2f ms   %5.1f %% of the 16 ms goal\n", zoomMs,
                 zoomMs / redrawGoalMs * 100.0);
    std::printf ("  scroll and redraw     %8.2f ms   %5.1f %% of the 16 ms goal\n", scrollMs,
                 scrollMs / redrawGoalMs * 100.0);
    std::printf ("  resident growth       %8.1f MB   %5.1f %% of the log's size (peak %.1f MB, %.1f %%)\n",
                 (double) residentGrowth / 1.0e6, (double) residentGrowth / (double) logBytes * 100.0,
                 (double) peakGrowth / 1.0e6, (double) peakGrowth / (double) logBytes * 100.0);

    folder.deleteRecursively();
    return reportRead && drawer.getNumSamples() > 0 ? 0 : 1;
}
