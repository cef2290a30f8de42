#include "ChannelLayout.h"
#include "ProcessorTestHelpers.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

using ProcessorTestHelpers::layoutOf;

namespace
{
// Checks the active form against its definition: -1 exactly where the chosen
// entry is none, elsewhere the number of distinct chosen channels below it.
void expectActiveFormOf (const ChannelLayout& chosen, const ChannelLayout& active)
{
    for (int slot = 0; slot < ChannelLayout::numSlots; ++slot)
    {
        if (chosen[slot] < 0)
        {
            EXPECT_EQ (active[slot], -1) << "slot " << slot;
            continue;
        }

        std::set<int> smaller;

        for (auto channel : chosen.channels)
            if (channel >= 0 && channel < chosen[slot])
                smaller.insert (channel);

        EXPECT_EQ (active[slot], (int) smaller.size()) << "slot " << slot;
    }
}
} // namespace

TEST (ChannelLayout, ActiveFormRanksTheChosenChannels)
{
    EXPECT_EQ (layoutOf ({ 2, 3, -1, -1, 0, 1 }).toActive(), layoutOf ({ 2, 3, -1, -1, 0, 1 }));
    EXPECT_EQ (layoutOf ({ 4, 5, -1, -1, -1, -1 }).toActive(), layoutOf ({ 0, 1, -1, -1, -1, -1 }));
    EXPECT_EQ (layoutOf ({ 7, -1, 3, -1, -1, 5 }).toActive(), layoutOf ({ 2, -1, 0, -1, -1, 1 }));
    EXPECT_EQ (layoutOf ({ 0, 1, -1, -1, -1, -1 }).toActive(), layoutOf ({ 0, 1, -1, -1, -1, -1 }));
    EXPECT_EQ (ChannelLayout().toActive(), ChannelLayout());

    // A restored state may name one channel twice: both slots get its rank.
    EXPECT_EQ (layoutOf ({ 9, 4, 9, -1, 4, 0 }).toActive(), layoutOf ({ 2, 1, 2, -1, 1, 0 }));
    EXPECT_EQ (layoutOf ({ 0, 0, 0, 0, 0, 0 }).toActive(), layoutOf ({ 0, 0, 0, 0, 0, 0 }));

    // No device channel has a negative number: any negative entry is none.
    EXPECT_EQ (layoutOf ({ -5, 3, -1, -1, 0, 2 }).normalised(), layoutOf ({ -1, 3, -1, -1, 0, 2 }));

    // Every layout the channel selector can produce, and more, against the
    // definition, and through the packed form the audio thread reads.
    juce::Random random (1234);

    for (int trial = 0; trial < 2000; ++trial)
    {
        ChannelLayout chosen;

        for (auto& channel : chosen.channels)
            channel = random.nextInt (10) - 2;

        const auto active = chosen.normalised().toActive();
        expectActiveFormOf (chosen, active);
        EXPECT_EQ (ChannelLayout::unpack (active.pack()), active);
    }
}

TEST (ChannelLayout, TextFormWritesSixEntriesEachWithSemicolon)
{
    EXPECT_EQ (layoutOf ({ 2, 3, -1, -1, 0, 1 }).toText(), "2;3;-1;-1;0;1;");
    EXPECT_EQ (ChannelLayout().toText(), "-1;-1;-1;-1;-1;-1;");

    const auto layout = layoutOf ({ 17, 0, 5, -1, 2147483647, 3 });
    EXPECT_EQ (ChannelLayout::fromText (layout.toText()), layout);
}

TEST (ChannelLayout, TextFormReadsLeadingNumbersAndFillsWithZero)
{
    EXPECT_EQ (ChannelLayout::fromText ("1;0;"), layoutOf ({ 1, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (ChannelLayout::fromText (""), layoutOf ({ 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (ChannelLayout::fromText ("5"), layoutOf ({ 5, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (ChannelLayout::fromText ("abc;12xy;-3;+4; 7;;9"), layoutOf ({ 0, 12, -3, 4, 7, 0 }));
    EXPECT_EQ (ChannelLayout::fromText ("1;2;3;4;5;6;7;8;"), layoutOf ({ 1, 2, 3, 4, 5, 6 }));
    EXPECT_EQ (ChannelLayout::fromText ("-;--2;- 3;"), layoutOf ({ 0, 0, 0, 0, 0, 0 }));

    // Corrupt numbers are limited to the int range instead of overflowing.
    EXPECT_EQ (ChannelLayout::fromText ("99999999999999999999;-99999999999999999999;2147483648;"),
               layoutOf ({ std::numeric_limits<int>::max(), std::numeric_limits<int>::min(),
                           std::numeric_limits<int>::max(), 0, 0, 0 }));
}
