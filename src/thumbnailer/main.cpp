// 3dvorlan-thumbnailer -s SIZE IN OUT: a PNG picture of an object file for file managers.
#include "CommandLine.h"
#include "ObjectFile.h"
#include "Picture.h"
#include "SafeSave.h"
#include "Version.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kProgram = "3dvorlan-thumbnailer";
constexpr int kLargestSize = 4096;

void usage(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: %s -s SIZE IN.3do OUT.png\n"
                 "Draws a picture of a 3D-Vorlan object, as the program's view shows it at\n"
                 "start-up (moved and made smaller where the view would not show all of it),\n"
                 "at most SIZE pixels wide and high, and writes it as PNG to OUT. Needs no\n"
                 "display.\n\n"
                 "  -s, --size SIZE  largest side of the picture in pixels (1 to %d)\n"
                 "  -h, --help       show this help and exit\n"
                 "  -V, --version    show the version and exit\n",
                 kProgram, kLargestSize);
}

int fail(const std::string& subject, const std::string& reason)
{
    if (subject.empty())
        std::fprintf(stderr, "%s: %s\n", kProgram, reason.c_str());
    else
        std::fprintf(stderr, "%s: %s: %s\n", kProgram, subject.c_str(), reason.c_str());
    return 1;
}

bool parseSize(const char* text, int& size)
{
    const char* end = text + std::strlen(text);
    auto [rest, ec] = std::from_chars(text, end, size);
    return ec == std::errc() && rest == end && size >= 1 && size <= kLargestSize;
}

} // namespace

int main(int argc, char** argv)
{
    switch (FindInfoRequest(argc, argv)) {
    case InfoRequest::Help:
        usage(stdout);
        return 0;
    case InfoRequest::Version:
        std::printf("%s %s\n", kProgram, VORLAN_VERSION);
        return 0;
    case InfoRequest::None:
        break;
    }
    int size = 0;
    const char* files[2] = {nullptr, nullptr};
    int fileCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-s" || arg == "--size") {
            if (i + 1 >= argc)
                return fail("", "option " + arg + " needs a size");
            if (!parseSize(argv[++i], size))
                return fail("", "size '" + std::string(argv[i]) + "' is not a whole number from 1 to " +
                                    std::to_string(kLargestSize));
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("", "unknown option " + arg + " (see --help)");
        } else if (fileCount < 2) {
            files[fileCount++] = argv[i];
        } else {
            return fail("", "too many file names (see --help)");
        }
    }
    if (size == 0 || fileCount != 2)
        return fail("", "usage: " + std::string(kProgram) + " -s SIZE IN.3do OUT.png");

    const std::string in = files[0];
    struct stat info {};
    if (stat(in.c_str(), &info) != 0)
        return fail(in, std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return fail(in, "not a regular file");
    if (access(in.c_str(), R_OK) != 0)
        return fail(in, std::strerror(errno));

    CDynArray list;
    std::string error;
    // A file manager asks for a picture of anything named .3do; only a true object file gets
    // one. Textures are loaded in the picture's own context, so the reader loads none.
    if (!ReadObjectFileStrictly(in, list, TextureLoader(), error))
        return fail(in, error);
    if (list.Count() == 0)
        return fail(in, "holds no complete polygon record");

    // The view's aspect, its longer side SIZE pixels.
    PictureOptions options;
    const double aspect = double(options.width) / double(options.height);
    if (aspect <= 1.0) {
        options.height = size;
        options.width = std::max(1, int(std::lround(size * aspect)));
    } else {
        options.width = size;
        options.height = std::max(1, int(std::lround(size / aspect)));
    }
    // Bare texture names are found beside the object, as after the window's Open.
    options.textureFolder = QFile::encodeName(QFileInfo(QFile::decodeName(in.c_str())).absolutePath())
                                .toStdString();

    FrameObject(list, options);

    QImage image;
    if (!RenderPicture(list, options, image, error))
        return fail(in, error);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return fail(in, "the picture cannot be encoded as PNG: " + writer.errorString().toStdString());
    // Through the program's one safe save: OUT is never left half-written, a link is followed
    // and a device or FIFO is written into, not replaced.
    if (!SaveFileSafely(files[1], png.constData(), std::size_t(png.size()), error))
        return fail(files[1], error);
    return 0;
}
