#pragma once

#include <atomic>
#include <cstdint>
#include <sched.h>

/** The busy flags shared between threads are plain 32-bit words used as spin
    locks: wait (yielding the processor) while the word is non-zero, take it
    with a compare-and-swap from 0 to 1, release it with a decrement. These are
    the only waits allowed on the audio thread; every holder keeps them for a
    bounded, allocation-free stretch of work. */
namespace SpinFlag
{
inline void acquire (std::atomic<int32_t>& flag) noexcept
{
    for (;;)
    {
        int32_t expected = 0;
        if (flag.compare_exchange_weak (expected, 1, std::memory_order_acquire, std::memory_order_relaxed))
            return;
        sched_yield();
    }
}

inline void release (std::atomic<int32_t>& flag) noexcept { flag.fetch_sub (1, std::memory_order_release); }

/** Holds a flag for the lifetime of the scope. */
class ScopedLock
{
public:
    explicit ScopedLock (std::atomic<int32_t>& f) noexcept : flag (f) { acquire (flag); }
    ~ScopedLock() { release (flag); }
    ScopedLock (const ScopedLock&) = delete;
    ScopedLock& operator= (const ScopedLock&) = delete;

private:
    std::atomic<int32_t>& flag;
};
} // namespace SpinFlag
