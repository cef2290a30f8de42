#pragma once

#include "Slots.h"

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>

/** Which device channel belongs to each of the six slots L, R, C, LFE, LS, RS;
    -1 means none.

    A layout comes in two forms. The chosen (saved) form holds the device
    channel numbers the user picked; the device then delivers only those
    channels, packed in ascending order of their numbers, so the active form
    holds each chosen channel's position among them, its index in the audio
    block.

        auto chosen = ChannelLayout::fromText ("7;-1;3;-1;-1;5;");
        auto active = chosen.toActive();     // 2, -1, 0, -1, -1, 1
        auto word = active.pack();           // one 32-bit value for the audio thread
*/
struct ChannelLayout
{
    static constexpr int numSlots = Slots::count;
    static constexpr int none = -1;

    std::array<int, numSlots> channels { none, none, none, none, none, none };

    //==============================================================================
    int operator[] (int slot) const noexcept { return channels[(size_t) slot]; }
    int& operator[] (int slot) noexcept { return channels[(size_t) slot]; }

    bool operator== (const ChannelLayout& other) const noexcept { return channels == other.channels; }
    bool operator!= (const ChannelLayout& other) const noexcept { return channels != other.channels; }

    //==============================================================================
    /** The chosen form as stored: every negative entry becomes -1, since no
        device channel has a negative number. */
    ChannelLayout normalised() const noexcept;

    /** The active form of a chosen layout: -1 where the chosen entry is -1,
        elsewhere the rank (0 for the smallest) of the chosen number among the
        distinct chosen numbers, so slots naming the same channel share it. */
    ChannelLayout toActive() const noexcept;

    //==============================================================================
    /** Six decimal integers, each followed by ";", e.g. "2;3;-1;-1;0;1;". */
    juce::String toText() const;

    /** Reads the text form: each slot takes the leading signed integer of the
        text up to the next ";" (0 when there is none); missing entries read
        as 0. Numbers beyond the 32-bit range are limited to it. */
    static ChannelLayout fromText (const juce::String& text);

    //==============================================================================
    /** An active layout (entries -1 to 6) in one word, three bits per slot,
        so that it can be handed to the audio thread in a single store. */
    uint32_t pack() const noexcept;
    static ChannelLayout unpack (uint32_t word) noexcept;
};
