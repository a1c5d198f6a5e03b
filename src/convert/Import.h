#pragma once

#include "DynArray.h"
#include "Faces.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct aiScene;
class BitmapsBeside;

// Whether coordinates become whole numbers, as the polygon editor shows them.
enum class Rounding {
    WhereHarmless,   // only when no face loses more than 1 % of its area, collapses or bends
    Always,
    Never,
};

// How imported coordinates are placed.
struct ImportOptions {
    bool fit = true;          // centre on the origin, largest extent kFitExtent
    float scale = 1.0f;       // used when not fitting
    bool zUp = false;         // the source's up axis is Z: turn it to Y
    Rounding rounding = Rounding::WhereHarmless;   // whole numbers within the editor's range
    // Faces beyond this many are refused, so a crafted file cannot run the list out of memory
    // (the polygon list counts in int).
    std::size_t maxPolygons = 50'000'000;
};

inline constexpr float kFitExtent = 200.0f;
inline constexpr float kEditorLimit = 640.0f;

// What happened to the source's faces.
struct ImportReport {
    std::size_t polygons = 0;     // records produced
    std::size_t triangles = 0;
    std::size_t quads = 0;
    std::size_t split = 0;        // faces split into triangles: more than four corners, or a
                                  // concave or crossed quad
    std::size_t degenerate = 0;   // dropped: no area, or a corner not a number
    std::size_t clamped = 0;      // a corner moved into the editor's range (infinities too)
    std::size_t rounded = 0;      // a corner moved to whole units
    std::size_t notFaces = 0;     // points and lines, which have no surface
    std::size_t textured = 0;     // polygons that show a bitmap cut from the source's picture
    std::vector<std::string> unreadablePictures;   // named by the source, not decoded
    // Why the fractions were kept when rounding was left to the import: the first face
    // (counted from 1 in the order of conversion) that whole units would harm, and how.
    // The search stops there, so that a dense mesh costs no second full pass.
    bool keptFractions = false;
    RoundingHarm harm = RoundingHarm::None;
    std::size_t harmedFace = 0;
};

// An RGBA picture, rows top first, 4 bytes a pixel.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Decodes a compressed picture (PNG, JPEG, ...) from its bytes; false when it cannot.
using ImageDecoder = std::function<bool(const uint8_t* data, std::size_t size, RgbaImage& image)>;

// Receives every polygon as it is made; false stops the import (no memory, write failed).
using PolygonSink = std::function<bool(const tElement& polygon)>;

// Called with the share of the work done, 0..1.
using ProgressCallback = std::function<void(float done)>;

struct ImportContext {
    ImportOptions options;
    ImageDecoder decodeImage;      // optional: without it textures give no colour
    std::string folder;            // where the source's external textures are looked for
    ProgressCallback progress;     // optional
    // Where faces that show a rectangle of their picture get its bitmap; without it they
    // take the picture's colour.
    BitmapsBeside* bitmaps = nullptr;
    // The bytes a file's import may take; none: what the system has to spare, as every
    // reader of the program takes it (MemoryBudget::FromSystem).
    std::optional<uint64_t> memory;
};

// Turns a loaded scene into polygons. False with a reason when it holds no face at all, or
// when the sink refuses a polygon.
bool ConvertScene(const aiScene& scene, const ImportContext& context, const PolygonSink& sink,
                  ImportReport& report, std::string& error);

// Loads a mesh file with the Open Asset Import Library and converts it. Only regular files
// are opened, the source's own and every file it names. What the file claims is checked
// against its size and the memory budget first, and the whole import runs held to that
// budget: a file that needs more fails for want of memory.
bool ImportMeshFile(const std::string& fileName, const ImportContext& context,
                    const PolygonSink& sink, ImportReport& report, std::string& error);

// The same from bytes in memory, read as the format whose file extension hint names ("stl",
// "glb", ...) and as no other.
bool ImportMeshMemory(const uint8_t* data, std::size_t size, const std::string& hint,
                      const ImportContext& context, const PolygonSink& sink,
                      ImportReport& report, std::string& error);

// Whether the library reads files with this extension (without the dot, any case).
bool CanImportExtension(const std::string& extension);
