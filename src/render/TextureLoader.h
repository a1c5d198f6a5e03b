#pragma once

#include <cstdint>
#include <string>

// Reads a 24-bit BMP file and makes a GL_TEXTURE_2D object of it in the current context.
// Returns the texture name, or 0 when the bitmap cannot be read (no texture is made then).
uint32_t LoadTexture(const std::string& fileName, int minFilter, int magFilter, int wrapMode);
