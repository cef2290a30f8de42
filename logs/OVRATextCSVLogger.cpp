#include "OVRATextCSVLogger.h"
#include "WholeAppend.h"

namespace
{
juce::String typeName (uint32_t type)
{
    if (type == LogEvent::momentaryLoudness)
        return "MomentaryLoudness";

    if (type == LogEvent::truePeak)
        return "TruePeak";

    return "ShortTermLoudness";
}

juce::String formatLine (const LogEvent& event)
{
    juce::String line;
    line << typeName (event.type) << ", " << juce::String ((double) event.value, 1) << ", "
         << event.time.toString (true, false, false, false) << ", "
         << event.time.toString (false, true, true, true) << "\r\n";
    return line;
}
} // namespace

//==============================================================================
OVRATextCSVLogger::OVRATextCSVLogger (juce::TimeSliceThread* threadToUse, LogWriteFailures* failuresToReport)
    : loggerThread (threadToUse)
    , events ((size_t) eventCapacity)
    , writeStatus ("Measurement log", failuresToReport)
{
}

OVRATextCSVLogger::~OVRATextCSVLogger()
{
    if (loggerThread != nullptr)
        loggerThread->removeTimeSliceClient (this);

    // Every pass releases its events, written or not, so this ends.
    while (writePendingEvents() == 0)
    {
    }
}

//==============================================================================
int OVRATextCSVLogger::pushEvent (const LogEvent& event) noexcept
{
    int start1, size1, start2, size2;
    fifo.prepareToWrite (1, start1, size1, start2, size2);

    if (size1 > 0)
        events[(size_t) start1] = event;
    else if (size2 > 0)
        events[(size_t) start2] = event;

    const int written = size1 + size2;
    fifo.finishedWrite (written);
    return written;
}

int OVRATextCSVLogger::writePendingEvents()
{
    // The whole pass runs under the lock, so two passes (the thread's and the
    // destructor's) can neither interleave lines nor read the same events.
    const juce::ScopedLock sl (lock);

    int start1, size1, start2, size2;
    fifo.prepareToRead (maxEventsPerPass, start1, size1, start2, size2);
    const int numEvents = size1 + size2;

    if (numEvents == 0)
        return idleIntervalMs;

    // After the first failure the rest of the pass is given up: the next pass
    // tries again rather than this one hammering a broken folder.
    juce::String failedLine;
    auto outcome = juce::Result::ok();

    auto writeLines = [&] (int start, int size) {
        for (int i = start; i < start + size && outcome.wasOk(); ++i)
        {
            const auto line = formatLine (events[(size_t) i]);
            outcome =
                logFile == juce::File() ? juce::Result::fail ("No file is named yet") : appendLine (line);

            if (outcome.failed())
                failedLine = line;
        }
    };

    writeLines (start1, size1);
    writeLines (start2, size2);

    fifo.finishedRead (numEvents);
    writeStatus.update (outcome, logFile,
                        outcome.wasOk() ? juce::String() : "first line lost: " + failedLine.trimEnd());
    return 0;
}

int OVRATextCSVLogger::useTimeSlice() { return writePendingEvents(); }

//==============================================================================
void OVRATextCSVLogger::setLogFile (const juce::File& newLogFile)
{
    const juce::ScopedLock sl (lock);
    logFile = newLogFile;
}

juce::File OVRATextCSVLogger::getLogFile() const
{
    const juce::ScopedLock sl (lock);
    return logFile;
}

//==============================================================================
juce::Result OVRATextCSVLogger::appendToLog (const juce::String& text)
{
    // One write call, so a killed process leaves no half-written line either.
    return WholeAppend::toFile (logFile, text.toRawUTF8(), text.getNumBytesAsUTF8());
}

juce::Result OVRATextCSVLogger::appendLine (const juce::String& line)
{
    // Checked per line: a log deleted in the middle of a pass comes back with its header too.
    if (! logFile.existsAsFile())
    {
        if (const auto folder = WholeAppend::createFolderOf (logFile); folder.failed())
            return folder;

        if (const auto headerWritten = appendToLog (header); headerWritten.failed())
        {
            // A file left without its header would never get one.
            if (logFile.existsAsFile())
                logFile.deleteFile();
            return headerWritten;
        }
    }

    return appendToLog (line);
}
