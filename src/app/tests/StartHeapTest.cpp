#include "StartHeap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool hugePagesOffered()
{
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text;
    std::getline(mode, text);
    return text.find("[always]") != std::string::npos || text.find("[madvise]") != std::string::npos;
}

// The kernel's description of the mapping that holds the address, from /proc/self/smaps:
// its first line (range, ..., name) and its flags.
struct Mapping {
    std::string header, flags;
};

Mapping mappingOf(const void* address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    Mapping found;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-') {
            inside = from <= at && at < to;
            if (inside)
                found.header = line;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            found.flags = line;
            return found;
        }
    }
    return found;
}

} // namespace

// The first frame's large blocks (frame and depth buffers, the renderer's scene) come from
// the heap, in a range the kernel backs with huge pages.
TEST(StartHeap, LargeBlocksComeFromAHeapAdvisedForHugePages)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator has a heap of its own";
#endif
    if (!hugePagesOffered())
        GTEST_SKIP() << "this system offers no transparent huge pages";
    const HeapRange range = PrepareHeapForStart();
    ASSERT_NE(range.begin, nullptr);
    const auto* begin = static_cast<const char*>(range.begin);
    const auto* end = static_cast<const char*>(range.end);
    EXPECT_GE(end - begin, 8 << 20);
    EXPECT_NE(mappingOf(begin).flags.find(" hg"), std::string::npos) << mappingOf(begin).flags;

    constexpr std::size_t kFrameBuffer = 4 << 20;
    void* volatile block = std::malloc(kFrameBuffer);
    EXPECT_NE(mappingOf(block).header.find("[heap]"), std::string::npos)
        << "a frame buffer's block was mapped apart from the heap: " << mappingOf(block).header;
    std::free(block);
}
