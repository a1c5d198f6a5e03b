// Writes the sample objects and the bitmap they use into a folder:
//   make_examples <folder>
// cube.3do (six coloured quads), pyramid.3do (a quad and four triangles),
// crate.3do (a cube with crate.bmp on its sides) and crate.bmp (64 x 64, 24-bit).
#include "DynArray.h"
#include "ObjectFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

struct Corner {
    float x, y, z;
};

int32_t colourValue(int r, int g, int b) { return r | (g << 8) | (b << 16); }

tElement polygon(const char* name, std::initializer_list<Corner> corners)
{
    tElement e;
    e.type = corners.size() == 3 ? "Triangle" : "Quad";
    e.name = name;
    int i = 0;
    for (const Corner& c : corners) {
        e.vertex[i++] = c.x;
        e.vertex[i++] = c.y;
        e.vertex[i++] = c.z;
    }
    return e;
}

tElement coloured(tElement e, int r, int g, int b)
{
    e.color = colourValue(r, g, b);
    e.red = r;
    e.green = g;
    e.blue = b;
    return e;
}

tElement textured(tElement e, const char* texture)
{
    e.color = e.red = e.green = e.blue = -1;
    e.texture = texture;
    return e;
}

// The six faces of a cube of side 2h about the origin, each turning counter-clockwise
// when seen from outside, corner 1 at the face's lower left.
std::vector<tElement> cubeFaces(float h)
{
    return {
        polygon("Front", {{-h, -h, h}, {h, -h, h}, {h, h, h}, {-h, h, h}}),
        polygon("Right", {{h, -h, h}, {h, -h, -h}, {h, h, -h}, {h, h, h}}),
        polygon("Back", {{h, -h, -h}, {-h, -h, -h}, {-h, h, -h}, {h, h, -h}}),
        polygon("Left", {{-h, -h, -h}, {-h, -h, h}, {-h, h, h}, {-h, h, -h}}),
        polygon("Top", {{-h, h, h}, {h, h, h}, {h, h, -h}, {-h, h, -h}}),
        polygon("Bottom", {{-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h}}),
    };
}

bool save(const std::string& path, const std::vector<tElement>& polygons)
{
    CDynArray list;
    for (const tElement& e : polygons)
        list.Add(e);
    const bool ok = WriteObjectFile(path, list.First(), list.Count());
    std::printf("%s %s (%d polygons)\n", ok ? "wrote" : "could not write", path.c_str(),
                list.Count());
    return ok;
}

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// Wooden boards with a darker frame and a cross brace, bottom row first.
bool writeCrateBitmap(const std::string& path)
{
    const int size = 64;
    const int stride = size * 3;
    std::vector<uint8_t> bmp;
    bmp.push_back('B');
    bmp.push_back('M');
    put32(bmp, 54 + stride * size);
    put32(bmp, 0);
    put32(bmp, 54);
    put32(bmp, 40);
    put32(bmp, size);
    put32(bmp, size);
    put16(bmp, 1);
    put16(bmp, 24);
    put32(bmp, 0);
    put32(bmp, stride * size);
    put32(bmp, 2835);
    put32(bmp, 2835);
    put32(bmp, 0);
    put32(bmp, 0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool frame = x < 6 || x >= size - 6 || y < 6 || y >= size - 6;
            const bool brace = std::abs(x - y) < 5;
            const bool seam = y % 13 == 0;
            const int grain = static_cast<int>(12 * std::sin(x * 0.45 + y * 0.07));
            int r = 196 + grain, g = 142 + grain, b = 84 + grain / 2;
            if (seam) {
                r = 120, g = 80, b = 40;
            }
            if (frame || brace) {
                r = 140 + grain, g = 96 + grain, b = 52;
            }
            bmp.push_back(static_cast<uint8_t>(b));
            bmp.push_back(static_cast<uint8_t>(g));
            bmp.push_back(static_cast<uint8_t>(r));
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    out.close();
    std::printf("%s %s\n", out ? "wrote" : "could not write", path.c_str());
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];

    std::vector<tElement> cube;
    const int colours[6][3] = {{220, 40, 40}, {40, 160, 60},  {40, 80, 220},
                               {230, 200, 40}, {200, 60, 200}, {40, 190, 200}};
    std::vector<tElement> faces = cubeFaces(60);
    for (int i = 0; i < 6; ++i)
        cube.push_back(coloured(faces[i], colours[i][0], colours[i][1], colours[i][2]));

    const float b = 70, base = -60, apex = 80;
    const std::vector<tElement> pyramid = {
        coloured(polygon("Base", {{-b, base, -b}, {b, base, -b}, {b, base, b}, {-b, base, b}}),
                 150, 110, 60),
        coloured(polygon("South", {{-b, base, b}, {b, base, b}, {0, apex, 0}}), 230, 190, 90),
        coloured(polygon("East", {{b, base, b}, {b, base, -b}, {0, apex, 0}}), 210, 160, 70),
        coloured(polygon("North", {{b, base, -b}, {-b, base, -b}, {0, apex, 0}}), 230, 190, 90),
        coloured(polygon("West", {{-b, base, -b}, {-b, base, b}, {0, apex, 0}}), 210, 160, 70),
    };

    std::vector<tElement> crate;
    for (int i = 0; i < 6; ++i)
        crate.push_back(i < 4 ? textured(faces[i], "crate.bmp")
                              : coloured(faces[i], 120, 80, 40));

    bool ok = writeCrateBitmap(dir + "/crate.bmp");
    ok = save(dir + "/cube.3do", cube) && ok;
    ok = save(dir + "/pyramid.3do", pyramid) && ok;
    ok = save(dir + "/crate.3do", crate) && ok;
    return ok ? 0 : 1;
}
