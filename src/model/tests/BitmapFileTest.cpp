#include "BitmapFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>

#include <sys/stat.h>

namespace {

struct BmpShape {
    int32_t width = 4;
    int32_t height = 2;
    uint16_t bitsPerPixel = 24;
    uint32_t compression = 0;
    uint32_t infoSize = 40;
    bool imageSizeZero = false;
    int64_t imageSizeDelta = 0;  // added to the true padded size in the header
};

int stride(int32_t width)
{
    return (width * 3 + 3) / 4 * 4;
}

// Pixel (x, y) of the picture, y counted from the bottom row: blue x, green y, red 0x80+x+y.
Bytes pictureRows(int32_t width, int32_t rows, bool topDown)
{
    Bytes pixels;
    for (int32_t r = 0; r < rows; ++r) {
        int32_t y = topDown ? rows - 1 - r : r;
        for (int32_t x = 0; x < width; ++x) {
            pixels.push_back(uint8_t(x));
            pixels.push_back(uint8_t(y));
            pixels.push_back(uint8_t(0x80 + x + y));
        }
        while (pixels.size() % 4)
            pixels.push_back(0xEE);
    }
    return pixels;
}

Bytes makeBmp(const BmpShape& s)
{
    int32_t rows = s.height < 0 ? -s.height : s.height;
    Bytes pixels = pictureRows(s.width, rows, s.height < 0);
    Bytes file(14 + s.infoSize, 0);
    file[0] = 'B';
    file[1] = 'M';
    putLe32(file, 2, uint32_t(file.size() + pixels.size()));
    putLe32(file, 10, 14 + s.infoSize);
    putLe32(file, 14, s.infoSize);
    putLe32(file, 18, uint32_t(s.width));
    putLe32(file, 22, uint32_t(s.height));
    putLe16(file, 26, 1);
    putLe16(file, 28, s.bitsPerPixel);
    putLe32(file, 30, s.compression);
    putLe32(file, 34, s.imageSizeZero ? 0 : uint32_t(int64_t(pixels.size()) + s.imageSizeDelta));
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

class BitmapFile : public ::testing::Test {
protected:
    std::optional<BitmapImage> readBytesAsBitmap(const Bytes& bytes)
    {
        writeBytes(file, bytes);
        return ReadBitmapFile(file);
    }
    std::optional<BitmapImage> read(const BmpShape& shape) { return readBytesAsBitmap(makeBmp(shape)); }

    TempDir dir;
    std::string file = dir.file("picture.bmp");
};

TEST_F(BitmapFile, GoodFilesOfWidthsOneToFiveKeepTheirPaddedRows)
{
    for (int32_t width = 1; width <= 5; ++width) {
        for (int32_t height : {1, 2, 3}) {
            for (bool sizeZero : {false, true}) {
                BmpShape shape{.width = width, .height = height, .imageSizeZero = sizeZero};
                auto image = read(shape);
                ASSERT_TRUE(image) << width << "x" << height << " size zero " << sizeZero;
                EXPECT_EQ(image->width, width);
                EXPECT_EQ(image->height, height);
                EXPECT_EQ(image->rowStride(), stride(width));
                EXPECT_EQ(image->info.size(), 40u);
                EXPECT_EQ(image->pixels, pictureRows(width, height, false)) << width << "x" << height;
            }
        }
    }
}

TEST_F(BitmapFile, TopDownIsFlippedToBottomUp)
{
    for (int32_t width : {1, 2, 3, 4, 5}) {
        auto image = read({.width = width, .height = -3});
        ASSERT_TRUE(image) << width;
        EXPECT_EQ(image->height, 3);
        EXPECT_EQ(image->pixels, pictureRows(width, 3, false)) << width;
    }
}

TEST_F(BitmapFile, LargerInfoBlockAndLargerImageSizeAreAccepted)
{
    auto image = read({.width = 3, .height = 2, .infoSize = 124});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->info.size(), 124u);
    EXPECT_EQ(image->pixels, pictureRows(3, 2, false));

    // The header may claim more than the rows need, even more than the file holds.
    for (int64_t extra : {1, 1000000}) {
        image = read({.width = 3, .height = 2, .imageSizeDelta = extra});
        ASSERT_TRUE(image) << extra;
        EXPECT_EQ(image->pixels.size(), std::size_t(stride(3) * 2));
    }
}

TEST_F(BitmapFile, SidesAtTheLimitAreAccepted)
{
    auto image = read({.width = kMaxBitmapSide, .height = 1});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels.size(), std::size_t(stride(kMaxBitmapSide)));
    EXPECT_TRUE(read({.width = 1, .height = -kMaxBitmapSide}));
}

TEST_F(BitmapFile, OnlyTwentyFourBitUncompressedIsAccepted)
{
    for (uint16_t bits : {0, 1, 4, 8, 16, 32, 48})
        EXPECT_FALSE(read({.bitsPerPixel = bits})) << bits;
    for (uint32_t compression : {1u, 2u, 3u, 4u, 5u, 6u, 0x80000000u})
        EXPECT_FALSE(read({.compression = compression})) << compression;
}

