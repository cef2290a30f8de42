#pragma once

#include "LoudnessHistory.h"
#include "NewestJobRunner.h"

#include <array>
#include <optional>

/** Reads a saved report and the CSV log beside it off the message thread, and
    hands both over together on the message thread, so that a summary and its
    history always come from one reading. The report asked for last wins: the
    reading of one asked for before is never handed over, however late it
    comes, and a report on a folder that stops answering holds up neither the
    window nor a report asked for after it.

        ReportReader reader ([this] (ReportReader::Reading&& reading) { show (reading); });
        reader.read (reportFile);
        reader.readAgainIfChanged();   // when the view shows again

    Message thread only; each reading runs on a thread of its own.
*/
class ReportReader
{
public:
    /** How a report and its log looked on disk; another when either is
        written, replaced, removed or given other permissions. */
    struct Stamp
    {
        static Stamp of (const juce::File& report);

        bool operator== (const Stamp& other) const noexcept { return fields == other.fields; }

        std::array<juce::int64, 14> fields {};
    };

    struct Reading
    {
        enum class Problem
        {
            none,
            gone,
            cannotOpen,
            notAReport
        };

        juce::File report;

        /** The report's root element; nullptr with a problem. */
        std::unique_ptr<juce::XmlElement> root;
        Problem problem = Problem::none;

        /** The system's reason when the report cannot be opened. */
        juce::String reason;

        /** The report's own history, or else its CSV log's; empty without either. */
        LoudnessHistory history;

        Stamp stamp;
    };

    /** Reads a report and its log as they are now; any thread. */
    static Reading readFromDisk (const juce::File& report);

    /** Where readings come from; runs on the reading threads. */
    using Source = std::function<Reading (const juce::File&)>;

    /** onRead gets each reading handed over. */
    explicit ReportReader (std::function<void (Reading&&)> onRead, Source source = readFromDisk);

    //==============================================================================
    /** Reads a report, changed or not. */
    void read (const juce::File& report);

    /** Reads the report handed over last once more when its files changed
        since: on the next look after a reading now under way, if any. */
    void readAgainIfChanged();

    /** The report asked for last has not been handed over yet. */
    bool isReading() const noexcept { return readings.isBusy(); }

    const juce::File& getReportAsked() const noexcept { return asked; }

private:
    void handOver (std::optional<Reading>&&);

    const std::function<void (Reading&&)> onRead;
    const Source source;
    juce::File asked, lastRead;
    Stamp lastStamp;
    bool lookAgain = false;

    NewestJobRunner<std::optional<Reading>> readings {
        "ZELX file previewer", [this] (std::optional<Reading>&& reading) { handOver (std::move (reading)); }
    };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReportReader)
};
