#include "ReportReader.h"

#include "OVRAMeasurementLogger.h"
#include "RegularFileInputStream.h"

#include <sys/stat.h>

#include <cerrno>

namespace
{
/** Seven numbers of a file's status, or of why there is none. */
void stampFile (const juce::File& file, juce::int64* fields)
{
    struct stat info = {};

    if (::stat (file.getFullPathName().toRawUTF8(), &info) != 0)
    {
        fields[0] = errno;
        return;
    }

    const juce::int64 nanoseconds = 1000000000;
    fields[1] = (juce::int64) info.st_dev;
    fields[2] = (juce::int64) info.st_ino;
    fields[3] = (juce::int64) info.st_mode;
    fields[4] = (juce::int64) info.st_size;
    fields[5] = (juce::int64) info.st_mtim.tv_sec * nanoseconds + info.st_mtim.tv_nsec;
    // Changed by a change of permissions, too.
    fields[6] = (juce::int64) info.st_ctim.tv_sec * nanoseconds + info.st_ctim.tv_nsec;
}
} // namespace

//==============================================================================
ReportReader::Stamp ReportReader::Stamp::of (const juce::File& report)
{
    Stamp stamp;
    stampFile (report, stamp.fields.data());
    stampFile (OVRAMeasurementLogger::logFileFor (report), stamp.fields.data() + 7);
    return stamp;
}

ReportReader::Reading ReportReader::readFromDisk (const juce::File& report)
{
    Reading reading;
    reading.report = report;
    // Taken first: whatever changes while the files are read makes the next
    // look read them again.
    reading.stamp = Stamp::of (report);
    reading.root = LoudnessHistory::parseReport (report);

    if (reading.root == nullptr)
    {
        // A report deleted or renamed since the list was read is not a broken
        // one, nor is one that we may not open.
        RegularFileInputStream in (report);

        switch (in.getState())
        {
            case RegularFileInputStream::State::missing:
                reading.problem = Reading::Problem::gone;
                break;
            case RegularFileInputStream::State::refused:
                reading.problem = Reading::Problem::cannotOpen;
                reading.reason = in.getStatus().getErrorMessage();
                break;
            case RegularFileInputStream::State::open:
            case RegularFileInputStream::State::notRegularFile:
                reading.problem = Reading::Problem::notAReport;
                break;
        }

        return reading;
    }

    if (auto* own = reading.root->getChildByName ("DynamicMeasurements"))
        reading.history = LoudnessHistory::fromDynamicMeasurements (*own);
    else
        reading.history = LoudnessHistory::fromCsvFile (OVRAMeasurementLogger::logFileFor (report));

    return reading;
}

//==============================================================================
ReportReader::ReportReader (std::function<void (Reading&&)> onReadToUse, Source sourceToUse)
    : onRead (std::move (onReadToUse))
    , source (std::move (sourceToUse))
{
}

void ReportReader::read (const juce::File& report)
{
    asked = report;
    lookAgain = false;
    readings.start ([report, readReport = source] (const auto&) -> std::optional<Reading> {
        return readReport (report);
    });
}

void ReportReader::readAgainIfChanged()
{
    if (lastRead == juce::File())
        return;

    // The reading under way may have begun before the change.
    if (readings.isBusy())
    {
        lookAgain = true;
        return;
    }

    asked = lastRead;
    readings.start ([report = lastRead, last = lastStamp, readReport = source] (const auto&) {
        return Stamp::of (report) == last ? std::nullopt : std::optional<Reading> (readReport (report));
    });
}

void ReportReader::handOver (std::optional<Reading>&& reading)
{
    if (reading.has_value())
    {
        lastRead = reading->report;
        lastStamp = reading->stamp;
        onRead (std::move (*reading));
    }

    if (std::exchange (lookAgain, false))
        readAgainIfChanged();
}