TEST_F(BitmapFile, ZeroNegativeAndAbsurdSidesAreRefused)
{
    // Patched into a small good file: the reader must refuse them before sizing anything.
    for (int32_t width : {0, -1, -4, kMaxBitmapSide + 1, INT_MAX, INT_MIN}) {
        Bytes bytes = makeBmp({.width = 4, .height = 1});
        putLe32(bytes, 18, uint32_t(width));
        EXPECT_FALSE(readBytesAsBitmap(bytes)) << width;
        putLe32(bytes, 34, 0);
        EXPECT_FALSE(readBytesAsBitmap(bytes)) << width << " size zero";
    }
    for (int32_t height : {0, kMaxBitmapSide + 1, -kMaxBitmapSide - 1, INT_MAX, INT_MIN}) {
        Bytes bytes = makeBmp({.width = 4, .height = 1});
        putLe32(bytes, 22, uint32_t(height));
        EXPECT_FALSE(readBytesAsBitmap(bytes)) << height;
    }
    Bytes huge = makeBmp({.width = 4, .height = 1});
    putLe32(huge, 18, uint32_t(kMaxBitmapSide));
    putLe32(huge, 22, uint32_t(kMaxBitmapSide));
    putLe32(huge, 34, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(readBytesAsBitmap(huge));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(BitmapFile, ImageSizeSmallerThanTheRowsIsRefused)
{
    EXPECT_FALSE(read({.width = 3, .height = 2, .imageSizeDelta = -1}));
    // The unpadded size is what a writer that forgot the padding would put there.
    EXPECT_FALSE(read({.width = 1, .height = 2, .imageSizeDelta = -2}));
}

TEST_F(BitmapFile, BadHeadersAndOffsetsAreRefused)
{
    Bytes good = makeBmp({.width = 2, .height = 2});
    ASSERT_TRUE(readBytesAsBitmap(good));

    Bytes bad = good;
    bad[0] = 'b';
    EXPECT_FALSE(readBytesAsBitmap(bad));
    bad = good;
    bad[1] = 'A';
    EXPECT_FALSE(readBytesAsBitmap(bad));

    // An info block shorter than the fields read, and offsets beyond the file.
    for (uint32_t offset : {0u, 13u, 14u, 15u, 53u, uint32_t(good.size()) + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        bad = good;
        putLe32(bad, 10, offset);
        EXPECT_FALSE(readBytesAsBitmap(bad)) << offset;
    }
    // An offset that leaves too few bytes for the pixels.
    bad = good;
    putLe32(bad, 10, uint32_t(good.size() - 1));
    EXPECT_FALSE(readBytesAsBitmap(bad));
}

TEST_F(BitmapFile, EveryTruncationIsRefused)
{
    Bytes good = makeBmp({.width = 3, .height = 2});
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_FALSE(readBytesAsBitmap(Bytes(good.begin(), good.begin() + long(length)))) << length;
}

TEST_F(BitmapFile, OnlyRegularFilesAreOpened)
{
    EXPECT_FALSE(ReadBitmapFile(dir.file("missing.bmp")));
    EXPECT_FALSE(ReadBitmapFile(dir.path()));
    EXPECT_FALSE(ReadBitmapFile(""));
    std::string fifo = dir.file("fifo.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadBitmapFile(fifo));  // would block for a writer if it were opened
    EXPECT_FALSE(ReadBitmapFile("/dev/zero"));
    EXPECT_FALSE(ReadBitmapFile("/dev/null"));
}

TEST(SwapRedBlue, SwapsEveryPixelAndLeavesThePadding)
{
    for (int32_t width = 1; width <= 5; ++width) {
        BitmapImage image;
        image.width = width;
        image.height = 3;
        image.pixels = pictureRows(width, 3, false);
        SwapRedBlue(image);
        const std::size_t s = std::size_t(stride(width));
        for (int32_t y = 0; y < 3; ++y) {
            const uint8_t* row = image.pixels.data() + std::size_t(y) * s;
            for (int32_t x = 0; x < width; ++x) {
                EXPECT_EQ(row[3 * x], uint8_t(0x80 + x + y)) << width << " " << x << "," << y;
                EXPECT_EQ(row[3 * x + 1], uint8_t(y));
                EXPECT_EQ(row[3 * x + 2], uint8_t(x));
            }
            for (std::size_t p = std::size_t(width) * 3; p < s; ++p)
                EXPECT_EQ(row[p], 0xEE) << width << " padding " << p;
        }
    }
}

TEST(SwapRedBlue, ImageShortOfItsRowsIsLeftInBounds)
{
    BitmapImage image;
    image.width = 2;
    image.height = 4;
    image.pixels = pictureRows(2, 1, false);
    image.pixels.push_back(7);  // part of a second row only
    SwapRedBlue(image);
    EXPECT_EQ(image.pixels[0], 0x80);
    EXPECT_EQ(image.pixels.back(), 7);
}

} // namespace
