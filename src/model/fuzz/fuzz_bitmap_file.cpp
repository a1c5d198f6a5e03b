#include "BitmapFile.h"
#include "FuzzInput.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto image = ReadBitmapFile(fuzzInputFile(data, size));
    if (!image)
        return 0;
    // What the upload relies on: height padded rows of the right stride, a sane size.
    if (image->width < 1 || image->width > kMaxBitmapSide || image->height < 1 ||
        image->height > kMaxBitmapSide)
        std::abort();
    if (image->pixels.size() != std::size_t(image->rowStride()) * std::size_t(image->height))
        std::abort();
    if (image->pixels.size() > size)
        std::abort();
    SwapRedBlue(*image);
    return 0;
}
