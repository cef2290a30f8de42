#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <type_traits>

/** One loudness value on its way from the audio thread to the CSV log.

    A plain record copied by value into the logger's preallocated queue, so
    handing it over never allocates.
*/
struct LogEvent
{
    enum Type : uint32_t
    {
        momentaryLoudness = 0,
        shortTermLoudness = 1,
        truePeak = 2
    };

    uint32_t type = momentaryLoudness;

    /** Already rounded to 0.1 by the producer. */
    float value = 0.0f;

    /** When the value was produced; 0 in a slot never written. */
    juce::Time time;
};

static_assert (std::is_trivially_copyable_v<LogEvent>, "events are copied into a lock-free queue");
