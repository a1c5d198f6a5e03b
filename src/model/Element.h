#pragma once

#include "ElementText.h"

#include <cstdint>

// One polygon of the object: a triangle or a quad. Texts are 8-bit strings owned by the
// element; the links are managed by CDynArray only.
//
// The node is one small block: a million of them are an object users open, so the type and
// the name live inside it (as long as their object file fields can hold), and a texture
// file name, which many polygons repeat, is shared between the polygons that copy it.
struct tElement {
    tInlineText<9> type;       // "Triangle" makes a triangle; any other text a quad
    tInlineText<31> name;
    float vertex[12] = {};     // corner 1 x, y, z, corner 2 x, y, z, ... corner 4
    int32_t color = 0;         // colour value (red in bits 0..7), or -1 for a textured polygon
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    tSharedText texture;       // bitmap file name without folder; empty when coloured
    uint32_t textureId = 0xFFFFFFFFu;
    tElement* next = nullptr;
    tElement* prev = nullptr;

    bool isTriangle() const { return type == "Triangle"; }
    bool isTextured() const { return color == -1; }
};

inline constexpr uint32_t kNoTexture = 0xFFFFFFFFu;
