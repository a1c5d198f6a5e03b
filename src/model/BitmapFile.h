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
// (only regular files are opened, every size is checked against the file first), and none
// for one that would need more memory than budget bytes: its info block, its pixel rows
// and the texture made of them, which the GL keeps at up to four bytes a pixel. Without a
// budget, what the system has to spare (MemoryBudget::FromSystem).
std::optional<BitmapImage> ReadBitmapFile(const std::string& fileName,
                                          std::optional<uint64_t> budget = std::nullopt);

// Blue-green-red to red-green-blue, row by row, leaving the padding alone.
void SwapRedBlue(BitmapImage& image);

// The bytes of a 24-bit uncompressed BMP file of the image (its info block is made anew),
// as ReadBitmapFile takes it back.
std::vector<uint8_t> EncodeBitmapFile(const BitmapImage& image);
