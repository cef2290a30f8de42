#include "OVRATextCSVLogger.h"

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
    auto outcome = openLog();

    auto writeLines = [&] (int start, int size) {
        for (int i = start; i < start + size && failedLine.isEmpty(); ++i)
        {
            const auto line = formatLine (events[(size_t) i]);

            if (outcome.wasOk())
                outcome = append (line);

            if (outcome.failed())
                failedLine = line;
        }
    };

    writeLines (start1, size1);
    writeLines (start2, size2);

    // Opened afresh next pass, in case the file is no longer what it was.
    if (outcome.failed())
        log.close();

    fifo.finishedRead (numEvents);
    writeStatus.update (outcome, logFile,
                        outcome.wasOk() ? juce::String() : "first line lost: " + failedLine.trimEnd());
    return 0;
}

int OVRATextCSVLogger::useTimeSlice() { return writePendingEvents(); }

juce::String OVRATextCSVLogger::formatLine (const LogEvent& event)
{
    juce::String line;
    line << typeName (event.type) << ", " << juce::String ((double) event.value, 1) << ", "
         << event.time.toString (true, false, false, false) << ", "
         << event.time.toString (false, true, true, true) << "\r\n";
    return line;
}

//==============================================================================
void OVRATextCSVLogger::setLogFile (const juce::File& newLogFile)
{
    const juce::ScopedLock sl (lock);
    logFile = newLogFile;
    log.close();
}

juce::File OVRATextCSVLogger::getLogFile() const
{
    const juce::ScopedLock sl (lock);
    return logFile;
}

//==============================================================================
juce::Result OVRATextCSVLogger::openLog()
{
    if (logFile == juce::File())
        return juce::Result::fail ("No file is named yet");

    // Checked once a pass rather than per line: a log removed in the middle
    // of a pass takes that pass's later lines with it, but a pass lasts
    // microseconds and the gap between passes a tenth of a second.
    if (log.isOpenAt (logFile))
        return juce::Result::ok();

    if (logFile.existsAsFile())
        return log.open (logFile);

    if (const auto folder = WholeAppend::createFolderOf (logFile); folder.failed())
        return folder;

    auto written = log.open (logFile);

    if (written.wasOk())
        written = append (header);

    if (written.failed())
    {
        // A file left without its header would never get one.
        log.close();

        if (logFile.existsAsFile())
            logFile.deleteFile();
    }

    return written;
}

juce::Result OVRATextCSVLogger::append (const juce::String& text)
{
    // One write call, so a killed process leaves no half-written line either.
    return log.append (text.toRawUTF8(), text.getNumBytesAsUTF8());
}
