#include "BitmapFile.h"

#include "FileDescriptor.h"
#include "MemoryBudget.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kFileHeader = 14;
// The fields read from the info block end with the image size at offset 20.
constexpr std::size_t kInfoFieldsEnd = 40;

uint16_t getU16(const uint8_t* at)
{
    return uint16_t(at[0] | at[1] << 8);
}

uint32_t getU32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// Exactly size bytes from offset; false for a short read (a file shrinking under us).
bool readAt(int fd, uint8_t* into, std::size_t size, off_t offset)
{
    while (size > 0) {
        ssize_t n = ::pread(fd, into, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        into += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

std::optional<BitmapImage> read(const std::string& fileName, MemoryBudget& budget)
{
    // stat first, so that a FIFO or device is never opened at all; the non-blocking open
    // and the second check cover a name that is swapped for one in between.
    struct stat st;
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const uint64_t fileSize = uint64_t(st.st_size);

    uint8_t header[kFileHeader];
    if (fileSize < kFileHeader || !readAt(fd.get(), header, kFileHeader, 0))
        return std::nullopt;
    if (header[0] != 'B' || header[1] != 'M')
        return std::nullopt;
    const uint64_t pixelOffset = getU32(header + 10);
    if (pixelOffset < kFileHeader + kInfoFieldsEnd || pixelOffset > fileSize)
        return std::nullopt;
    const std::size_t infoSize = std::size_t(pixelOffset - kFileHeader);
    if (!budget.take(infoSize))
        return std::nullopt;

    BitmapImage image;
    image.info.resize(infoSize);
    if (!readAt(fd.get(), image.info.data(), infoSize, off_t(kFileHeader)))
        return std::nullopt;
    const uint8_t* info = image.info.data();
    const int32_t width = int32_t(getU32(info + 4));
    const int32_t height = int32_t(getU32(info + 8));
    const uint16_t bitsPerPixel = getU16(info + 14);
    const uint32_t compression = getU32(info + 16);
    const uint64_t imageSize = getU32(info + 20);

    // Anything else would make the fixed 3-byte pixel walk of the upload read past the data.
    if (bitsPerPixel != 24 || compression != 0)
        return std::nullopt;
    if (width < 1 || width > kMaxBitmapSide)
        return std::nullopt;
    // In 64 bits, so that the smallest 32-bit value has a magnitude too.
    const int64_t rows = height < 0 ? -int64_t(height) : int64_t(height);
    if (rows < 1 || rows > kMaxBitmapSide)
        return std::nullopt;

    const uint64_t stride = (uint64_t(width) * 3 + 3) / 4 * 4;
    const uint64_t dataSize = stride * uint64_t(rows);
    // A size of 0 means "as the rows need"; a smaller one cannot hold the rows, a larger one
    // only carries bytes we do not use.
    if (imageSize != 0 && imageSize < dataSize)
        return std::nullopt;
    if (dataSize > fileSize - pixelOffset)
        return std::nullopt;
    if (!budget.take(dataSize + uint64_t(width) * uint64_t(rows) * 4))
        return std::nullopt;

    image.width = width;
    image.height = int32_t(rows);
    image.pixels.resize(std::size_t(dataSize));
    if (!readAt(fd.get(), image.pixels.data(), std::size_t(dataSize), off_t(pixelOffset)))
        return std::nullopt;

    if (height < 0) {
        // Stored top row first: turn it around so every image reaches the upload bottom-up.
        uint8_t* top = image.pixels.data();
        uint8_t* bottom = top + (rows - 1) * stride;
        for (; top < bottom; top += stride, bottom -= stride)
            std::swap_ranges(top, top + stride, bottom);
    }
    return image;
}

} // namespace

std::optional<BitmapImage> ReadBitmapFile(const std::string& fileName,
                                          std::optional<uint64_t> budget)
{
    try {
        MemoryBudget memory = budget ? MemoryBudget(*budget) : MemoryBudget::FromSystem();
        return read(fileName, memory);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

void SwapRedBlue(BitmapImage& image)
{
    if (image.width < 1 || image.height < 1)
        return;
    const std::size_t stride = std::size_t(image.rowStride());
    const std::size_t rowBytes = std::size_t(image.width) * 3;
    // An image put together by hand may hold fewer rows than it claims; touch only those.
    std::size_t rows = image.pixels.size() / stride;
    if (rows > std::size_t(image.height))
        rows = std::size_t(image.height);
    for (std::size_t r = 0; r < rows; ++r) {
        uint8_t* row = image.pixels.data() + r * stride;
        for (std::size_t x = 0; x < rowBytes; x += 3)
            std::swap(row[x], row[x + 2]);
    }
}

std::vector<uint8_t> EncodeBitmapFile(const BitmapImage& image)
{
    const uint32_t dataSize = uint32_t(image.rowStride()) * uint32_t(image.height);
    std::vector<uint8_t> out;
    out.reserve(kFileHeader + kInfoFieldsEnd + dataSize);
    const auto put16 = [&](uint32_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    const auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    put32(uint32_t(kFileHeader + kInfoFieldsEnd) + dataSize);
    put32(0);
    put32(uint32_t(kFileHeader + kInfoFieldsEnd));
    put32(uint32_t(kInfoFieldsEnd));
    put32(uint32_t(image.width));
    put32(uint32_t(image.height));
    put16(1);
    put16(24);
    put32(0);   // no compression
    put32(dataSize);
    put32(2835);   // 72 dots an inch
    put32(2835);
    put32(0);
    put32(0);
    out.insert(out.end(), image.pixels.begin(), image.pixels.begin() + dataSize);
    return out;
}
