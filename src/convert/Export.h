#pragma once

#include "DynArray.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Encodes an RGB picture, rows top first, 3 bytes a pixel, as PNG; false when it cannot.
using PngEncoder = std::function<bool(int width, int height, const std::vector<uint8_t>& rgb,
                                      std::vector<uint8_t>& png)>;

struct ExportContext {
    std::string textureFolder;   // where the polygons' bitmaps lie
    PngEncoder encodePng;        // optional: without it glTF files carry no pictures
    std::string* loss = nullptr; // optional: told what of the object the file does not keep
};

// The Open Asset Import Library's exporter for an output extension ("obj", "stl", "ply",
// "glb", "gltf"); empty when we write no such files.
std::string ExporterFor(const std::string& extension);

// Writes the polygons to target in the given exporter's format. Every file the exporter
// makes (an OBJ's material library, a glTF's buffer) goes through the safe save and is put
// in place only when all were written; on false no new file is left and old files keep
// their contents.
bool ExportObject(const CDynArray& list, const std::string& target, const std::string& exporter,
                  const ExportContext& context, std::string& error);
