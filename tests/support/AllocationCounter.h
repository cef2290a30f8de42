#pragma once

/** Counts heap allocations (malloc, calloc, realloc, and so every operator
    new) made by the calling thread while an instance is alive. Other threads
    are not counted. Unavailable under AddressSanitizer, which owns malloc. */
class AllocationCounter
{
public:
    AllocationCounter() noexcept;
    ~AllocationCounter();

    int getCount() const noexcept;

    static bool isAvailable() noexcept;
};
