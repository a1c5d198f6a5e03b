// Times the object file writer and reader against a plain read of the same file, at two
// sizes, so that the growth of the reader can be seen to be linear.
#include "ObjectFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The whole file into memory: the floor that no reader can beat.
std::size_t plainRead(const std::string& fileName)
{
    int fd = ::open(fileName.c_str(), O_RDONLY);
    if (fd < 0)
        return 0;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return 0;
    }
    std::vector<char> all(std::size_t(st.st_size));
    std::size_t got = 0;
    for (ssize_t n; got < all.size() && (n = ::read(fd, all.data() + got, all.size() - got)) > 0;)
        got += std::size_t(n);
    all.resize(got);
    ::close(fd);
    return all.size();
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

    start = Clock::now();
    std::size_t bytes = plainRead(fileName);
    double plainTime = secondsSince(start);

    CDynArray target;
    uint32_t loads = 0;
    start = Clock::now();
    if (!ReadObjectFile(fileName, target, [&](const std::string&, int, int, int) { return ++loads; }))
        return false;
    double readTime = secondsSince(start);
    if (target.Count() != count)
        return false;

    std::printf("%9d polygons, %10zu bytes: WriteObjectFile %7.3f s, ReadObjectFile %7.3f s, "
                "plain read %7.3f s (%u textures loaded)\n",
                count, bytes, writeTime, readTime, plainTime, loads);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
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
