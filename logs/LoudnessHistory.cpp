#include "LoudnessHistory.h"

#include "BoundedXmlDocument.h"
#include "RegularFileInputStream.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace
{
// A log line is some fifty characters; a longer one is not one of ours.
constexpr size_t maxLineLength = 1024;

std::string_view trimmed (std::string_view text)
{
    while (! text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix (1);

    while (! text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix (1);

    return text;
}

bool isDigit (char c) noexcept { return c >= '0' && c <= '9'; }

// "h:mm:ss" or "hh:mm:ss" on the 24-hour clock, as the log writes it.
int timeOfDay (std::string_view text)
{
    const auto hourDigits = text.size() == 7 ? 1u : (text.size() == 8 ? 2u : 0u);

    if (hourDigits == 0 || text[hourDigits] != ':' || text[hourDigits + 3] != ':')
        return -1;

    int fields[3] = {};
    size_t position = 0;

    for (int f = 0; f < 3; ++f)
    {
        const auto digits = f == 0 ? hourDigits : 2u;

        for (size_t i = 0; i < digits; ++i, ++position)
        {
            if (! isDigit (text[position]))
                return -1;

            fields[f] = fields[f] * 10 + (text[position] - '0');
        }

        ++position; // the colon
    }

    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59)
        return -1;

    return (fields[0] * 60 + fields[1]) * 60 + fields[2];
}

bool readValue (std::string_view text, float& value)
{
    const auto result = std::from_chars (text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && std::isfinite (value)
           && std::abs (value) <= LoudnessHistory::maxMagnitude;
}

bool isPrintable (std::string_view text)
{
    for (auto c : text)
        if (c < ' ' || c > '~')
            return false;

    return true;
}
} // namespace

//==============================================================================
/** Reads the log's lines as they come, a block of bytes at a time; what
    follows the last line break never counts. */
class LoudnessHistory::CsvParser
{
public:
    explicit CsvParser (LoudnessHistory& target) : history (target) {}

    void feed (const char* data, size_t numBytes)
    {
        const char* position = data;
        const char* const end = data + numBytes;

        while (position < end)
        {
            const char* lineEnd = position;

            while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r')
                ++lineEnd;

            if (lineEnd == end)
            {
                keepUnfinished (position, end);
                return;
            }

            if (pending.empty() && ! overlong)
            {
                parseLine ({ position, (size_t) (lineEnd - position) });
            }
            else
            {
                keepUnfinished (position, lineEnd);

                if (! overlong)
                    parseLine (pending);

                pending.clear();
                overlong = false;
            }

            position = lineEnd + 1;
        }
    }

private:
    void keepUnfinished (const char* begin, const char* end)
    {
        if (overlong)
            return;

        pending.append (begin, end);

        if (pending.size() > maxLineLength)
        {
            pending.clear();
            overlong = true;
        }
    }

    // Type, value, date and time, separated by commas; a line that is not
    // whole in every field is skipped.
    void parseLine (std::string_view line)
    {
        std::string_view fields[4];
        size_t numFields = 0;

        for (;;)
        {
            const auto comma = line.find (',');

            if (numFields == 4)
                return;

            fields[numFields++] = trimmed (line.substr (0, comma));

            if (comma == std::string_view::npos)
                break;

            line.remove_prefix (comma + 1);
        }

        if (numFields != 4)
            return;

        const bool isMomentary = fields[0].find ("MomentaryLoudness") != std::string_view::npos;

        if (! isMomentary && fields[0].find ("ShortTermLoudness") == std::string_view::npos)
            return;

        float value = 0.0f;
        const int seconds = timeOfDay (fields[3]);

        if (! readValue (fields[1], value) || seconds < 0 || fields[2].empty() || ! isPrintable (fields[2]))
            return;

        if (! isMomentary)
        {
            currentShortTerm = value;
            return;
        }

        if (history.dateRuns.empty() || fields[2] != lastDate)
        {
            lastDate.assign (fields[2]);
            history.dateRuns.push_back ({ history.size(), juce::String (lastDate.data(), lastDate.size()) });
        }

        history.momentary.push_back (value);
        history.shortTerm.push_back (currentShortTerm);
        history.secondsOfDay.push_back (seconds);
    }

    LoudnessHistory& history;
    float currentShortTerm = noShortTermYet;
    std::string pending, lastDate;
    bool overlong = false;
};

//==============================================================================
LoudnessHistory LoudnessHistory::fromCsvFile (const juce::File& csvFile)
{
    LoudnessHistory history;
    RegularFileInputStream stream (csvFile);

    if (! stream.openedOk())
        return history;

    // The shortest whole line is some thirty bytes: reserving for that many
    // costs address space only, the pages never written stay unused. Beyond
    // twice a day's samples the arrays grow as they need.
    constexpr juce::int64 maxReserved = 8 * 1024 * 1024;
    const auto expectedSamples =
        (size_t) juce::jlimit ((juce::int64) 0, maxReserved, stream.getTotalLength() / 30);
    history.momentary.reserve (expectedSamples);
    history.shortTerm.reserve (expectedSamples);
    history.secondsOfDay.reserve (expectedSamples);

    CsvParser parser (history);
    juce::HeapBlock<char> block (1 << 20);

    for (;;)
    {
        const int numRead = stream.read (block.get(), 1 << 20);

        if (numRead <= 0)
            break;

        parser.feed (block.get(), (size_t) numRead);
    }

    return history;
}

LoudnessHistory LoudnessHistory::fromCsvText (const char* text, size_t numBytes)
{
    LoudnessHistory history;
    CsvParser parser (history);
    parser.feed (text, numBytes);
    return history;
}

LoudnessHistory LoudnessHistory::fromDynamicMeasurements (const juce::XmlElement& element)
{
    LoudnessHistory history;

    if (! element.getTagName().equalsIgnoreCase ("DynamicMeasurements"))
        return history;

    for (auto* child : element.getChildIterator())
    {
        if (! child->getTagName().equalsIgnoreCase ("ShortTermStampedValue"))
            continue;

        const auto value = (float) child->getDoubleAttribute ("value");

        // Not a reading; drawn or counted it would have no place.
        if (! std::isfinite (value) || std::abs (value) > maxMagnitude)
            continue;

        history.shortTerm.push_back (value);
        history.timeTexts.add (child->getStringAttribute ("time"));
    }

    return history;
}

std::unique_ptr<juce::XmlElement> LoudnessHistory::parseReport (const juce::File& reportFile)
{
    // The size is checked on what is read, not on what the folder said a moment
    // earlier, so a report that grows in between is still refused.
    RegularFileInputStream in (reportFile);

    if (! in.openedOk())
        return {};

    juce::MemoryBlock bytes;

    if (in.readIntoMemoryBlock (bytes, (ssize_t) maxReportFileSize + 1) > (size_t) maxReportFileSize)
        return {};

    if (! juce::CharPointer_UTF8::isValidString (static_cast<const char*> (bytes.getData()), (int) bytes.getSize()))
        return {};

    return parseReport (juce::String::createStringFromData (bytes.getData(), (int) bytes.getSize()));
}

std::unique_ptr<juce::XmlElement> LoudnessHistory::parseReport (const juce::String& reportText)
{
    auto xml = BoundedXmlDocument::parse (reportText);

    if (xml == nullptr || ! xml->hasTagName ("ZEL5.1Log"))
        return {};

    return xml;
}

//==============================================================================
juce::String LoudnessHistory::getTimeText (int index) const
{
    if (! timeTexts.isEmpty())
        return timeTexts[index];

    if (! juce::isPositiveAndBelow (index, (int) secondsOfDay.size()))
        return {};

    const int seconds = secondsOfDay[(size_t) index];
    juce::String text;
    text << seconds / 3600 << ((seconds / 60) % 60 < 10 ? ":0" : ":") << (seconds / 60) % 60
         << (seconds % 60 < 10 ? ":0" : ":") << seconds % 60;
    return text;
}

juce::String LoudnessHistory::getDateText (int index) const
{
    if (dateRuns.empty() || ! juce::isPositiveAndBelow (index, size()))
        return {};

    // The last run that begins at or before the index.
    auto run = std::upper_bound (dateRuns.begin(), dateRuns.end(), index,
                                 [] (int i, const DateRun& r) { return i < r.firstIndex; });
    return std::prev (run)->text;
}

int LoudnessHistory::getSecondsOfDay (int index) const
{
    if (! timeTexts.isEmpty())
        return parseTimeOfDay (timeTexts[index]);

    return juce::isPositiveAndBelow (index, (int) secondsOfDay.size()) ? secondsOfDay[(size_t) index] : -1;
}

int LoudnessHistory::parseTimeOfDay (juce::StringRef text)
{
    const auto* utf8 = text.text.getAddress();
    return timeOfDay ({ utf8, std::strlen (utf8) });
}
