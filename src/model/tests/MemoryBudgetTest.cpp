// Reading under a memory budget: the system's figures, the reader and the bitmap reader
// stopping at it as at a failed allocation, and the same under a real address-space limit.
#include "BitmapFile.h"
#include "FileDescriptor.h"
#include "MemoryBudget.h"
#include "ObjectFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define VORLAN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLAN_ASAN 1
#endif
#endif

namespace {

constexpr uint64_t kMiB = 1ull << 20;

tElement polygon(const std::string& name, const std::string& texture = "")
{
    tElement e;
    e.type = "Quad";
    e.name = name;
    e.texture = texture;
    e.color = texture.empty() ? 5 : -1;
    return e;
}

// Runs check in a child process under the given address-space limit (bytes beyond what the
// child already uses); an empty result means it passed, anything else says what failed.
std::string underAddressSpaceLimit(uint64_t extra, const std::function<std::string()>& check)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::ifstream status("/proc/self/status");
        std::stringstream text;
        text << status.rdbuf();
        const uint64_t inUse = ProcField(text.str(), "VmSize").value_or(0);
        struct rlimit limit = {rlim_t(inUse + extra), rlim_t(inUse + extra)};
        std::string result = ::setrlimit(RLIMIT_AS, &limit) == 0 ? check() : "setrlimit failed";
        if (::write(pipeEnds[1], result.data(), result.size()) < 0)
            ::_exit(3);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, std::size_t(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended abnormally, status " + std::to_string(status) + ": " + result;
    return result;
}

TEST(MemoryBudget, SystemFiguresAreParsedAndTheLeastLessTheHeadroomIsTheBudget)
{
    const std::string status = "Name:\tx\nVmSize:\t  2048 kB\nXVmData:\t9 kB\nVmData:\t 512 kB\nCount: 7\n";
    EXPECT_EQ(ProcField(status, "VmSize"), 2048u * 1024);
    EXPECT_EQ(ProcField(status, "VmData"), 512u * 1024) << "a name inside another is no match";
    EXPECT_EQ(ProcField(status, "Count"), 7u);
    EXPECT_FALSE(ProcField(status, "MemAvailable"));
    EXPECT_FALSE(ProcField("Name:\tx\n", "Name"));

    SystemMemory memory;
    EXPECT_FALSE(memory.least());
    memory.available = 20000 * kMiB;
    memory.addressSpace = 3000 * kMiB;
    memory.controlGroup = 5000 * kMiB;
    EXPECT_EQ(memory.least(), 3000 * kMiB);
    // An eighth kept where that is more than the headroom, else the headroom.
    EXPECT_EQ(MemoryBudget::FromFigures(memory), 3000 * kMiB - 375 * kMiB);
    memory.dataSegment = 1000 * kMiB;
    EXPECT_EQ(MemoryBudget::FromFigures(memory), 1000 * kMiB - MemoryBudget::kHeadroom);
    memory.dataSegment = 100 * kMiB;
    EXPECT_EQ(MemoryBudget::FromFigures(memory), 0u);

    MemoryBudget budget(100);
    EXPECT_TRUE(budget.take(60));
    EXPECT_FALSE(budget.take(41));
    EXPECT_EQ(budget.left(), 40u) << "a refused take takes nothing";
    EXPECT_TRUE(budget.take(40));
}

class BudgetedRead : public ::testing::Test {
protected:
    // n coloured records, every fifth textured with its own bitmap name.
    void writeObject(int n)
    {
        CDynArray out;
        for (int i = 0; i < n; ++i)
            out.Add(polygon("p" + std::to_string(i), i % 5 == 4 ? "t" + std::to_string(i) + ".bmp" : ""));
        ASSERT_TRUE(WriteObjectFile(file, out.First(), out.Count()));
    }

