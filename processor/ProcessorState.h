#pragma once

#include "ChannelLayout.h"
#include "SettingsSnapshot.h"

#include <juce_core/juce_core.h>

/** The processor's stored state: the element "MYPLUGINSETTINGS" with the
    persisted settings and the two saved layouts as attributes, in the
    framework's binary wrapper ("VC2!", the text's length as 32-bit little
    endian, the one-line text without a declaration, a zero byte). A log
    folder that is the default is marked so, and read as the default of
    whoever runs the meter, so that it follows each user's home.

        juce::MemoryBlock block;
        ProcessorState::write (settings, savedInputs, savedOutputs, block);
        auto outcome = ProcessorState::read (block.getData(), (int) block.getSize(), settings, inputs,
   outputs);
*/
class ProcessorState
{
public:
    enum class Outcome
    {
        unreadable, ///< no state at all: the caller falls back to its defaults
        foreign,    ///< a readable element of another name: nothing changes
        restored
    };

    static void write (const SettingsSnapshot& settings, const ChannelLayout& savedInputs,
                       const ChannelLayout& savedOutputs, juce::MemoryBlock& destination);

    /** Reads a stored state into the settings and the two saved layouts. Only
        finite numbers that a float can hold replace a setting; the run state
        and the fields that are never stored stay as they are. */
    static Outcome read (const void* data, int sizeInBytes, SettingsSnapshot& settings,
                         ChannelLayout& savedInputs, ChannelLayout& savedOutputs);

private:
    ProcessorState() = delete;
};
