#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int32_t kMaxBitmapSide = 16384;

// A 24-bit uncompressed bitmap as read from a BMP file.
struct BitmapImage {
    std::vector<uint8_t> info;    // the info block, whole
    int32_t width = 0;
    int32_t height = 0;           // always positive: top-down files are flipped
    // height rows from the bottom row up, each padded to a multiple of 4 bytes;
    // blue, green, red as in the file until SwapRedBlue.
    std::vector<uint8_t> pixels;

    int rowStride() const { return (width * 3 + 3) / 4 * 4; }
};

// Reads a bitmap; none for anything that is not a sound 24-bit uncompressed BMP
// (only regular files are opened, every size is checked against the file first).
std::optional<BitmapImage> ReadBitmapFile(const std::string& fileName);

// Blue-green-red to red-green-blue, row by row, leaving the padding alone.
void SwapRedBlue(BitmapImage& image);
