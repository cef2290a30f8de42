#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

/** The loudness history of one saved measurement: one sample per momentary
    value of its CSV log, with the short-term value logged last before it
    (-71.0 before the first), its date and its time of day.

    Reading keeps only what the lines carry, in arrays: a day's log of
    millions of lines takes a fraction of the file's size. A line that is not
    whole (cut by a crash, wrong number of fields, a value or time that is no
    number) is skipped, and so is what follows the last line break.

        auto history = LoudnessHistory::fromCsvFile (report.withFileExtension (".csv"));
        if (auto xml = LoudnessHistory::parseReport (reportFile))
            if (auto* dynamic = xml->getChildByName ("DynamicMeasurements"))
                history = LoudnessHistory::fromDynamicMeasurements (*dynamic);

    A history from a report's "DynamicMeasurements" element has short-term
    values and time texts only: no momentary values and no dates.
*/
class LoudnessHistory
{
public:
    /** The short-term value of samples before the first short-term line. */
    static constexpr float noShortTermYet = -71.0f;

    /** No loudness the program writes lies anywhere near; a value beyond is no reading. */
    static constexpr float maxMagnitude = 1000.0f;

    /** Reports of ours are a few kilobytes; anything far larger is not one,
        and parsing it would take many times its size. */
    static constexpr juce::int64 maxReportFileSize = 16 * 1024 * 1024;

    LoudnessHistory() = default;

    //==============================================================================
    /** The CSV log's history; empty when the file is missing, unreadable or no
        regular file (a named pipe is never opened). */
    static LoudnessHistory fromCsvFile (const juce::File& csvFile);

    /** The same from the log's bytes. */
    static LoudnessHistory fromCsvText (const char* text, size_t numBytes);

    /** The "ShortTermStampedValue" children of a "DynamicMeasurements" element;
        empty for any other element. */
    static LoudnessHistory fromDynamicMeasurements (const juce::XmlElement& element);

    /** A report's root element, or nullptr when the file is too large, not XML,
        nested too deeply, not a report ("ZEL5.1Log") or no regular file. */
    static std::unique_ptr<juce::XmlElement> parseReport (const juce::File& reportFile);
    static std::unique_ptr<juce::XmlElement> parseReport (const juce::String& reportText);

    //==============================================================================
    int size() const noexcept { return (int) shortTerm.size(); }
    bool isEmpty() const noexcept { return shortTerm.empty(); }
    bool hasMomentary() const noexcept { return ! momentary.empty(); }
    bool hasDates() const noexcept { return ! dateRuns.empty(); }

    const std::vector<float>& getShortTermValues() const noexcept { return shortTerm; }
    const std::vector<float>& getMomentaryValues() const noexcept { return momentary; }

    /** Time text of a sample, as in 9:05:03. */
    juce::String getTimeText (int index) const;

    /** Date text of a sample, as in 6 Dec 2026; empty without dates. */
    juce::String getDateText (int index) const;

    /** Seconds since midnight of a sample's time; -1 when its text is no time. */
    int getSecondsOfDay (int index) const;

    /** Reads "h:mm:ss" the way the log writes it; -1 for anything else. */
    static int parseTimeOfDay (juce::StringRef text);

private:
    class CsvParser;

    std::vector<float> shortTerm, momentary;

    // A CSV history keeps each time as seconds of the day, a report's history
    // its texts as given.
    std::vector<int> secondsOfDay;
    juce::StringArray timeTexts;

    // The dates change at most once a day: one entry per run of equal dates.
    struct DateRun
    {
        int firstIndex;
        juce::String text;
    };
    std::vector<DateRun> dateRuns;
};
