#pragma once

#include "DynArray.h"
#include "Export.h"
#include "Import.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// What a picture shows, as the command line gives it.
struct PictureRequest {
    int width = 0;                 // pixels; 0: the services' picture size
    int height = 0;
    float turn[3] = {0, 0, 0};     // degrees about X, Y, Z
    int light[3] = {3, 7, 10};     // ambient, diffuse, specular, 1..10
    bool ground = true;
    bool axes = true;
    std::string textureFolder;     // where bare texture names are found; empty: the current one
};

// Draws the object and encodes it as PNG.
using PictureMaker = std::function<bool(CDynArray& list, const PictureRequest& request,
                                        std::vector<uint8_t>& png, std::string& error)>;

// The services the command gets from outside the library.
struct CommandServices {
    ImageDecoder decodeImage;
    PngEncoder encodePng;
    PictureMaker makePicture;   // empty: pictures are refused with a reason
    int pictureWidth = 0;       // the size of a picture when none is asked for: the view's
    int pictureHeight = 0;
    std::string version;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // a file could not be converted
inline constexpr int kExitUsage = 2;    // the command line is wrong

// Runs the converter on the arguments after the program name; returns the exit status.
int RunConvertCommand(const std::vector<std::string>& arguments, const CommandServices& services);
