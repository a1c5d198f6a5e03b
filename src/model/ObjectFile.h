#pragma once

#include "DynArray.h"
#include "TextureRule.h"

#include <cstddef>
#include <string>

inline constexpr std::size_t kObjectRecordSize = 136;

// Writes count polygons from first on, following next. True only when the file was written
// completely and synced; on false any earlier file is unchanged. How the file is replaced,
// and which files are never replaced, is told in SafeSave.h.
bool WriteObjectFile(const std::string& fileName, const tElement* first, int count);

// Appends one polygon per complete record to list, settling textures by the texture rule.
// False when the file cannot be opened or a polygon cannot be appended.
bool ReadObjectFile(const std::string& fileName, CDynArray& list, const TextureLoader& load);
