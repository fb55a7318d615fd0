#include "AllocationCounter.h"

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVEL_COUNT_ALLOCATIONS 0
#elif defined(__GLIBC__) || defined(__linux__)
#define QUORVEL_COUNT_ALLOCATIONS 1
#else
#define QUORVEL_COUNT_ALLOCATIONS 0
#endif

namespace
{
thread_local long allocations = 0;
}

#if QUORVEL_COUNT_ALLOCATIONS
// glibc's own entry points, which stay reachable when malloc is interposed.
extern "C" void* __libc_malloc (std::size_t);
extern "C" void* __libc_calloc (std::size_t, std::size_t);
extern "C" void* __libc_realloc (void*, std::size_t);

extern "C" void* malloc (std::size_t size)
{
    ++allocations;
    return __libc_malloc (size);
}

extern "C" void* calloc (std::size_t count, std::size_t size)
{
    ++allocations;
    return __libc_calloc (count, size);
}

extern "C" void* realloc (void* p, std::size_t size)
{
    ++allocations;
    return __libc_realloc (p, size);
}
#endif

AllocationCounter::AllocationCounter() noexcept : start (allocations) {}
long AllocationCounter::count() const noexcept { return allocations - start; }
bool AllocationCounter::isAvailable() noexcept { return QUORVEL_COUNT_ALLOCATIONS != 0; }
