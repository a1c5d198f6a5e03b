#include "StartHeap.h"

#include <cstdint>
#include <cstdlib>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

HeapRange PrepareHeapForStart()
{
#if defined(__GLIBC__)
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    constexpr std::uintptr_t kHugePage = 2 * kMiB;
    // glibc's own ceiling for the threshold it moves by itself; the trim threshold keeps the
    // advised range from being handed back and grown again without the advice.
    mallopt(M_MMAP_THRESHOLD, int(32 * kMiB));
    mallopt(M_TOP_PAD, int(16 * kMiB));
    mallopt(M_TRIM_THRESHOLD, int(32 * kMiB));

    // One block from the heap makes it grow by the block and the pad; that range is advised.
    // The pointer is volatile so that the compiler keeps the pair of calls.
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void* volatile block = std::malloc(kMiB);
    std::free(block);
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const std::uintptr_t first = (before + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = after & ~(kHugePage - 1);
    if (after == std::uintptr_t(-1) || before == std::uintptr_t(-1) || last <= first)
        return {};
    if (madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE) != 0)
        return {};
    return {reinterpret_cast<const void*>(first), reinterpret_cast<const void*>(last)};
#else
    return {};
#endif
}
