#pragma once

/** Counts heap allocations made by the calling thread while it exists. The
    test executable interposes malloc, calloc and realloc (which operator new
    and JUCE's HeapBlock both end in); sanitizer builds keep their own
    allocator, and then isAvailable() is false. */
class AllocationCounter
{
public:
    AllocationCounter() noexcept;
    AllocationCounter (const AllocationCounter&) = delete;
    AllocationCounter& operator= (const AllocationCounter&) = delete;

    long count() const noexcept;
    static bool isAvailable() noexcept;

private:
    long start;
};
