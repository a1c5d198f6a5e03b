#pragma once

#include "BitmapFile.h"
#include "Import.h"

#include <cstddef>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

// Where a face's texture coordinates put its picture, told as the renderer's fixed corner
// mapping: corner `start` of the face takes the renderer's first corner, and a point (s, t)
// of the renderer's unit square lies at pixel (x, y) + s * (ax, ay) + t * (bx, by) of the
// picture, x from its left edge and y from its bottom edge, in whole pixels.
struct PictureCut {
    int start = 0;
    int x = 0, y = 0;
    int ax = 0, ay = 0;
    int bx = 0, by = 0;

    int width() const { return ax != 0 ? std::abs(ax) : std::abs(ay); }
    int height() const { return bx != 0 ? std::abs(bx) : std::abs(by); }
};

// A cut when the face (3 or 4 corners, uv as the source gives them, v up) shows an
// axis-aligned rectangle of whole pixels of a width x height picture, turned or mirrored in
// any way, as a polygon of the program shows its bitmap; none for any other mapping.
std::optional<PictureCut> FindPictureCut(const double (*uv)[2], int corners, int width, int height);

// The rectangle as a bitmap, turned so that the renderer's mapping shows it as the source did.
BitmapImage CutPicture(const RgbaImage& picture, const PictureCut& cut);

// The bitmaps an import gives its object, to lie beside it: one name per distinct picture,
// an existing file of the same pixels taken as it is, and no name of a file already there
// taken for other pixels. Nothing is written before save().
class BitmapsBeside {
public:
    explicit BitmapsBeside(std::string folder) : folder_(std::move(folder)) {}

    // The file name (at most 30 characters) for the bitmap, after the name the source gave
    // its picture; empty when no more pictures can be held or no free name is left.
    std::string nameFor(const BitmapImage& bitmap, const std::string& sourceName);
    // Writes the new files; false with the file and its reason.
    bool save(std::string& error);
    std::size_t newFiles() const { return pending_.size(); }
    std::size_t reused() const { return reused_; }

private:
    std::string folder_;
    std::map<std::tuple<int, int, std::vector<uint8_t>>, std::string> named_;
    std::map<std::string, bool> taken_;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> pending_;
    std::size_t pendingBytes_ = 0;
    std::size_t reused_ = 0;
};
