#include "MemoryReserve.h"

#include <sys/mman.h>

MemoryReserve::MemoryReserve(std::size_t bytes) : bytes_(bytes)
{
    retake();
}

MemoryReserve::~MemoryReserve()
{
    release();
}

void MemoryReserve::release()
{
    if (block_)
        ::munmap(block_, bytes_);
    block_ = nullptr;
}

bool MemoryReserve::retake()
{
    if (block_)
        return true;
    // Directly from the kernel rather than through malloc, so that giving it back really
    // returns the address space and never moves the allocator's own thresholds.
    void* block = ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    block_ = block == MAP_FAILED ? nullptr : block;
    return block_ != nullptr;
}
