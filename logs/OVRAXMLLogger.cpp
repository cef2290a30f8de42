#include "OVRAXMLLogger.h"
#include "WholeAppend.h"

namespace
{
constexpr const char* rootTag = "ZEL5.1Log";
constexpr const char* integratedMeasurementsTag = "IntegratedMeasurements";

const char* elementNameFor (OVRAXMLLogger::Reading which) noexcept
{
    switch (which)
    {
        case OVRAXMLLogger::Reading::integratedLoudness:
            return "IntegratedLoudness";
        case OVRAXMLLogger::Reading::maxShortTerm:
            return "MaxShortTerm";
        case OVRAXMLLogger::Reading::maxMomentary:
            return "MaxMomentary";
        case OVRAXMLLogger::Reading::maxTruePeak:
            return "MaxTruePeak";
    }

    return "";
}

juce::XmlElement* addElement (juce::XmlElement& parent, const char* tag,
                              std::initializer_list<const char*> attributes)
{
    auto* element = parent.createNewChildElement (tag);

    for (auto* name : attributes)
        element->setAttribute (name, juce::String());

    return element;
}
} // namespace

//==============================================================================
OVRAXMLLogger::OVRAXMLLogger (juce::TimeSliceThread* threadToUse, LogWriteFailures* failuresToReport)
    : loggerThread (threadToUse)
    , root (std::make_unique<juce::XmlElement> (rootTag))
    , writeStatus ("Measurement report", failuresToReport)
{
}

OVRAXMLLogger::~OVRAXMLLogger()
{
    if (loggerThread != nullptr)
        loggerThread->removeTimeSliceClient (this);

    writeReport();
}

//==============================================================================
void OVRAXMLLogger::startReport (const juce::File& file)
{
    {
        // File and skeleton appear together: no write may see one without the other.
        const juce::ScopedLock sl (lock);

        // Readings handed over before there was a report have no element to go to.
        applyPendingReadings();
        reportFile = file;

        addElement (*root, "UserSelectedTitle", { "value" });

        auto* interval = addElement (*root, "MeasurementInterval", {});
        addElement (*interval, "StartTime", { "value" });
        addElement (*interval, "StopTime", { "value" });
        addElement (*interval, "UpTime", { "value" });

        auto* integrated = addElement (*root, integratedMeasurementsTag, {});
        addElement (*integrated, "IntegratedLoudness", { "value", "unit" });
        addElement (*integrated, "LoudnessRange", { "value", "unit" });
        addElement (*integrated, "MaxShortTerm", { "value", "unit", "maxTime" });
        addElement (*integrated, "MaxMomentary", { "value", "unit", "maxTime" });
        addElement (*integrated, "MaxTruePeak", { "value", "unit", "maxTime" });
    }

    writeReport();
}

void OVRAXMLLogger::writeReport()
{
    const juce::ScopedLock sl (lock);

    applyPendingReadings();

    if (reportFile == juce::File())
        return;

    writeStatus.update (writeTreeToFile(), reportFile);
}

int OVRAXMLLogger::useTimeSlice()
{
    writeReport();
    return rewriteIntervalMs;
}

juce::File OVRAXMLLogger::getReportFile() const
{
    const juce::ScopedLock sl (lock);
    return reportFile;
}

//==============================================================================
void OVRAXMLLogger::setReading (Reading which, float value, juce::StringRef unit, juce::Time time) noexcept
{
    PendingReading reading;
    reading.value = value;
    reading.millisecondsSinceEpoch = time.toMilliseconds();

    // Whole characters only, always leaving the terminating zero.
    juce::CharPointer_UTF8 (reading.unit).writeWithDestByteLimit (unit.text, sizeof (reading.unit));

    pendingReadings[(int) which].write (reading);
}

void OVRAXMLLogger::setElementAttribute (juce::StringRef parentName, juce::StringRef elementName,
                                         juce::StringRef attributeName, const juce::String& value)
{
    const juce::ScopedLock sl (lock);

    auto* parent = parentName.isEmpty() ? root.get() : root->getChildByName (parentName);

    if (parent == nullptr)
        return;

    if (auto* element = parent->getChildByName (elementName))
        element->setAttribute (juce::String (attributeName), value);
}

//==============================================================================
void OVRAXMLLogger::applyPendingReadings()
{
    auto* integrated = root->getChildByName (integratedMeasurementsTag);

    for (int i = 0; i < numReadings; ++i)
    {
        const auto which = (Reading) i;
        PendingReading reading;

        if (! pendingReadings[i].read (reading) || integrated == nullptr)
            continue;

        if (auto* element = integrated->getChildByName (elementNameFor (which)))
        {
            element->setAttribute ("value", juce::String ((double) reading.value, 1));
            element->setAttribute ("unit", juce::String::fromUTF8 (reading.unit));

            if (which != Reading::integratedLoudness)
                element->setAttribute (
                    "maxTime", juce::Time (reading.millisecondsSinceEpoch).toString (true, true, true, true));
        }
    }
}

juce::Result OVRAXMLLogger::writeTreeToFile()
{
    if (const auto folder = WholeAppend::createFolderOf (reportFile); folder.failed())
        return folder;

    // Hidden, so a process killed mid-write leaves nothing that a folder of
    // reports would list.
    juce::TemporaryFile temporary (reportFile, juce::TemporaryFile::useHiddenFile);

    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    format.newLineChars = "\r\n";
    juce::MemoryOutputStream text;
    root->writeTo (text, format);

    // Whole and synced, so the rename never exposes a report cut short by a
    // full disk or not yet on it.
    if (const auto written = WholeAppend::toFile (temporary.getFile(), text.getData(), text.getDataSize(),
                                                  WholeAppend::Sync::yes);
        written.failed())
        return written;

    return temporary.overwriteTargetFileWithTemporary()
               ? juce::Result::ok()
               : juce::Result::fail ("The new report could not take the place of the previous one");
}
