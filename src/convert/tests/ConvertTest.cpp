// The converter's library: round trips through the mesh formats, real files of other
// programs, placement of a known box, and the object output in chunks.
#include "Export.h"
#include "Import.h"
#include "Latin1.h"
#include "ObjectFile.h"
#include "ObjectOutput.h"
#include "Progress.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

const std::string kModels = "/usr/share/assimp/models/";

tElement polygon(const char* type, std::initializer_list<float> corners, int r, int g, int b)
{
    tElement e;
    e.type = type;
    e.name = "p";
    std::copy(corners.begin(), corners.end(), e.vertex);
    e.red = r, e.green = g, e.blue = b;
    e.color = r | g << 8 | b << 16;
    return e;
}

// What a round trip must keep of a polygon: its type, its corners in order, its colour.
using Kept = std::tuple<std::string, std::array<float, 12>, int, int, int>;

std::vector<Kept> kept(const CDynArray& list)
{
    std::vector<Kept> out;
    for (const tElement* e = list.First(); e; e = e->next) {
        std::array<float, 12> v{};
        std::copy(e->vertex, e->vertex + 12, v.begin());
        out.emplace_back(e->type, v, e->red, e->green, e->blue);
        EXPECT_EQ(e->color, e->red | e->green << 8 | e->blue << 16);
    }
    std::sort(out.begin(), out.end());
    return out;
}

ImportContext unplaced()
{
    ImportContext context;
    context.options.fit = false;
    return context;
}

bool importInto(const std::string& file, const ImportContext& context, CDynArray& list,
                ImportReport& report, std::string& error)
{
    return ImportMeshFile(file, context, [&](const tElement& e) { return list.Add(e); }, report, error);
}

