#pragma once

#include <cstdint>
#include <string>

// One polygon of the object: a triangle or a quad. Texts are 8-bit strings owned by the
// element; the links are managed by CDynArray only.
struct tElement {
    std::string type;          // "Triangle" makes a triangle; any other text a quad
    std::string name;
    float vertex[12] = {};     // corner 1 x, y, z, corner 2 x, y, z, ... corner 4
    int32_t color = 0;         // colour value (red in bits 0..7), or -1 for a textured polygon
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    std::string texture;       // bitmap file name without folder; empty when coloured
    uint32_t textureId = 0xFFFFFFFFu;
    tElement* next = nullptr;
    tElement* prev = nullptr;

    bool isTriangle() const { return type == "Triangle"; }
    bool isTextured() const { return color == -1; }
};

inline constexpr uint32_t kNoTexture = 0xFFFFFFFFu;
