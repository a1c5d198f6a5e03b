// A thumbnail of a large object: the thumbnailer's time and peak memory against reading the
// file alone and against drawing the scene alone in the same offscreen context, each side in
// a process of its own so that peak memory is its own. Its command line is in kHelp.
#include "CommandLine.h"
#include "Geometry.h"
#include "ObjectFile.h"
#include "OffscreenContext.h"
#include "Picture.h"
#include "Scene.h"

#include <GL/gl.h>

#include <QFile>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Measure {
    double seconds = 0;   // wall time of the measured work
    double extra = 0;     // further figures the work reports
    double first = 0;
    double cpuSeconds = 0; // user and system time of the process
    long peakKiB = 0;     // peak resident memory of its process
};

// Runs work in a child process; it reports its figures through a pipe.
Measure inChild(const std::function<bool(Measure&)>& work)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::exit(2);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Measure m;
        const bool ok = work(m);
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        m.peakKiB = usage.ru_maxrss;
        if (write(fds[1], &m, sizeof m) != sizeof m)
            _exit(3);
        _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    Measure m;
    const bool got = read(fds[0], &m, sizeof m) == sizeof m;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a measured step failed\n");
        std::exit(1);
    }
    return m;
}

// The thumbnailer program as a file manager runs it, with no display.
Measure thumbnailer(const std::string& size, const std::string& in, const std::string& out)
{
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        execl(VORLAN_THUMBNAILER, VORLAN_THUMBNAILER, "-s", size.c_str(), in.c_str(), out.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    Measure m;
    m.seconds = secondsSince(start);
    m.peakKiB = usage.ru_maxrss;
    m.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the thumbnailer failed on %s\n", in.c_str());
        std::exit(1);
    }
    return m;
}

bool writeBitmap(const std::string& path, int side, int seed)
{
    QImage image(side, side, QImage::Format_RGB888);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qRgb((x * 4 + seed * 60) & 0xFF, (y * 4) & 0xFF, seed * 80));
    return image.save(QString::fromStdString(path), "BMP");
}

// Small polygons spread through the view's volume; every tenth textured by one of three
// bitmaps beside the file.
bool writeObject(const std::string& folder, int count)
{
    for (int t = 0; t < 3; ++t)
        if (!writeBitmap(folder + "/texture" + std::to_string(t) + ".bmp", 64, t))
            return false;
    CDynArray list;
    std::srand(7);
    auto coordinate = [] { return float(std::rand() % 240 - 120); };
    for (int i = 0; i < count; ++i) {
        tElement e;
        e.type = i % 2 ? "Quad" : "Triangle";
        e.name = "polygon " + std::to_string(i);
        const float x = coordinate(), y = coordinate(), z = coordinate();
        const float corners[12] = {x, y, z, x + 8, y, z, x + 8, y + 8, z + 2, x, y + 8, z + 2};
        std::copy(corners, corners + 12, e.vertex);
        if (i % 10 == 0) {
            e.color = e.red = e.green = e.blue = -1;
            e.texture = "texture" + std::to_string(i % 3) + ".bmp";
        } else {
            e.red = i & 0xFF;
            e.green = (i >> 8) & 0xFF;
            e.blue = 0x80;
            e.color = e.red | (e.green << 8) | (e.blue << 16);
        }
        if (!list.Add(e))
            return false;
    }
    return WriteObjectFile(folder + "/large.3do", list.First(), list.Count());
}

const char* const kHelp =
    "Usage: picture_bench [POLYGONS [SIZE]] [EXAMPLE.3do ...]\n"
    "A SIZE-pixel thumbnail (default 256) of an object of POLYGONS polygons (default\n"
    "100000) by 3dvorlan-thumbnailer, its time and peak memory against reading the file\n"
    "alone and drawing the scene alone, each in a process of its own; then the thumbnailer\n"
    "on each EXAMPLE. Needs no display.\n"
    "\n"
    "  -h, --help  show this help and exit\n";

} // namespace

