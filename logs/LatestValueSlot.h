#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <type_traits>

/** Hands the most recent of a stream of values from one writer thread to one
    reader without locks or allocation (a triple buffer).

    The writer never waits and never overwrites what the reader holds; the
    reader gets the latest value written since its last read, or nothing.
    Values written in between are skipped, which suits a running maximum.

        LatestValueSlot<Reading> slot;
        slot.write (reading);              // audio thread
        Reading r;
        if (slot.read (r)) apply (r);      // logger thread

    Only one thread may write at a time, and only one may read at a time;
    callers that move either role between threads must order the hand-over
    themselves (a lock, or a thread join).
*/
template <typename ValueType>
class LatestValueSlot
{
    static_assert (std::is_trivially_copyable_v<ValueType>, "the slots are copied without allocating");

public:
    LatestValueSlot() = default;

    //==============================================================================
    /** Publishes a value. Writer thread. */
    void write (const ValueType& newValue) noexcept
    {
        slots[writerIndex] = newValue;
        // acq_rel: the copy above becomes visible with the index, and the slot
        // taken back is one the reader has finished with.
        writerIndex = shared.exchange (writerIndex | freshFlag, std::memory_order_acq_rel) & indexMask;
    }

    /** Takes the latest value written since the last read; false when there is none. Reader thread. */
    bool read (ValueType& result) noexcept
    {
        if ((shared.load (std::memory_order_relaxed) & freshFlag) == 0)
            return false;

        readerIndex = shared.exchange (readerIndex, std::memory_order_acq_rel) & indexMask;
        result = slots[readerIndex];
        return true;
    }

private:
    static constexpr int indexMask = 3;
    static constexpr int freshFlag = 4;

    ValueType slots[3] {};
    int writerIndex = 0;
    int readerIndex = 1;
    std::atomic<int> shared { 2 };

    JUCE_DECLARE_NON_COPYABLE (LatestValueSlot)
};
