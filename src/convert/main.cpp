// 3dvorlan-convert: meshes into object files and back, and pictures of objects.
#include "Command.h"
#include "QtImages.h"
#include "Version.h"

#include "Picture.h"

#include <QBuffer>

namespace {

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
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "the picture cannot be encoded as PNG";
        return false;
    }
    png.assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    CommandServices services;
    services.decodeImage = DecodeImageWithQt;
    services.encodePng = EncodePngWithQt;
    services.makePicture = makePicture;
    services.pictureWidth = PictureOptions().width;
    services.pictureHeight = PictureOptions().height;
    services.version = VORLAN_VERSION;
    return RunConvertCommand(std::vector<std::string>(argv + 1, argv + argc), services);
}