    TempDir dir;
    std::string file = dir.file("object.3do");
    CDynArray list;
    std::vector<std::string> loaded;
    TextureLoader load = [this](const std::string& name, int, int, int) {
        loaded.push_back(name);
        return uint32_t(loaded.size());
    };
};

TEST_F(BudgetedRead, APolygonOverTheBudgetFailsTheReadAndKeepsWhatWasRead)
{
    writeObject(12);
    const uint64_t each = PolygonFootprint(polygon("p1")) + 100;
    ASSERT_EQ(PolygonFootprint(polygon("p1")), PolygonFootprint(polygon("t4.bmp", "t4.bmp")));
    list.Add(polygon("already"));

    ReadOptions options;
    options.budget = 7 * each + each - 1;   // seven and not quite an eighth
    options.extraPerPolygon = 100;
    EXPECT_FALSE(ReadObjectFile(file, list, load, options));
    ASSERT_EQ(list.Count(), 8);
    EXPECT_EQ(list.First()->name, "already");
    EXPECT_EQ(list.Last()->name, "p6");
    EXPECT_EQ(loaded, std::vector<std::string>{"t4.bmp"}) << "no bitmap loaded past the budget";

    list.Clear();
    options.budget = 12 * each + 2 * TextFootprint(tSharedText("t4.bmp"));   // two bitmap names
    EXPECT_TRUE(ReadObjectFile(file, list, load, options));
    EXPECT_EQ(list.Count(), 12);

    // A name of any length lives in the polygon; a texture name costs a block once per list.
    EXPECT_EQ(PolygonFootprint(polygon(std::string(30, 'n'))), PolygonFootprint(polygon("n")));
}

TEST_F(BudgetedRead, ProgressIsReportedEveryBlockOfRecords)
{
    writeObject(2 * kProgressRecords + 5);
    std::vector<int> countsSeen;
    ReadOptions options;
    options.progress = [&] { countsSeen.push_back(list.Count()); };
    EXPECT_TRUE(ReadObjectFile(file, list, load, options));
    EXPECT_EQ(countsSeen, (std::vector<int>{kProgressRecords, 2 * kProgressRecords}));
}

TEST_F(BudgetedRead, ABitmapOverTheBudgetIsRefusedLikeAMissingOne)
{
    // 64 x 32 pixels: 6 KiB of rows, 8 KiB of texture, a 40-byte info block.
    const int32_t w = 64, h = 32;
    Bytes bmp(54 + w * 3 * h, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    putLe32(bmp, 10, 54);
    putLe32(bmp, 14, 40);
    putLe32(bmp, 18, uint32_t(w));
    putLe32(bmp, 22, uint32_t(h));
    putLe16(bmp, 26, 1);
    putLe16(bmp, 28, 24);
    const std::string name = dir.file("wide.bmp");
    writeBytes(name, bmp);
    const uint64_t need = 40 + uint64_t(w) * 3 * h + uint64_t(w) * h * 4;
    EXPECT_FALSE(ReadBitmapFile(name, need - 1));
    EXPECT_FALSE(ReadBitmapFile(name, 39)) << "not even the info block";
    std::optional<BitmapImage> image = ReadBitmapFile(name, need);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, w);
    EXPECT_TRUE(ReadBitmapFile(name)) << "the system's budget holds a small bitmap";
}

TEST_F(BudgetedRead, UnderAnAddressSpaceLimitTheReaderStopsWithRoomToSpare)
{
#ifdef VORLAN_ASAN
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; no limit can hold it";
#endif
    // A sparse file of zero records: two million empty polygons, more than 320 MiB can hold.
    {
        FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
        ASSERT_GE(fd.get(), 0);
        ASSERT_EQ(::ftruncate(fd.get(), off_t(kObjectRecordSize) * 2000000), 0);
    }
    const std::string result = underAddressSpaceLimit(320 * kMiB, [&]() -> std::string {
        const std::optional<uint64_t> left = ReadSystemMemory().addressSpace;
        if (!left || *left > 320 * kMiB || *left < 250 * kMiB)
            return "address space left: " + std::to_string(left.value_or(0));
        CDynArray big;
        if (ReadObjectFile(file, big, {}))
            return "read succeeded";
        if (big.Count() < 50000)
            return "only " + std::to_string(big.Count()) + " polygons read";
        // The headroom is really there: the window's next allocations succeed.
        void* room = std::malloc(MemoryBudget::kHeadroom / 2);
        if (!room)
            return "no room left after the read";
        std::free(room);
        return "";
    });
    EXPECT_EQ(result, "");
}

} // namespace