bool importText(const std::string& text, const std::string& hint, const ImportContext& context,
                CDynArray& list, ImportReport& report)
{
    std::string error;
    bool ok = ImportMeshMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size(), hint,
                               context, [&](const tElement& e) { return list.Add(e); }, report, error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

TEST(ConvertRoundTrip, MeshFormatsKeepTypeCornersAndColour)
{
    // Corners off the axes and in every octant, colours with 0x0A and 255 in them, and two
    // polygons of the same colour, so grouping by material cannot merge or reorder corners.
    CDynArray list;
    list.Add(polygon("Triangle", {-10, 0, 5, 30, -7, 5, 0, 40, -640}, 10, 200, 255));
    list.Add(polygon("Quad", {-50, -50, 0, 50, -50, 0, 50, 50, 3, -50, 50, 0}, 255, 0, 0));
    list.Add(polygon("Quad", {0, 0, 100, 0, 100, 100, 640, 100, 0, 0, 0, -1}, 255, 0, 0));
    list.Add(polygon("Triangle", {1, 2, 3, 4, 5, 6, 7, 8, 10}, 0, 0, 0));
    for (const char* ext : {"obj", "ply", "glb", "gltf"}) {
        SCOPED_TRACE(ext);
        TempDir dir;
        std::string file = dir.file(std::string("object.") + ext), error;
        ASSERT_TRUE(ExportObject(list, file, ExporterFor(ext), ExportContext(), error)) << error;
        CDynArray back;
        ImportReport report;
        ASSERT_TRUE(importInto(file, unplaced(), back, report, error)) << error;
        EXPECT_EQ(kept(back), kept(list));
        EXPECT_EQ(report.split + report.degenerate + report.clamped, 0u);
    }
}

TEST(ConvertRoundTrip, StlKeepsTheSurfaceAsTriangles)
{
    CDynArray list;
    list.Add(polygon("Quad", {-50, -50, 0, 50, -50, 0, 50, 50, 0, -50, 50, 0}, 1, 2, 3));
    list.Add(polygon("Triangle", {0, 0, 9, 9, 0, 9, 0, 9, 9}, 1, 2, 3));
    TempDir dir;
    std::string error;
    ASSERT_TRUE(ExportObject(list, dir.file("a.stl"), "stlb", ExportContext(), error)) << error;
    CDynArray back;
    ImportReport report;
    ASSERT_TRUE(importInto(dir.file("a.stl"), unplaced(), back, report, error)) << error;
    ASSERT_EQ(report.triangles, 3u);
    // The quad's halves turn the same way as the quad: their first corner is its first.
    const tElement* half = back.First();
    EXPECT_EQ(std::vector<float>(half->vertex, half->vertex + 9),
              std::vector<float>({-50, -50, 0, 50, -50, 0, 50, 50, 0}));
}

TEST(ConvertRoundTrip, GltfCarriesTheBitmapAndTheRenderersTextureCoordinates)
{
    TempDir dir;
    // A 2 x 2 bitmap, bottom row blue and red, top row green and white.
    Bytes bmp(54 + 16, 0);
    bmp[0] = 'B', bmp[1] = 'M';
    putLe32(bmp, 2, uint32_t(bmp.size()));
    putLe32(bmp, 10, 54);
    putLe32(bmp, 14, 40);
    putLe32(bmp, 18, 2);
    putLe32(bmp, 22, 2);
    putLe16(bmp, 26, 1);
    putLe16(bmp, 28, 24);
    const uint8_t rows[16] = {255, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0};
    std::copy(rows, rows + 16, bmp.begin() + 54);
    writeBytes(dir.file("tile.bmp"), bmp);

    CDynArray list;
    tElement e = polygon("Triangle", {0, 0, 0, 10, 0, 0, 0, 10, 0}, -1, -1, -1);
    e.color = -1;
    e.texture = "tile.bmp";
    list.Add(e);
    ExportContext context;
    context.textureFolder = dir.path();
    std::vector<uint8_t> encoded;
    int seenWidth = 0;
    std::vector<uint8_t> seenRgb;
    context.encodePng = [&](int w, int, const std::vector<uint8_t>& rgb, std::vector<uint8_t>& png) {
        seenWidth = w;
        seenRgb = rgb;
        png = {0x89, 'P', 'N', 'G'};
        return true;
    };
    std::string error;
    ASSERT_TRUE(ExportObject(list, dir.file("t.glb"), "glb2", context, error)) << error;
    // The picture goes to the encoder upright: top row (green, white) first.
    EXPECT_EQ(seenWidth, 2);
    EXPECT_EQ(seenRgb, std::vector<uint8_t>({0, 255, 0, 255, 255, 255, 0, 0, 255, 255, 0, 0}));

    // Read back, the corners carry the window's texture coordinates: the triangle's centre
    // (1/3, 1/3) lies on the bitmap's bottom-left texel, blue.
    ImportContext back = unplaced();
    back.decodeImage = [](const uint8_t* data, std::size_t size, RgbaImage& image) {
        if (size != 4 || data[1] != 'P')
            return false;
        image.width = 2, image.height = 2;
        image.pixels = {0, 255, 0, 255, 255, 255, 255, 255, 0, 0, 255, 255, 255, 0, 0, 255};
        return true;
    };
    CDynArray list2;
    ImportReport report;
    ASSERT_TRUE(importInto(dir.file("t.glb"), back, list2, report, error)) << error;
    ASSERT_EQ(list2.Count(), 1);
    EXPECT_EQ(std::make_tuple(list2.First()->red, list2.First()->green, list2.First()->blue),
              std::make_tuple(0, 0, 255));
}

struct RealFile {
    const char* file;
    std::size_t triangles, quads, split, degenerate;
};

TEST(ConvertRealFiles, ModelsOfOtherProgramsGiveTheirFaces)
{
    const RealFile files[] = {
        {"OBJ/box.obj", 0, 6, 0, 0},
        // The source has 28 faces of one point and 28 with two corners on one point.
        {"OBJ/spider.obj", 1312, 0, 0, 56},
        {"OBJ/concave_polygon.obj", 64, 0, 1, 0},
        {"STL/Spider_binary.stl", 1312, 0, 0, 56},
        {"STL/Spider_ascii.stl", 1312, 0, 0, 56},
        {"STL/triangle_with_two_solids.stl", 2, 0, 0, 0},
        {"PLY/cube.ply", 0, 6, 0, 0},
        {"PLY/Wuson.ply", 3732, 0, 0, 0},
        {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", 12, 0, 0, 0},
        {"glTF2/BoxTextured-glTF/BoxTextured.gltf", 12, 0, 0, 0},
        {"OFF/Cube.off", 0, 6, 0, 0},
        {"3MF/box.3mf", 12, 0, 0, 0},
    };
    for (const RealFile& f : files) {
        SCOPED_TRACE(f.file);
        CDynArray list;
        ImportReport r;
        std::string error;
        ImportContext context = unplaced();
        context.options.rounding = Rounding::Never;
        ASSERT_TRUE(importInto(kModels + f.file, context, list, r, error)) << error;
        EXPECT_EQ(std::make_tuple(r.triangles, r.quads, r.split, r.degenerate),
                  std::make_tuple(f.triangles, f.quads, f.split, f.degenerate));
        EXPECT_EQ(std::size_t(list.Count()), r.polygons);
        for (const tElement* e = list.First(); e; e = e->next)
            ASSERT_FALSE(e->name.empty() || e->name.size() > 30);
    }
}

// A box 10 wide (x), 20 deep (y) and 40 high (z), as a Z-up program writes it; the top
// face turns towards +z.
const char* const kZUpBox =
    "o box\n"
    "v 0 0 0\nv 10 0 0\nv 10 20 0\nv 0 20 0\nv 0 0 40\nv 10 0 40\nv 10 20 40\nv 0 20 40\n"
    "f 5 6 7 8\nf 1 4 3 2\nf 1 2 6 5\nf 3 4 8 7\nf 2 3 7 6\nf 1 5 8 4\n";

TEST(ConvertPlacement, ZUpBoxIsTurnedFittedAndCentred)
{
    ImportContext context;
    context.options.zUp = true;
    CDynArray list;
    ImportReport report;
    ASSERT_TRUE(importText(kZUpBox, "obj", context, list, report));
    ASSERT_EQ(report.quads, 6u);
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (const tElement* e = list.First(); e; e = e->next)
        for (int i = 0; i < 12; ++i) {
            lo[i % 3] = std::min(lo[i % 3], e->vertex[i]);
            hi[i % 3] = std::max(hi[i % 3], e->vertex[i]);
        }
    // Height 40 becomes 200 along y; x and the former y keep the proportion (factor 5).
    EXPECT_EQ(std::vector<float>({lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]}),
              std::vector<float>({-25, 25, -100, 100, -50, 50}));
    // The former top now faces up: counter-clockwise seen from +y.
    const float* v = list.First()->vertex;
    float ux = v[3] - v[0], uz = v[5] - v[2], wx = v[6] - v[0], wz = v[8] - v[2];
    EXPECT_EQ(v[1], 100);
    EXPECT_GT(uz * wx - ux * wz, 0) << "normal must point to +y";
    EXPECT_EQ(list.First()->name, "box 1");
}

TEST(ConvertPlacement, RoundingClampingAndDegenerateFaces)
{
    const char* mesh =
        "o m\n"
        "v 0.4 0.6 -0.5\nv 2.5 0.2 0\nv 0 3.7 0\n"      // rounds to (0,1,-1) (3,0,0) (0,4,0)
        "v 1000 0 0\nv 0 -900 0\nv 0 0 5\n"            // two corners out of range
        "v 0.1 0.1 0.1\nv 0.2 0.2 0.2\nv -0.3 0.4 0\n" // one point after rounding
        "f 1 2 3\nf 4 5 6\nf 7 8 9\n";
    ImportContext context = unplaced();
    context.options.rounding = Rounding::Always;
    CDynArray list;
    ImportReport r;
    ASSERT_TRUE(importText(mesh, "obj", context, list, r));
    EXPECT_EQ(std::make_tuple(r.polygons, r.clamped, r.degenerate), std::make_tuple(2u, 1u, 1u));
    EXPECT_EQ(std::vector<float>(list.First()->vertex, list.First()->vertex + 9),
              std::vector<float>({0, 1, -1, 3, 0, 0, 0, 4, 0}));
    EXPECT_EQ(std::vector<float>(list.Last()->vertex, list.Last()->vertex + 9),
              std::vector<float>({640, 0, 0, 0, -640, 0, 0, 0, 5}));

    // Halves go away from zero and a small negative keeps its sign, as std::round has it; a
    // triangle after a quad has no fourth corner left over from it.
    const char* halves = "v -2.5 -0.3 7.5\nv 1 1 1\nv 0 5 0\nv 9 9 9\nf 4 3 2 1\nf 1 2 3\n";
    CDynArray after;
    ASSERT_TRUE(importText(halves, "obj", context, after, r));
    ASSERT_EQ(after.Count(), 2);
    const float* t = after.Last()->vertex;
    EXPECT_EQ(std::vector<float>(t, t + 3), std::vector<float>({-3, 0, 8}));
    EXPECT_TRUE(std::signbit(t[1]));
    EXPECT_EQ(std::vector<float>(t + 9, t + 12), std::vector<float>(3, 0.0f));

    CDynArray fractions;
    context.options.rounding = Rounding::Never;
    context.options.scale = 2;
    ASSERT_TRUE(importText(mesh, "obj", context, fractions, r));
    EXPECT_EQ(std::make_tuple(r.polygons, r.clamped, r.degenerate), std::make_tuple(3u, 0u, 0u));
    EXPECT_FLOAT_EQ(fractions.First()->vertex[0], 0.8f);
    EXPECT_FLOAT_EQ(fractions.First()->next->vertex[0], 2000.0f);
}

TEST(ConvertPlacement, LargeFacesSplitQuadsKeptNamesCut)
{
    // A concave hexagon (an L) and a bent quad under a long non-Latin-1 name.
    const char* mesh =
        "o \xe2\x82\xac" "abcdefghijklmnopqrstuvwxyz\xc3\xa9" "0123\n"
        "v 0 0 0\nv 20 0 0\nv 20 10 0\nv 10 10 0\nv 10 20 0\nv 0 20 0\nv 5 5 9\n"
        "f 1 2 3 4 5 6\nf 1 2 7 6\n";
    CDynArray list;
    ImportReport r;
    ASSERT_TRUE(importText(mesh, "obj", unplaced(), list, r));
    // The L's inner corner lies on the diagonal between its ends: three triangles cover it.
    EXPECT_EQ(std::make_tuple(r.triangles, r.quads, r.split), std::make_tuple(3u, 1u, 1u));
    // The L's triangles cover its area (300) and turn as it does (counter-clockwise in z).
    double area = 0;
    for (const tElement* e = list.First(); e && e->isTriangle(); e = e->next) {
        const float* v = e->vertex;
        double z = (v[3] - v[0]) * (v[7] - v[1]) - (v[4] - v[1]) * (v[6] - v[0]);
        EXPECT_GT(z, 0);
        area += z / 2;
    }
    EXPECT_DOUBLE_EQ(area, 300);
    EXPECT_EQ(list.Last()->type, "Quad");
    EXPECT_EQ(list.First()->name, "?abcdefghijklmnopqrstuvwxyz\xe9 1");
    EXPECT_EQ(list.Last()->name, "?abcdefghijklmnopqrstuvwxyz\xe9 4");
    EXPECT_EQ(NumberedName(std::string(40, 'x'), 12345).size(), 30u);
    // Names counted up in place are the names formatted anew, across the carries that make
    // the number longer and cut a long base by a byte.
    for (const std::string& base : {std::string("a b"), std::string(28, 'x')}) {
        NumberedNames names(base);
        tInlineText<31> name;
        for (int n = 1; n <= 1001; ++n) {
            names.next(name);
            if (name != NumberedName(base, n))
                FAIL() << base << " " << n << ": " << name;
        }
    }
    EXPECT_EQ(ToLatin1("\xc3\xa9\x01\xff"), std::string("\xe9 ?"));
}

double surface(const CDynArray& list)
{
    double total = 0;
    for (const tElement* e = list.First(); e; e = e->next) {
        const float* v = e->vertex;
        for (int k = 1; k + 1 < (e->isTriangle() ? 3 : 4); ++k) {
            const double u[3] = {v[3 * k] - v[0], v[3 * k + 1] - v[1], v[3 * k + 2] - v[2]};
            const double w[3] = {v[3 * k + 3] - v[0], v[3 * k + 4] - v[1], v[3 * k + 5] - v[2]};
            total += std::hypot(u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                                u[0] * w[1] - u[1] * w[0]) / 2;
        }
    }
    return total;
}

TEST(ConvertFaces, OutlinesKeepTheirAreaHolesIncluded)
{
    // A ring whose one outline runs in to the hole and back over the same corners; its
    // area, measured on the file's own outline, is 0.2455.
    CDynArray ring;
    ImportReport r;
    std::string error;
    ImportContext context = unplaced();
    context.options.rounding = Rounding::Never;
    ASSERT_TRUE(importInto(kModels + "OBJ/concave_polygon.obj", context, ring, r, error)) << error;
    EXPECT_NEAR(surface(ring), 0.2455, 0.0005);

    // A star of 600 corners, too many for any clipping that costs the square of them.
    const int points = 300;
    std::string star = "o star\n", face = "f";
    for (int i = 0; i < 2 * points; ++i) {
        const double angle = M_PI * i / points, radius = i % 2 ? 40 : 100;
        star += "v " + std::to_string(radius * std::cos(angle)) + " " +
                std::to_string(radius * std::sin(angle)) + " 0\n";
        face += " " + std::to_string(i + 1);
    }
    CDynArray stars;
    ASSERT_TRUE(importText(star + face + "\n", "obj", context, stars, r));
    EXPECT_NEAR(surface(stars), points * 100.0 * 40.0 * std::sin(M_PI / points), 1.0);
    for (const tElement* e = stars.First(); e; e = e->next) {
        const float* v = e->vertex;
        ASSERT_GT((v[3] - v[0]) * (v[7] - v[1]) - (v[4] - v[1]) * (v[6] - v[0]), 0)
            << "every piece turns as the star does";
    }
}

TEST(ConvertPlacement, WholeUnitsOnlyWhereNoFaceSuffersAndEveryFaceCounted)
{
    // Rounding moves these corners by less than a 1 % change of area.
    const char* large = "v 0.2 0 0\nv 100.3 0 0\nv 0 99.8 0\nv 0 0 0\nv 100 0 0\nv 0 100 0\n"
                        "f 1 2 3\nf 4 5 6\n";
    CDynArray whole;
    ImportReport r;
    ASSERT_TRUE(importText(large, "obj", unplaced(), whole, r));
    EXPECT_EQ(std::make_tuple(r.keptFractions, r.rounded), std::make_tuple(false, 1u));
    EXPECT_EQ(whole.First()->vertex[3], 100.0f);

    // One small triangle would lose its area, or a flat quad would bend: nothing is rounded.
    const char* small = "v 0 0 0\nv 100 0 0\nv 0 100 0\nv 0.1 0.1 0\nv 0.4 0.1 0\nv 0.1 0.4 0\n"
                        "f 1 2 3\nf 4 5 6\n";
    CDynArray kept;
    ASSERT_TRUE(importText(small, "obj", unplaced(), kept, r));
    EXPECT_EQ(std::make_tuple(r.keptFractions, r.harm, r.harmedFace, r.rounded),
              std::make_tuple(true, RoundingHarm::Collapse, 2u, 0u));
    EXPECT_FLOAT_EQ(kept.Last()->vertex[0], 0.1f);
    const char* bent = "v 0 0 0.4\nv 100 0 47.9\nv 100 100 71.4\nv 0 100 23.9\nf 1 2 3 4\n";
    ASSERT_TRUE(importText(bent, "obj", unplaced(), kept, r));
    EXPECT_EQ(std::make_tuple(r.keptFractions, r.harm), std::make_tuple(true, RoundingHarm::Bend));

    // Three corners on one line have no area, and a float's infinity is clamped like any
    // other corner beyond the range; both are told.
    const char* odd = "v 0 0 0\nv 1 1 1\nv 2 2 2\nv 0 0 0\nv 1e39 0 0\nv 0 5 0\nf 1 2 3\nf 4 5 6\n";
    CDynArray rest;
    ASSERT_TRUE(importText(odd, "obj", unplaced(), rest, r));
    EXPECT_EQ(std::make_tuple(r.polygons, r.degenerate, r.clamped), std::make_tuple(1u, 1u, 1u));
    EXPECT_EQ(rest.First()->vertex[3], 640.0f);
}

void writeText(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

std::string importFailure(const std::string& file, const ImportContext& context)
{
    CDynArray list;
    ImportReport r;
    std::string error;
    EXPECT_FALSE(importInto(file, context, list, r, error));
    return error;
}

TEST(ConvertLimits, ClaimsBeyondTheFileOrTheMemoryFailBeforeTheyAreSpent)
{
    TempDir dir;
    ImportContext context = unplaced();
    writeText(dir.file("huge.ply"), "ply\nformat binary_little_endian 1.0\nelement vertex 2000000000\n"
                                    "property float x\nproperty float y\nproperty float z\n"
                                    "element face 1\nproperty list uchar int vertex_indices\n"
                                    "end_header\n" + std::string(60, '\0'));
    EXPECT_NE(importFailure(dir.file("huge.ply"), context).find("claims 2000000000 vertex"),
              std::string::npos);

    // A buffer longer than its file, one that needs more memory than there is, and one far
    // larger than an object of few faces could use; the file itself is sparse.
    writeText(dir.file("b.bin"), "");
    ASSERT_EQ(::truncate(dir.file("b.bin").c_str(), 1'000'000), 0);
    auto gltf = [&](long length) {
        writeText(dir.file("b.gltf"), "{\"asset\": {\"version\": \"2.0\"}, \"buffers\": [{\"uri\": \"b.bin\", "
                                      "\"byteLength\": " + std::to_string(length) + "}]}");
        return importFailure(dir.file("b.gltf"), context);
    };
    EXPECT_NE(gltf(2'000'000).find("reads 2000000 bytes from b.bin"), std::string::npos);
    context.memory = 1'500'000;
    EXPECT_EQ(gltf(1'000'000).rfind("not enough memory", 0), 0u);
    context.memory.reset();
    context.options.maxPolygons = 1000;
    EXPECT_NE(gltf(1'000'000).find("far more than"), std::string::npos);
    context.options.maxPolygons = ImportOptions().maxPolygons;

    // An archive whose directory says a member of 1 KiB inflates to 1.5 GiB.
    Bytes zip(30 + 10 + 1024, 0), directory(46 + 10, 0), end(22, 0);
    putLe32(zip, 0, 0x04034b50);
    putLe16(zip, 26, 10);
    std::memcpy(zip.data() + 30, "3D/a.model", 10);
    putLe32(directory, 0, 0x02014b50);
    putLe16(directory, 10, 8);
    putLe32(directory, 20, 1024);
    putLe32(directory, 24, 1536u << 20);
    putLe16(directory, 28, 10);
    std::memcpy(directory.data() + 46, "3D/a.model", 10);
    putLe32(end, 0, 0x06054b50);
    putLe16(end, 8, 1);
    putLe16(end, 10, 1);
    putLe32(end, 12, uint32_t(directory.size()));
    putLe32(end, 16, uint32_t(zip.size()));
    zip.insert(zip.end(), directory.begin(), directory.end());
    zip.insert(zip.end(), end.begin(), end.end());
    writeBytes(dir.file("bomb.3mf"), zip);
    EXPECT_NE(importFailure(dir.file("bomb.3mf"), context).find("would inflate to 1536 MiB"),
              std::string::npos);

    // An honest file that needs more than the budget: the reader's own allocations fail.
    // The sanitizer ends the process where such an allocation would fail.
#if !defined(__SANITIZE_ADDRESS__)
    std::string mesh;
    for (int i = 0; i < 100'000; ++i)
        mesh += "v " + std::to_string(i) + " 0 0\nv " + std::to_string(i) + " 1 0\nv 0 0 " +
                std::to_string(i + 1) + "\nf -3 -2 -1\n";
    writeText(dir.file("large.obj"), mesh);
    context.memory = 4 << 20;
    EXPECT_EQ(importFailure(dir.file("large.obj"), context).rfind("not enough memory", 0), 0u);
#endif
}

TEST(ConvertColour, MaterialVertexColoursAndGrey)
{
    // Vertex colours, a named material, and no material at all.
    const char* ply =
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
        "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0 255 0 0\n1 0 0 255 0 0\n0 1 0 0 0 255\n3 0 1 2\n";
    CDynArray coloured;
    ImportReport r;
    ASSERT_TRUE(importText(ply, "ply", unplaced(), coloured, r));
    EXPECT_EQ(std::make_tuple(coloured.First()->red, coloured.First()->green, coloured.First()->blue),
              std::make_tuple(170, 0, 85));

    CDynArray grey;
    ASSERT_TRUE(importText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "obj", unplaced(), grey, r));
    EXPECT_EQ(std::make_tuple(grey.First()->red, grey.First()->green, grey.First()->blue),
              std::make_tuple(160, 160, 160));

    // A material of the file's own counts; the one a reader makes up (OFF: 60 % grey) does not.
    CDynArray material;
    std::string error;
    ASSERT_TRUE(importInto(kModels + "OBJ/cube_usemtl.obj", unplaced(), material, r, error)) << error;
    EXPECT_NE(material.First()->red, 160);
    CDynArray readersOwn;
    ASSERT_TRUE(importInto(kModels + "OFF/Cube.off", unplaced(), readersOwn, r, error)) << error;
    EXPECT_EQ(readersOwn.First()->red, 160);
}

TEST(ConvertObjectOutput, ChunksGiveTheSameFileAsOneWrite)
{
    TempDir dir;
    CDynArray list;
    // Enough records for the writer to take several buffers; red 10 is a 0x0A byte, written
    // as 0x0D 0x0A.
    for (int i = 0; i < 5000; ++i)
        list.Add(polygon(i % 2 ? "Quad" : "Triangle", {float(i), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                         10, i, 3));
    ASSERT_TRUE(WriteObjectFile(dir.file("whole.3do"), list.First(), list.Count()));
    for (int chunk : {3, 7, 100}) {
        SCOPED_TRACE(chunk);
        std::string error;
        {
            ObjectFileOutput out(dir.file("chunked.3do"), chunk);
            for (const tElement* e = list.First(); e; e = e->next)
                ASSERT_TRUE(out.add(*e));
            ASSERT_TRUE(out.finish(error)) << error;
        }
        EXPECT_EQ(readBytes(dir.file("chunked.3do")), readBytes(dir.file("whole.3do")));
        EXPECT_EQ(listFolder(dir.path()).size(), 2u) << "no scratch or staged file left";
    }
    // Past the bytes after which the written part is flushed while the rest is written.
    {
        const Bytes whole = readBytes(dir.file("whole.3do"));
        std::string error;
        {
            ObjectFileOutput out(dir.file("chunked.3do"));
            for (int copy = 0; copy < 30; ++copy)
                for (const tElement* e = list.First(); e; e = e->next)
                    ASSERT_TRUE(out.add(*e));
            ASSERT_TRUE(out.finish(error)) << error;
        }
        const Bytes big = readBytes(dir.file("chunked.3do"));
        ASSERT_EQ(big.size(), 30 * whole.size());
        for (int copy = 0; copy < 30; ++copy)
            ASSERT_TRUE(std::equal(whole.begin(), whole.end(), big.begin() + copy * whole.size()));
    }
    // Unfinished, nothing appears; and a folder that is not there is reported.
    {
        ObjectFileOutput out(dir.file("dropped.3do"), 2);
        for (const tElement* e = list.First(); e; e = e->next)
            out.add(*e);
    }
    EXPECT_EQ(listFolder(dir.path()).size(), 2u);
    ObjectFileOutput nowhere(dir.file("none/x.3do"), 2);
    bool added = true;
    for (const tElement* e = list.First(); e; e = e->next)
        added = nowhere.add(*e) && added;
    std::string error;
    EXPECT_FALSE(added && nowhere.finish(error));
    EXPECT_FALSE(nowhere.error().empty());
}

TEST(ConvertProgress, BarOnlyOnATerminalAndNotWhenQuiet)
{
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    std::FILE* terminal = ::fdopen(slave, "w");
    auto drawn = [&] {
        std::string all;
        char text[512];
        for (;;) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0)
                return all;
            ssize_t n = ::read(master, text, sizeof text);
            if (n <= 0)
                return all;
            all.append(text, std::size_t(n));
        }
    };
    {
        ProgressBar quiet(false, terminal);
        quiet.start("mesh.stl");
        quiet.update(0.5f);
    }
    EXPECT_EQ(drawn(), "");
    {
        ProgressBar bar(true, terminal);
        bar.start("mesh.stl");
        bar.update(0.5f);
    }
    std::string text = drawn();
    EXPECT_NE(text.find("mesh.stl"), std::string::npos) << text;
    EXPECT_NE(text.find(" 50%"), std::string::npos) << text;
    EXPECT_NE(text.find("\033[K"), std::string::npos) << "the bar is cleared at the end";
    std::fclose(terminal);
    ::close(master);

    TempDir dir;
    std::FILE* file = std::fopen(dir.file("log").c_str(), "w");
    ProgressBar notTerminal(true, file);
    EXPECT_FALSE(notTerminal.enabled());
    std::fclose(file);
}

TEST(ConvertBadInput, BytesTheNamedReaderRefusesGoToNoOtherReader)
{
    // A broken binary glTF that the glTF reader refuses; offered on to the other readers by
    // its content, it crashed one of them.
    std::ifstream in(std::string(TEST_DATA_DIR) + "/refused.glb", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(bytes.empty());
    CDynArray list;
    ImportReport report;
    std::string error;
    EXPECT_FALSE(ImportMeshMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                  "glb", ImportContext(),
                                  [&](const tElement& e) { return list.Add(e); }, report, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(list.Count(), 0);
}

TEST(ConvertBadInput, ACountPastAnyMemoryIsRefusedWithAReason)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer ends the process where the allocation would fail";
#endif
    // 300 bytes that claim 4294967295 faces: the reader asks for some 68 GB at once.
    const std::string off = "OFF\n3 4294967295 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
    CDynArray list;
    ImportReport report;
    std::string error;
    EXPECT_FALSE(ImportMeshMemory(reinterpret_cast<const uint8_t*>(off.data()), off.size(), "off",
                                  ImportContext(),
                                  [&](const tElement& e) { return list.Add(e); }, report, error));
    EXPECT_EQ(error, "not enough memory for what the file claims to hold");
}

} // namespace
