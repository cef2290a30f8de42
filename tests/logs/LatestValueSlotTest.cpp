#include "LatestValueSlot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
struct Pair
{
    juce::int64 number = 0;
    juce::int64 negated = 0;
};
} // namespace

TEST (LatestValueSlot, GivesTheLatestValueOnceAndNothingWhenNoneIsNew)
{
    LatestValueSlot<Pair> slot;
    Pair result;

    EXPECT_FALSE (slot.read (result));

    slot.write ({ 1, -1 });
    slot.write ({ 2, -2 });
    ASSERT_TRUE (slot.read (result));
    EXPECT_EQ (result.number, 2);
    EXPECT_FALSE (slot.read (result)) << "a value is handed over once";

    // Many writes between reads must never hand back a slot the reader still holds.
    for (int round = 3; round < 40; ++round)
    {
        for (int i = 0; i < round % 5; ++i)
            slot.write ({ round * 10 + i, -(round * 10 + i) });

        if (round % 5 == 0)
        {
            EXPECT_FALSE (slot.read (result));
            continue;
        }

        ASSERT_TRUE (slot.read (result));
        EXPECT_EQ (result.number, round * 10 + round % 5 - 1);
        EXPECT_EQ (result.negated, -result.number);
    }
}

TEST (LatestValueSlot, AReaderOnAnotherThreadSeesWholeValuesInWritingOrder)
{
    LatestValueSlot<Pair> slot;
    constexpr juce::int64 numWrites = 200000;
    std::atomic<bool> done{ false };

    std::thread writer (
        [&]
        {
            for (juce::int64 i = 1; i <= numWrites; ++i)
                slot.write ({ i, -i });

            done = true;
        });

    juce::int64 last = 0;

    for (bool finished = false; !finished;)
    {
        finished = done.load();
        Pair result;

        if (slot.read (result))
        {
            ASSERT_EQ (result.negated, -result.number) << "torn value";
            ASSERT_GT (result.number, last) << "went backwards";
            last = result.number;
        }
    }

    writer.join();
    EXPECT_EQ (last, numWrites);
}
