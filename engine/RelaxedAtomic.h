#pragma once

#include <atomic>

/** A value shared between threads without a lock.

    Reads and writes are single relaxed atomic operations, so a reader sees
    either the old or the new value of each field, never a torn one; records
    made of these fields stay copyable like plain structs (the copy is taken
    field by field and may mix two updates, which the readers tolerate).

        RelaxedAtomic<float> level { -70.0f };
        level = -23.0f;           // writer thread
        float shown = level;      // reader thread
*/
template <typename T>
class RelaxedAtomic
{
    // An atomic that is not lock-free takes a lock inside, which the audio
    // thread must never do.
    static_assert (std::atomic<T>::is_always_lock_free, "a relaxed atomic must be lock-free");

public:
    constexpr RelaxedAtomic() noexcept : value (T {}) {}
    constexpr RelaxedAtomic (T initial) noexcept : value (initial) {}
    RelaxedAtomic (const RelaxedAtomic& other) noexcept : value (other.get()) {}

    RelaxedAtomic& operator= (const RelaxedAtomic& other) noexcept
    {
        set (other.get());
        return *this;
    }

    RelaxedAtomic& operator= (T newValue) noexcept
    {
        set (newValue);
        return *this;
    }

    operator T() const noexcept { return get(); }
    T get() const noexcept { return value.load (std::memory_order_relaxed); }
    void set (T newValue) noexcept { value.store (newValue, std::memory_order_relaxed); }

private:
    std::atomic<T> value;
};
