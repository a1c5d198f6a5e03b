#include "QtImages.h"

#include <QBuffer>
#include <QImage>

#include <climits>
#include <cstring>

bool DecodeImageWithQt(const uint8_t* data, std::size_t size, RgbaImage& image)
{
    if (size > std::size_t(INT_MAX))
        return false;
    QImage decoded = QImage::fromData(data, int(size));
    if (decoded.isNull())
        return false;
    decoded = decoded.convertToFormat(QImage::Format_RGBA8888);
    image.width = decoded.width();
    image.height = decoded.height();
    image.pixels.resize(std::size_t(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&image.pixels[std::size_t(y) * image.width * 4], decoded.constScanLine(y),
                    std::size_t(image.width) * 4);
    return true;
}

bool EncodePngWithQt(int width, int height, const std::vector<uint8_t>& rgb, std::vector<uint8_t>& png)
{
    if (width <= 0 || height <= 0 || rgb.size() != std::size_t(width) * height * 3)
        return false;
    QImage image(rgb.data(), width, height, width * 3, QImage::Format_RGB888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;
    png.assign(bytes.begin(), bytes.end());
    return true;
}
