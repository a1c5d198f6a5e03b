// Times the object file writer and the reader at two sizes, the reader against its floors
// measured in the same run: streaming the same file through a 64 KiB buffer (the I/O floor)
// and writing as much fresh memory as the reader leaves held (the allocation floor).
#include "CommandLine.h"
#include "ObjectFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The I/O floor: the same file streamed through one 64 KiB buffer, every byte looked at.
std::size_t streamingRead(const std::string& fileName, unsigned& checksum)
{
    int fd = ::open(fileName.c_str(), O_RDONLY);
    if (fd < 0)
        return 0;
    static char buffer[64 * 1024];
    std::size_t total = 0;
    unsigned sum = 0;
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t i = 0; i < n; ++i)
            sum += static_cast<unsigned char>(buffer[i]);
        total += std::size_t(n);
    }
    ::close(fd);
    checksum = sum;
    return total;
}

// The allocation floor: as much fresh memory as the reader leaves held, taken in blocks of
// one polygon node each and written once.
double touchFreshMemory(std::size_t bytes, int blocks)
{
    const std::size_t block = bytes / std::size_t(blocks);
    std::vector<char*> held;
    held.reserve(std::size_t(blocks));
    const auto start = Clock::now();
    for (int i = 0; i < blocks; ++i) {
        char* p = static_cast<char*>(std::malloc(block));
        std::memset(p, i & 0xFF, block);
        held.push_back(p);
    }
    const double seconds = secondsSince(start);
    for (char* p : held)
        std::free(p);
    return seconds;
}

std::size_t heapInUse()
{
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

bool run(int count, const std::string& fileName)
{
    CDynArray source;
    tElement e;
    for (int i = 0; i < count; ++i) {
        e.type = i % 2 ? "Quad" : "Triangle";
        e.name = "polygon " + std::to_string(i);
        for (int k = 0; k < 12; ++k)
            e.vertex[k] = float((i * 7 + k * 13) % 1281 - 640);
        // Every tenth polygon textured, a few bitmaps shared, the rest coloured.
        if (i % 10 == 0) {
            e.color = e.red = e.green = e.blue = -1;
            e.texture = "texture" + std::to_string(i % 7) + ".bmp";
        } else {
            e.red = i & 0xFF;
            e.green = (i >> 8) & 0xFF;
            e.blue = 0x40;
            e.color = e.red | e.green << 8 | e.blue << 16;
            e.texture.clear();
        }
        if (!source.Add(e))
            return false;
    }

    auto start = Clock::now();
    if (!WriteObjectFile(fileName, source.First(), source.Count()))
        return false;
    double writeTime = secondsSince(start);

    unsigned checksum = 0;
    start = Clock::now();
    const std::size_t bytes = streamingRead(fileName, checksum);
    const double streamTime = secondsSince(start);

    CDynArray target;
    uint32_t loads = 0;
    const std::size_t heapBefore = heapInUse();
    start = Clock::now();
    if (!ReadObjectFile(fileName, target, [&](const std::string&, int, int, int) { return ++loads; }))
        return false;
    const double readTime = secondsSince(start);
    const std::size_t held = heapInUse() - heapBefore;
    if (target.Count() != count)
        return false;
    const double touchTime = touchFreshMemory(held, count);

    std::printf("%9d polygons, %10zu bytes: WriteObjectFile %7.3f s\n", count, bytes, writeTime);
    std::printf("    ReadObjectFile %7.3f s | streaming 64 KiB read %7.3f s (reader/stream %6.1f) | "
                "touching %zu fresh bytes %7.3f s (reader/touch %5.2f)\n",
                readTime, streamTime, readTime / streamTime, held, touchTime, readTime / touchTime);
    std::printf("    held after reading: %.1f bytes per polygon (%u textures loaded, checksum %u)\n",
                double(held) / count, loads, checksum & 0xFF);
    return true;
}

const char* const kHelp =
    "Usage: model_bench [FOLDER]\n"
    "Times the object file writer and reader at 100,000 and 1,000,000 polygons, the reader\n"
    "against streaming the same file through a 64 KiB buffer and against writing as much\n"
    "fresh memory as it keeps, and the bytes it holds per polygon. The file is written as\n"
    "FOLDER/model_bench.3do (default /tmp) and removed afterwards.\n"
    "\n"
    "  -h, --help  show this help and exit\n";

} // namespace

int main(int argc, char** argv)
{
    if (FindInfoRequest(argc, argv) == InfoRequest::Help) {
        std::fputs(kHelp, stdout);
        return EXIT_SUCCESS;
    }
    // A mistyped option would otherwise be taken for the folder to write into.
    if (argc == 2 && argv[1][0] == '-') {
        std::fprintf(stderr, "model_bench: unknown option %s (see --help)\n", argv[1]);
        return 2;
    }
    if (argc > 2) {
        std::fprintf(stderr, "model_bench: one folder at most (see --help)\n");
        return 2;
    }
    std::string folder = argc > 1 ? argv[1] : "/tmp";
    std::string fileName = folder + "/model_bench.3do";
    bool ok = true;
    for (int count : {100000, 1000000})
        ok = ok && run(count, fileName);
    ::unlink(fileName.c_str());
    if (!ok) {
        std::fprintf(stderr, "model_bench: writing or reading %s failed\n", fileName.c_str());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
