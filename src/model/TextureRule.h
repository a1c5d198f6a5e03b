#pragma once

#include "DynArray.h"

#include <cstdint>
#include <functional>
#include <string>

// GL enumeration values the texture rule passes on; the model itself links no GL.
inline constexpr int kGlLinear = 0x2601;
inline constexpr int kGlRepeat = 0x2901;

// Loads a bitmap as a texture: file name, minification filter, magnification filter,
// wrap mode -> texture name, 0 on failure.
using TextureLoader = std::function<uint32_t(const std::string& fileName, int minFilter,
                                             int magFilter, int wrapMode)>;

// The texture name a polygon takes: all bits set when coloured; else the name of the first
// polygon in the list with the same texture file name; else the loader's result.
uint32_t SettleTextureId(const CDynArray& list, const tElement& element, const TextureLoader& load);
