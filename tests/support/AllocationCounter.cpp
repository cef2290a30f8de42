#include "AllocationCounter.h"

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
  #define ZELX_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
  #if __has_feature(address_sanitizer)
    #define ZELX_COUNT_ALLOCATIONS 0
  #endif
#endif

#ifndef ZELX_COUNT_ALLOCATIONS
  #define ZELX_COUNT_ALLOCATIONS 1
#endif

namespace
{
thread_local bool counting = false;
thread_local int count = 0;
} // namespace

#if ZELX_COUNT_ALLOCATIONS
// glibc's own entry points; the replacements below count and forward to them.
extern "C" void* __libc_malloc (size_t);
extern "C" void* __libc_calloc (size_t, size_t);
extern "C" void* __libc_realloc (void*, size_t);

extern "C" void* malloc (size_t size)
{
    if (counting)
        ++count;

    return __libc_malloc (size);
}

extern "C" void* calloc (size_t n, size_t size)
{
    if (counting)
        ++count;

    return __libc_calloc (n, size);
}

extern "C" void* realloc (void* p, size_t size)
{
    if (counting)
        ++count;

    return __libc_realloc (p, size);
}
#endif

AllocationCounter::AllocationCounter() noexcept
{
    count = 0;
    counting = true;
}

AllocationCounter::~AllocationCounter() { counting = false; }

int AllocationCounter::getCount() const noexcept { return count; }

bool AllocationCounter::isAvailable() noexcept { return ZELX_COUNT_ALLOCATIONS != 0; }
