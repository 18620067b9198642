#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace backtrail::engine {

/// Memory for large tables that are read at random (the scan's hash table of
/// referrers, its entry lists): blocks of 2 MiB and more are aligned to and
/// asked for as huge pages, so that a lookup costs one TLB entry instead of a
/// page walk. Smaller blocks come from malloc, aligned to `alignment` (a
/// power of two) when that is more than malloc's own.
inline void* AllocateLarge(std::size_t bytes, std::size_t alignment = alignof(std::max_align_t))
{
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (bytes < kHugePage) {
        void* small = alignment <= alignof(std::max_align_t)
            ? std::malloc(bytes == 0 ? 1 : bytes)
            : std::aligned_alloc(alignment, (std::max<std::size_t>(bytes, 1) + alignment - 1) / alignment * alignment);
        if (!small)
            throw std::bad_alloc();
        return small;
    }
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, rounded);
    if (!memory)
        throw std::bad_alloc();
    ::madvise(memory, rounded, MADV_HUGEPAGE);
    return memory;
}

/// Has the C library give every block of 1 MiB and more a mapping of its
/// own, returned to the system when the block is freed. glibc otherwise raises
/// that bound each time such a block is freed, so that the tables a scan drops
/// (its parts, once merged) stay in the heap: a log four times over peaked 60%
/// above the log once. A program calls this once, first thing.
inline void ReturnLargeBlocksWhenFreed()
{
#ifdef __GLIBC__
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

/// Frees a container's memory. (Assigning `{}` to a vector empties it but
/// keeps its memory: the braces pick the initializer-list assignment.)
template<class Container> void Release(Container& container)
{
    Container().swap(container);
}

/// A standard allocator over AllocateLarge.
template<class T> struct HugePageAllocator
{
    using value_type = T;
    HugePageAllocator() = default;
    template<class U> HugePageAllocator(const HugePageAllocator<U>&) noexcept { }
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T), alignof(T))); }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }
    template<class U> bool operator==(const HugePageAllocator<U>&) const noexcept { return true; }
};

} // namespace backtrail::engine
