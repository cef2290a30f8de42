#pragma once

#include <juce_core/juce_core.h>

/** Where a measurement takes the current time from.

    The program uses SystemMeasurementClock; tests hand in a clock they set
    themselves, so that file-name stamps, the date and time texts and the
    one-day roll-over are checked without waiting.

        SystemMeasurementClock clock;
        auto started = clock.now();
*/
class MeasurementClock
{
public:
    virtual ~MeasurementClock() = default;

    /** The current time. Must not allocate or block: the audio thread asks. */
    virtual juce::Time now() const noexcept = 0;
};

//==============================================================================
/** The wall clock. */
class SystemMeasurementClock : public MeasurementClock
{
public:
    juce::Time now() const noexcept override { return juce::Time::getCurrentTime(); }
};
