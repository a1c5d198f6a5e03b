// The converter's import path on arbitrary bytes: the first byte picks the format the bytes
// are read as and the placement options, the rest is the file.
#include "Import.h"

#include <cmath>
#include <cstdlib>
#include <new>

namespace {
// Not PLY: the import library's own PLY reader crashes on broken headers within seconds of
// fuzzing (the program survives that by converting in a child process, which a fuzzer
// cannot see into).
const char* const kFormats[8] = {"obj", "stl", "off", "glb", "gltf", "3mf", "stl", "obj"};
}

// The import library sizes its arrays by the counts a file claims ("6000000000 faces" in a
// 300-byte file). In the program such a claim fails with std::bad_alloc, which the library
// turns into an error; under AddressSanitizer a failed operator new ends the process instead.
// So the harness's own operator new fails as the program's would, past a bound no input of
// the fuzzer's size needs; delete pairs with it.
namespace {
constexpr std::size_t kLargestBlock = std::size_t(1) << 30;

void* allocate(std::size_t size)
{
    if (size > kLargestBlock)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return size > kLargestBlock ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t select = data[0];
    ImportContext context;
    context.options.zUp = select & 0x08;
    context.options.rounding = (select & 0x10)   ? Rounding::Never
                               : (select & 0x40) ? Rounding::Always
                                                 : Rounding::WhereHarmless;
    context.options.fit = !(select & 0x20);
    // An input of a few kilobytes may still name millions of faces; the list stays small.
    context.options.maxPolygons = 200000;
    CDynArray list;
    ImportReport report;
    std::string error;
    bool ok = ImportMeshMemory(data + 1, size - 1, kFormats[select & 7], context,
                               [&](const tElement& e) { return list.Add(e); }, report, error);
    if (!ok) {
        if (error.empty() || error.find('\n') != std::string::npos)
            std::abort();   // every failure has a reason of one line
        return 0;
    }
    if (list.Count() == 0 || std::size_t(list.Count()) != report.polygons ||
        report.triangles + report.quads != report.polygons)
        std::abort();
    const bool rounded = context.options.rounding == Rounding::Always ||
                         (context.options.rounding == Rounding::WhereHarmless && !report.keptFractions);
    for (const tElement* e = list.First(); e; e = e->next) {
        if ((e->type != "Triangle" && e->type != "Quad") || e->name.empty() || e->name.size() > 30)
            std::abort();
        if (e->red < 0 || e->red > 255 || e->green < 0 || e->green > 255 || e->blue < 0 ||
            e->blue > 255 || e->color != (e->red | e->green << 8 | e->blue << 16))
            std::abort();
        for (int i = 0; i < (e->isTriangle() ? 9 : 12); ++i) {
            float v = e->vertex[i];
            if (!std::isfinite(v))
                std::abort();
            // Rounded coordinates are whole numbers the editor takes.
            if (rounded && (v != std::round(v) || std::fabs(v) > 640))
                std::abort();
        }
    }
    return 0;
}
