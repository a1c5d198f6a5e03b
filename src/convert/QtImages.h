#pragma once

#include "Export.h"
#include "Import.h"

// Picture decoding and PNG encoding through Qt's image readers and writers.
bool DecodeImageWithQt(const uint8_t* data, std::size_t size, RgbaImage& image);
bool EncodePngWithQt(int width, int height, const std::vector<uint8_t>& rgb, std::vector<uint8_t>& png);
