// Feeds arbitrary bytes to the readers of a saved measurement: once as a CSV
// log, and once as a report file, whose history element, when it has one,
// is read too.

#include "LoudnessHistory.h"

#include <cstddef>
#include <cstdint>

namespace
{
// Touches every sample the way the drawer does, so a reader that leaves its
// arrays out of step shows.
void readAll (const LoudnessHistory& history)
{
    const auto& shortTerm = history.getShortTermValues();
    const auto& momentary = history.getMomentaryValues();

    if (history.hasMomentary() && momentary.size() != shortTerm.size())
        __builtin_trap();

    for (int i = 0; i < history.size(); ++i)
        if (history.getTimeText (i).isEmpty() && history.hasDates())
            __builtin_trap();

    if (! history.isEmpty())
    {
        history.getDateText (history.size() - 1);
        history.getSecondsOfDay (history.size() - 1);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    readAll (LoudnessHistory::fromCsvText (reinterpret_cast<const char*> (data), size));

    // As a file's text reaches the viewer: the framework's reading of its bytes.
    if (auto report = LoudnessHistory::parseReport (juce::String::createStringFromData (data, (int) size)))
    {
        if (auto* dynamic = report->getChildByName ("DynamicMeasurements"))
            readAll (LoudnessHistory::fromDynamicMeasurements (*dynamic));

        readAll (LoudnessHistory::fromDynamicMeasurements (*report));
    }

    return 0;
}
