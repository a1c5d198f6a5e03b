#include "QtPart.h"

#include "Picture.h"

#include <QBuffer>
#include <QImage>

#include <climits>
#include <cstring>

namespace {

bool decodeImage(const uint8_t* data, std::size_t size, RgbaImage& image)
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

bool savePng(const QImage& image, std::vector<uint8_t>& png)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;
    png.assign(bytes.begin(), bytes.end());
    return true;
}

bool encodePng(int width, int height, const std::vector<uint8_t>& rgb, std::vector<uint8_t>& png)
{
    if (width <= 0 || height <= 0 || rgb.size() != std::size_t(width) * height * 3)
        return false;
    return savePng(QImage(rgb.data(), width, height, width * 3, QImage::Format_RGB888), png);
}

bool makePicture(CDynArray& list, const PictureRequest& request, std::vector<uint8_t>& png,
                 std::string& error)
{
    PictureOptions options;
    options.width = request.width;
    options.height = request.height;
    options.pose.rotX = request.turn[0];
    options.pose.rotY = request.turn[1];
    options.pose.rotZ = request.turn[2];
    options.view.ground = request.ground ? 1 : 0;
    options.view.axes = request.axes ? 1 : 0;
    options.ambient = request.light[0];
    options.diffuse = request.light[1];
    options.specular = request.light[2];
    options.textureFolder = request.textureFolder;
    QImage image;
    if (!RenderPicture(list, options, image, error))
        return false;
    if (!savePng(image, png)) {
        error = "the picture cannot be encoded as PNG";
        return false;
    }
    return true;
}

constexpr QtPart kPart = {decodeImage, encodePng, makePicture};

} // namespace

extern "C" __attribute__((visibility("default"))) const QtPart* VorlanConvertQtPart()
{
    return &kPart;
}
