// 3dvorlan-convert: meshes into object files and back, and pictures of objects.
#include "Command.h"
#include "QtPart.h"
#include "Scene.h"
#include "Version.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace {

// The folder of the running program, so the Qt part is found wherever the program is.
std::string programFolder()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string folder(path, std::size_t(length));
    std::size_t slash = folder.rfind('/');
    return slash == std::string::npos ? "." : folder.substr(0, slash);
}

// The Qt part, loaded on the first call that needs it; null with the reason when it cannot be.
const QtPart* qtPart(std::string* error = nullptr)
{
    static const QtPart* part = nullptr;
    static std::string failure;
    static bool tried = false;
    static bool told = false;
    if (!tried) {
        tried = true;
        const std::string folder = programFolder();
        // Beside the program in the build tree; in the library folder once installed.
        for (const char* relative : {".", VORLAN_QT_PART_FROM_PROGRAM}) {
            std::string file = folder + "/" + relative + "/" VORLAN_QT_PART_NAME;
            void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!module) {
                if (access(file.c_str(), F_OK) == 0 || failure.empty())
                    failure = dlerror();
                continue;
            }
            auto entry = reinterpret_cast<const QtPart* (*)()>(dlsym(module, kQtPartSymbol));
            part = entry ? entry() : nullptr;
            if (part)
                break;
            failure = file + " has no " + kQtPartSymbol;
        }
    }
    if (!part) {
        const std::string reason = "the picture part of the converter cannot be loaded: " + failure;
        if (error)
            *error = reason;
        else if (!told)
            std::fprintf(stderr, "3dvorlan-convert: %s\n", reason.c_str());
        told = told || !error;
    }
    return part;
}

} // namespace

int main(int argc, char** argv)
{
    CommandServices services;
    services.decodeImage = [](const uint8_t* data, std::size_t size, RgbaImage& image) {
        const QtPart* part = qtPart();
        return part && part->decodeImage(data, size, image);
    };
    services.encodePng = [](int width, int height, const std::vector<uint8_t>& rgb,
                            std::vector<uint8_t>& png) {
        const QtPart* part = qtPart();
        return part && part->encodePng(width, height, rgb, png);
    };
    services.makePicture = [](CDynArray& list, const PictureRequest& request,
                              std::vector<uint8_t>& png, std::string& error) {
        const QtPart* part = qtPart(&error);
        return part && part->makePicture(list, request, png, error);
    };
    services.pictureWidth = kViewDesignWidth;
    services.pictureHeight = kViewDesignHeight;
    services.version = VORLAN_VERSION;
    return RunConvertCommand(std::vector<std::string>(argv + 1, argv + argc), services);
}
