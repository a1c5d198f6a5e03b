#pragma once

#include "Command.h"

// The converter's use of Qt: picture decoding, PNG encoding and the offscreen picture. It is
// a module of its own, loaded on first use, so that a conversion needing none of them does
// not load Qt's GUI library and the forty libraries behind it, which took two thirds of a
// plain conversion's start.
struct QtPart {
    bool (*decodeImage)(const uint8_t* data, std::size_t size, RgbaImage& image);
    bool (*encodePng)(int width, int height, const std::vector<uint8_t>& rgb,
                      std::vector<uint8_t>& png);
    bool (*makePicture)(CDynArray& list, const PictureRequest& request, std::vector<uint8_t>& png,
                        std::string& error);
};

// The one symbol the module exports.
inline constexpr char kQtPartSymbol[] = "VorlanConvertQtPart";
extern "C" const QtPart* VorlanConvertQtPart();
