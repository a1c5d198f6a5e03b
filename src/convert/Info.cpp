#include "Info.h"

#include "BitmapFile.h"
#include "Latin1.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>

#include <sys/stat.h>

namespace {

std::string number(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

std::string textureState(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return "missing";
    if (!S_ISREG(st.st_mode))
        return "not a file";
    return ReadBitmapFile(path) ? "found" : "found, but not a 24-bit uncompressed BMP";
}

} // namespace

std::string DescribeObject(const CDynArray& list, const std::string& textureFolder)
{
    int triangles = 0, quads = 0;
    float lo[3], hi[3];
    std::fill(lo, lo + 3, std::numeric_limits<float>::infinity());
    std::fill(hi, hi + 3, -std::numeric_limits<float>::infinity());
    std::map<std::array<int, 3>, int> colours;
    std::map<std::string, int> textures;
    int remaining = list.Count();
    for (const tElement* p = list.First(); p && remaining > 0; p = p->next, --remaining) {
        const int corners = p->isTriangle() ? 3 : 4;
        ++(corners == 3 ? triangles : quads);
        for (int k = 0; k < corners; ++k)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], p->vertex[3 * k + a]);
                hi[a] = std::max(hi[a], p->vertex[3 * k + a]);
            }
        if (p->isTextured())
            ++textures[p->texture];
        else
            ++colours[{p->red, p->green, p->blue}];
    }
    std::ostringstream out;
    out << "polygons: " << list.Count() << " (" << triangles << " triangles, " << quads
        << " quads)\n";
    if (list.Count() > 0) {
        out << "bounding box:";
        const char* axis[3] = {"x", "y", "z"};
        for (int a = 0; a < 3; ++a)
            out << ' ' << axis[a] << ' ' << number(lo[a]) << ".." << number(hi[a]);
        out << '\n';
    }
    out << "colours: " << colours.size() << '\n';
    for (const auto& [rgb, count] : colours) {
        char text[64];
        std::snprintf(text, sizeof text, "  #%02x%02x%02x (%d, %d, %d): %d polygon%s\n",
                      unsigned(rgb[0] & 0xFF), unsigned(rgb[1] & 0xFF), unsigned(rgb[2] & 0xFF),
                      rgb[0], rgb[1], rgb[2], count, count == 1 ? "" : "s");
        out << text;
    }
    out << "textures: " << textures.size() << '\n';
    for (const auto& [name, count] : textures) {
        std::string path = textureFolder.empty() ? name : textureFolder + "/" + name;
        out << "  " << Latin1ToUtf8(name) << ": " << count << " polygon" << (count == 1 ? "" : "s")
            << ", " << (name.empty() ? "no name" : textureState(path)) << '\n';
    }
    return out.str();
}