int main(int argc, char** argv)
{
    if (FindInfoRequest(argc, argv) == InfoRequest::Help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    int polygons = 100000, size = 256;
    int next = 1;
    if (next < argc && std::atoi(argv[next]) > 0)
        polygons = std::atoi(argv[next++]);
    if (next < argc && std::atoi(argv[next]) > 0)
        size = std::atoi(argv[next++]);

    char folderTemplate[] = "/tmp/picture_bench.XXXXXX";
    const char* made = mkdtemp(folderTemplate);
    if (!made)
        return 2;
    const std::string folder = made;
    const std::string file = folder + "/large.3do";
    if (!writeObject(folder, polygons)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    // The thumbnail's size: the view's aspect, its longer side SIZE.
    const int width = int(std::lround(size * double(kViewDesignWidth) / kViewDesignHeight)), height = size;

    const Measure readAlone = inChild([&](Measure& m) {
        CDynArray list;
        const auto start = Clock::now();
        const bool ok = ReadObjectFile(file, list, TextureLoader());
        m.seconds = secondsSince(start);
        return ok && list.Count() == polygons;
    });

    // The scene drawn alone in a context already made: the first frame (the GL compiles its
    // shaders for it) and the best of five, each finished by the GL.
    const Measure drawAlone = inChild([&](Measure& m) {
        CDynArray list;
        if (!ReadObjectFile(file, list, TextureLoader()))
            return false;
        OffscreenContext context;
        std::string error;
        const auto start = Clock::now();
        if (!context.create(width, height, error))
            return false;
        m.extra = secondsSince(start);
        scene::SetFixedState();
        scene::SetupLightAndMaterial();
        PictureOptions options;
        scene::ApplySwitches(options.view);
        scene::SetProjection(width, height, width, height, options.view.lightPosition);
        for (tElement* p = list.First(); p; p = p->next)
            if (p->isTextured())
                p->textureId = 0;
        float shadow[16];
        MakeShadowMatrix(kGroundPlanePoints, options.view.lightPosition, shadow);
        m.seconds = 1e9;
        for (int i = 0; i < 5; ++i) {
            const auto frame = Clock::now();
            scene::DrawScene(list, options.pose, options.view, shadow);
            glFinish();
            m.seconds = std::min(m.seconds, secondsSince(frame));
            if (i == 0)
                m.first = secondsSince(frame);
        }
        return true;
    });

    const Measure thumbnail = thumbnailer(std::to_string(size), file, folder + "/large.png");

    std::printf("%d polygons, %d x %d thumbnail (file %ld KiB)\n", polygons, width, height,
                long(QFile(QString::fromStdString(file)).size() / 1024));
    std::printf("  %-44s %8.3f s  peak %7ld KiB\n", "reading the file alone", readAlone.seconds,
                readAlone.peakKiB);
    std::printf("  %-44s %8.3f s  peak %7ld KiB\n", "DrawScene alone, best of 5 (context made)",
                drawAlone.seconds, drawAlone.peakKiB);
    std::printf("  %-44s %8.3f s\n", "DrawScene alone, first frame", drawAlone.first);
    std::printf("  %-44s %8.3f s\n", "making the offscreen context", drawAlone.extra);
    std::printf("  %-44s %8.3f s  peak %7ld KiB  cpu %.3f s\n",
                "3dvorlan-thumbnailer, whole process", thumbnail.seconds, thumbnail.peakKiB,
                thumbnail.cpuSeconds);
    std::printf("  thumbnailer / (read + first frame + context) = %.2f;  peak thumbnailer / read = %.2f\n",
                thumbnail.seconds / (readAlone.seconds + drawAlone.first + drawAlone.extra),
                double(thumbnail.peakKiB) / double(readAlone.peakKiB));

    for (int i = next; i < argc; ++i) {
        const Measure m = thumbnailer(std::to_string(size), argv[i], folder + "/example.png");
        std::printf("  thumbnailer on %-29s %8.3f s  peak %7ld KiB  cpu %.3f s\n", argv[i],
                    m.seconds, m.peakKiB, m.cpuSeconds);
    }

    std::system(("rm -rf '" + folder + "'").c_str());
    return 0;
}
