#pragma once

#include "LatestValueSlot.h"
#include "LogWriteStatus.h"

#include <juce_core/juce_core.h>

#include <memory>

/** Keeps a measurement's XML report as a tree and rewrites the whole file
    from it every second, and a last time when destroyed.

    startReport builds the report's skeleton (every attribute empty) and puts
    it on disk at once. The start and stop values are set by element name
    with setElementAttribute, which takes the writer's lock; the integrated
    loudness and the three maxima come through setReading, which never
    blocks: it leaves the latest reading of each kind in a lock-free slot,
    and the writer copies it into the tree before each write.

    Each write goes to a hidden temporary file beside the report, which then
    replaces the report by renaming, so the file on disk is always a whole
    document. A write that fails is retried a second later; the debug log
    and the measurement's LogWriteFailures, when given, learn when the
    report fails and when it is written again.
*/
class OVRAXMLLogger : public juce::TimeSliceClient
{
public:
    enum class Reading
    {
        integratedLoudness,
        maxShortTerm,
        maxMomentary,
        maxTruePeak
    };

    static constexpr int rewriteIntervalMs = 1000;

    /** The thread is the owner's; the owner registers this client with it.
        May be null when the owner writes by hand. The report's failures go
        to failuresToReport too, when given; it must outlive this logger. */
    explicit OVRAXMLLogger (juce::TimeSliceThread* threadToUse, LogWriteFailures* failuresToReport = nullptr);

    /** Leaves the thread (waiting for a write in progress), then writes the
        report a last time, with every reading handed over before. */
    ~OVRAXMLLogger() override;

    //==============================================================================
    /** Names the report file, builds the skeleton and writes it. Once per logger. */
    void startReport (const juce::File& file);

    /** Copies the pending readings into the tree and writes the whole tree to
        the report file; nothing while no file is named. */
    void writeReport();

    int useTimeSlice() override;

    juce::File getReportFile() const;

    //==============================================================================
    /** Hands over a reading: "value" gets it with one decimal and "unit" the
        unit text; the maxima also get "maxTime" as date and time. Readings
        before startReport find no element and are dropped.

        Audio thread: copies into a preallocated slot, never allocates or
        locks. Only one thread may call it at a time. */
    void setReading (Reading which, float value, juce::StringRef unit, juce::Time time = {}) noexcept;

    /** Sets an attribute of the element named elementName under the element
        named parentName (an empty parent name means the root); does nothing
        when either is missing. Takes the writer's lock: not for the audio thread. */
    void setElementAttribute (juce::StringRef parentName, juce::StringRef elementName,
                              juce::StringRef attributeName, const juce::String& value);

private:
    struct PendingReading
    {
        float value = 0.0f;
        juce::int64 millisecondsSinceEpoch = 0;
        char unit[16] = {};
    };

    static constexpr int numReadings = 4;

    void applyPendingReadings();
    juce::Result writeTreeToFile();

    juce::CriticalSection lock;
    juce::TimeSliceThread* const loggerThread;
    std::unique_ptr<juce::XmlElement> root;
    juce::File reportFile;
    LatestValueSlot<PendingReading> pendingReadings[numReadings];
    LogWriteStatus writeStatus;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAXMLLogger)
};
