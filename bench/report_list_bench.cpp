// Fills a folder with 200, 2,000 and 10,000 reports, each with its CSV log
// beside it as the loggers leave them, and times the report viewer's list
// from a refresh until it is final (every report a row of the tree), with
// the longest stretch the message thread could not get to its queue
// meanwhile. The peer is the framework's own directory list and file tree on
// the same folder, measured in the same run; it is given up after 30 s, at
// the first return of the message loop (at 10,000 reports its stream of
// change messages keeps the loop from returning for minutes, until it is final).
// Goals: final within 0.5 s at 2,000 reports and 2 s at 10,000; the message
// thread never kept more than 50 ms.

#include "OVRAReport.h"

#include <chrono>
#include <cstdio>
#include <functional>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr double peerLimitMs = 30000.0, blockGoalMs = 50.0;

double msBetween (Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli> (end - start).count();
}

/** A timer at 1 ms that keeps the longest gap between two of its calls: the
    longest the message thread was busy or blocked elsewhere (plus the
    timer's own lateness, a millisecond or two). */
class Heartbeat : private juce::Timer
{
public:
    Heartbeat() { startTimer (1); }
    ~Heartbeat() override { stopTimer(); }

    double longestGapMs = 0.0;

private:
    void timerCallback() override
    {
        const auto now = Clock::now();
        longestGapMs = juce::jmax (longestGapMs, msBetween (last, now));
        last = now;
    }

    Clock::time_point last = Clock::now();
};

struct Figures
{
    double finalMs = 0.0, longestBlockMs = 0.0;
    bool final = false;
};

/** Calls refresh and runs the message loop until isFinal, or the limit. */
Figures timeUntilFinal (const std::function<void()>& refresh, const std::function<bool()>& isFinal,
                        double limitMs)
{
    Figures figures;
    Heartbeat heartbeat;
    const auto start = Clock::now();
    refresh();
    const double refreshMs = msBetween (start, Clock::now());

    while (! (figures.final = isFinal()) && msBetween (start, Clock::now()) < limitMs)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);

    figures.finalMs = msBetween (start, Clock::now());
    figures.longestBlockMs = juce::jmax (heartbeat.longestGapMs, refreshMs);
    return figures;
}

/** Reports named as a measurement names them, one a minute. */
void fill (const juce::File& folder, int count)
{
    folder.deleteRecursively();
    folder.createDirectory();
    const juce::String report ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<ZEL5.1Log>\n"
                               "  <UserSelectedTitle value=\"ZEL51Log\"/>\n</ZEL5.1Log>\n");

    for (int i = 0; i < count; ++i)
    {
        const auto time = juce::Time (2026, 0, 1, 0, 0) + juce::RelativeTime::minutes (i);
        const auto name = "ZELX51Log_" + time.formatted ("%d_%b_%Y_%H_%M_%S");
        folder.getChildFile (name + ".xml").replaceWithText (report);
        folder.getChildFile (name + ".csv").replaceWithText ("Type, Value, Date, Time\n");
    }
}
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI framework;
    std::setvbuf (stdout, nullptr, _IOLBF, 0); // each size's line as soon as it is measured
    const auto folder =
        juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("zelx_report_list_bench");

    std::printf ("list final after a refresh, and the longest message-thread block, in ms\n");
    std::printf ("%8s  %22s  %22s  %10s\n", "reports", "viewer: final / block", "framework: final / block",
                 "final ratio");
    bool withinGoals = true;

    for (const int count : { 200, 2000, 10000 })
    {
        fill (folder, count);

        OVRAReport viewer (juce::Font (15.0f));
        viewer.directoryList.setDirectory (folder, true, true);
        juce::TreeView* tree = nullptr;

        for (auto* child : viewer.getChildren())
            if (auto* t = dynamic_cast<juce::TreeView*> (child))
                tree = t;

        // The list of the viewer's constructor, the home folder, out of the way first.
        timeUntilFinal ([] {}, [&] { return ! viewer.directoryList.isStillLoading(); }, peerLimitMs);
        const auto ours = timeUntilFinal (
            [&] { viewer.directoryList.refresh(); },
            [&] { return ! viewer.directoryList.isStillLoading() && tree->getNumRowsInTree() == count; },
            peerLimitMs);

        juce::TimeSliceThread thread ("framework's list");
        thread.startThread();
        juce::DirectoryContentsList list (viewer.reportFilter.get(), thread);
        juce::FileTreeComponent peerTree (list);
        const auto peer = timeUntilFinal (
            [&] { list.setDirectory (folder, true, true); },
            [&] { return ! list.isStillLoading() && peerTree.getNumRowsInTree() == count; }, peerLimitMs);

        const auto peerText = peer.final ? juce::String (peer.finalMs, 1)
                                         : "> " + juce::String (peerLimitMs / 1000.0, 0) + " s";
        std::printf ("%8d  %10.1f / %9.1f  %12s / %9.1f  %10.4f%s\n", count, ours.finalMs,
                     ours.longestBlockMs, peerText.toRawUTF8(), peer.longestBlockMs,
                     ours.finalMs / peer.finalMs, peer.final ? "" : " (at most)");

        const double goalMs = count <= 2000 ? 500.0 : 2000.0;
        withinGoals =
            withinGoals && ours.final && ours.finalMs <= goalMs && ours.longestBlockMs <= blockGoalMs;
    }

    std::printf ("goals (final 0.5 s at 2,000, 2 s at 10,000; block 50 ms): %s\n",
                 withinGoals ? "met" : "NOT MET");
    folder.deleteRecursively();
    return withinGoals ? 0 : 1;
}
