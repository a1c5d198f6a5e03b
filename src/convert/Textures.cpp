#include "Textures.h"

#include "Latin1.h"
#include "SafeSave.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <sys/stat.h>

namespace {

// Texture coordinates are single floats: off a whole pixel by more than this they are
// taken for a mapping of their own, not a rectangle of pixels.
constexpr double kPixelTolerance = 0.01;
// New pictures held until the object is written; past this the faces keep a colour.
constexpr std::size_t kMaxPendingBytes = std::size_t(256) << 20;
constexpr std::size_t kMaxNameBytes = 30;

bool wholePixel(double v, int& out)
{
    const double r = std::round(v);
    if (!(std::fabs(v - r) <= kPixelTolerance) || std::fabs(r) > 1e7)
        return false;
    out = int(r);
    return true;
}

// The renderer's (s, t) of the corners, in its order: a triangle shows the lower-left half.
constexpr int kQuadCorner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
constexpr int kTriangleCorner[3][2] = {{0, 0}, {1, 0}, {0, 1}};

std::optional<PictureCut> cutFrom(const int (*px)[2], int corners, int start, int width, int height)
{
    const auto at = [&](int k) { return px[(start + k) % corners]; };
    PictureCut cut;
    cut.start = start;
    cut.x = at(0)[0], cut.y = at(0)[1];
    cut.ax = at(1)[0] - cut.x, cut.ay = at(1)[1] - cut.y;
    const int* last = at(corners == 4 ? 3 : 2);
    cut.bx = last[0] - cut.x, cut.by = last[1] - cut.y;
    const bool aAlongX = cut.ax != 0 && cut.ay == 0, aAlongY = cut.ax == 0 && cut.ay != 0;
    const bool bAlongX = cut.bx != 0 && cut.by == 0, bAlongY = cut.bx == 0 && cut.by != 0;
    if (!((aAlongX && bAlongY) || (aAlongY && bAlongX)))
        return std::nullopt;
    const auto& corner = corners == 4 ? kQuadCorner : kTriangleCorner;
    for (int k = 0; k < corners; ++k) {
        const int s = corner[k][0], t = corner[k][1];
        if (at(k)[0] != cut.x + s * cut.ax + t * cut.bx || at(k)[1] != cut.y + s * cut.ay + t * cut.by)
            return std::nullopt;
    }
    // Textures repeat: a rectangle within one repetition of the picture, wherever that
    // lies, is the same rectangle of the picture.
    const auto periodOf = [](int v, int size) { return v >= 0 ? v / size : -((-v + size - 1) / size); };
    const int x0 = std::min(cut.x, cut.x + cut.ax + cut.bx), x1 = std::max(cut.x, cut.x + cut.ax + cut.bx);
    const int y0 = std::min(cut.y, cut.y + cut.ay + cut.by), y1 = std::max(cut.y, cut.y + cut.ay + cut.by);
    const int shiftX = periodOf(x0, width) * width, shiftY = periodOf(y0, height) * height;
    if (x1 - shiftX > width || y1 - shiftY > height || cut.width() > kMaxBitmapSide ||
        cut.height() > kMaxBitmapSide)
        return std::nullopt;
    cut.x -= shiftX;
    cut.y -= shiftY;
    return cut;
}

// What a picture's name comes to as a file name of ours: Latin-1, no folder, no characters
// a shell or the list box would trip over.
std::string stemOf(const std::string& sourceName)
{
    std::string name = sourceName;
    std::replace(name.begin(), name.end(), '\\', '/');
    name = name.substr(name.find_last_of('/') + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    name = ToLatin1(name);
    for (char& c : name)
        if (c == ' ' || c == '*' || c == '?' || c == ':' || c == '"')
            c = '_';
    while (!name.empty() && name[0] == '.')
        name.erase(0, 1);
    return name.empty() ? "texture" : name;
}

bool samePixels(const BitmapImage& a, const BitmapImage& b)
{
    if (a.width != b.width || a.height != b.height)
        return false;
    const std::size_t row = std::size_t(a.width) * 3;
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(&a.pixels[std::size_t(y) * a.rowStride()],
                        &b.pixels[std::size_t(y) * b.rowStride()], row) != 0)
            return false;
    return true;
}

} // namespace

std::optional<PictureCut> FindPictureCut(const double (*uv)[2], int corners, int width, int height)
{
    if ((corners != 3 && corners != 4) || width <= 0 || height <= 0)
        return std::nullopt;
    int px[4][2];
    for (int k = 0; k < corners; ++k)
        if (!wholePixel(uv[k][0] * width, px[k][0]) || !wholePixel(uv[k][1] * height, px[k][1]))
            return std::nullopt;
    // The face's own first corner is kept where the mapping allows it.
    for (int start = 0; start < corners; ++start)
        if (auto cut = cutFrom(px, corners, start, width, height))
            return cut;
    return std::nullopt;
}

BitmapImage CutPicture(const RgbaImage& picture, const PictureCut& cut)
{
    BitmapImage out;
    out.width = cut.width();
    out.height = cut.height();
    out.pixels.assign(std::size_t(out.rowStride()) * out.height, 0);
    for (int j = 0; j < out.height; ++j) {
        // Pixel centres: the point of the picture each of ours shows lies inside one pixel.
        const double t = (j + 0.5) / out.height;
        for (int i = 0; i < out.width; ++i) {
            const double s = (i + 0.5) / out.width;
            const int x = std::clamp(int(std::floor(cut.x + s * cut.ax + t * cut.bx)), 0, picture.width - 1);
            const int y = std::clamp(int(std::floor(cut.y + s * cut.ay + t * cut.by)), 0, picture.height - 1);
            const uint8_t* from = &picture.pixels[(std::size_t(picture.height - 1 - y) * picture.width + x) * 4];
            uint8_t* to = &out.pixels[std::size_t(j) * out.rowStride() + std::size_t(i) * 3];
            to[0] = from[2], to[1] = from[1], to[2] = from[0];
        }
    }
    return out;
}

std::string BitmapsBeside::nameFor(const BitmapImage& bitmap, const std::string& sourceName)
{
    auto key = std::make_tuple(bitmap.width, bitmap.height, bitmap.pixels);
    if (auto found = named_.find(key); found != named_.end())
        return found->second;
    const std::string stem = stemOf(sourceName);
    for (int n = 1; n < 1000; ++n) {
        const std::string suffix = (n == 1 ? std::string() : "-" + std::to_string(n)) + ".bmp";
        const std::string name = stem.substr(0, kMaxNameBytes - suffix.size()) + suffix;
        if (taken_.count(name))
            continue;
        const std::string path = folder_ + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0) {
            taken_[name] = true;
            auto existing = ReadBitmapFile(path);
            if (!existing || !samePixels(*existing, bitmap))
                continue;
            ++reused_;
        } else {
            std::vector<uint8_t> bytes = EncodeBitmapFile(bitmap);
            if (pendingBytes_ + bytes.size() > kMaxPendingBytes)
                return {};
            taken_[name] = true;
            pendingBytes_ += bytes.size();
            pending_.emplace_back(name, std::move(bytes));
        }
        return named_[std::move(key)] = name;
    }
    return {};
}

bool BitmapsBeside::save(std::string& error)
{
    for (const auto& [name, bytes] : pending_) {
        std::string reason;
        if (!SaveFileSafely(folder_ + "/" + name, bytes.data(), bytes.size(), reason)) {
            error = folder_ + "/" + name + ": " + reason;
            return false;
        }
    }
    return true;
}
