#include "ChannelLayout.h"

#include <algorithm>
#include <limits>

namespace
{
// Leading sign and digits of the text, like String::getIntValue, but limited
// to the int range instead of overflowing on a corrupt entry.
int readLeadingInt (juce::String::CharPointerType text) noexcept
{
    text = text.findEndOfWhitespace();

    bool negative = false;

    if (*text == '-' || *text == '+')
    {
        negative = (*text == '-');
        ++text;
    }

    int64_t value = 0;
    constexpr int64_t limit = (int64_t) std::numeric_limits<int>::max() + 1;

    while (text.isDigit())
    {
        value = std::min (limit, value * 10 + (int64_t) (text.getAndAdvance() - '0'));
    }

    value = negative ? -value : value;
    return (int) juce::jlimit ((int64_t) std::numeric_limits<int>::min(),
                               (int64_t) std::numeric_limits<int>::max(), value);
}

constexpr int bitsPerSlot = 3;
constexpr uint32_t slotMask = (1u << bitsPerSlot) - 1;
} // namespace

//==============================================================================
ChannelLayout ChannelLayout::normalised() const noexcept
{
    ChannelLayout result;

    for (int slot = 0; slot < numSlots; ++slot)
        result[slot] = channels[(size_t) slot] < 0 ? none : channels[(size_t) slot];

    return result;
}

ChannelLayout ChannelLayout::toActive() const noexcept
{
    const auto isFirstOccurrence = [this] (int slot) {
        for (int earlier = 0; earlier < slot; ++earlier)
            if (channels[(size_t) earlier] == channels[(size_t) slot])
                return false;

        return true;
    };

    ChannelLayout active;

    for (int slot = 0; slot < numSlots; ++slot)
    {
        const auto channel = channels[(size_t) slot];

        if (channel < 0)
            continue;

        int rank = 0;

        for (int other = 0; other < numSlots; ++other)
        {
            const auto otherChannel = channels[(size_t) other];

            if (otherChannel >= 0 && otherChannel < channel && isFirstOccurrence (other))
                ++rank;
        }

        active[slot] = rank;
    }

    return active;
}

//==============================================================================
juce::String ChannelLayout::toText() const
{
    juce::String text;

    for (auto channel : channels)
        text << channel << ";";

    return text;
}

ChannelLayout ChannelLayout::fromText (const juce::String& text)
{
    ChannelLayout layout;
    auto rest = text;

    for (int slot = 0; slot < numSlots; ++slot)
    {
        layout[slot] = readLeadingInt (rest.upToFirstOccurrenceOf (";", false, false).getCharPointer());
        rest = rest.fromFirstOccurrenceOf (";", false, false);
    }

    return layout;
}

//==============================================================================
uint32_t ChannelLayout::pack() const noexcept
{
    uint32_t word = 0;

    for (int slot = 0; slot < numSlots; ++slot)
    {
        const auto channel = channels[(size_t) slot];
        const auto code = (channel >= 0 && channel < (int) slotMask) ? (uint32_t) (channel + 1) : 0u;
        word |= code << (slot * bitsPerSlot);
    }

    return word;
}

ChannelLayout ChannelLayout::unpack (uint32_t word) noexcept
{
    ChannelLayout layout;

    for (int slot = 0; slot < numSlots; ++slot)
        layout[slot] = (int) ((word >> (slot * bitsPerSlot)) & slotMask) - 1;

    return layout;
}
