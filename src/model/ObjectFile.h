#pragma once

#include "DynArray.h"
#include "TextureRule.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

inline constexpr std::size_t kObjectRecordSize = 136;

// Writes count polygons from first on, following next. True only when the file was written
// completely and synced; on false any earlier file is unchanged. How the file is replaced,
// and which files are never replaced, is told in SafeSave.h.
bool WriteObjectFile(const std::string& fileName, const tElement* first, int count);

struct ReadOptions {
    // Bytes the appended polygons may take; when none, what the system has to spare
    // (MemoryBudget::FromSystem). A polygon over it is a polygon that could not be had.
    std::optional<uint64_t> budget;
    // What each polygon costs beyond its list node, for holders that keep more per polygon.
    uint64_t extraPerPolygon = 0;
    // Called after every kProgressRecords polygons, so a caller can show that it works.
    std::function<void()> progress;
};
inline constexpr int kProgressRecords = 4096;

// Appends one polygon per complete record to list, settling textures by the texture rule.
// False when the file cannot be opened or a polygon cannot be appended (no memory, or the
// budget spent); the polygons appended before stay.
bool ReadObjectFile(const std::string& fileName, CDynArray& list, const TextureLoader& load,
                    const ReadOptions& options = {});

// Reads as ReadObjectFile does, but only a file that is an object file through and through:
// after the line-end decoding a whole number of records, each one a record the writer makes
// (ObjectRecordFault). Other programs, which cannot ask a user, take nothing else for an
// object. False with the reason in words in fault; the list may then hold the polygons of
// the records before the fault.
bool ReadObjectFileStrictly(const std::string& fileName, CDynArray& list, const TextureLoader& load,
                            std::string& fault, const ReadOptions& options = {});

// The memory a polygon's node takes in the list.
uint64_t PolygonFootprint(const tElement& element);
// What a texture name costs when no polygon in the list shares it yet.
uint64_t TextFootprint(const tSharedText& text);
