#pragma once

#include "DynArray.h"

#include <cmath>
#include <cstring>
#include <string>

// n small coloured polygons spread over a sphere of radius 80, so that a frame of them
// costs what drawing that many polygons costs and none hides the rest. Every third one is
// a triangle, or all of them when asked.
inline void FillSpreadObject(CDynArray& list, int n, bool allTriangles = false)
{
    for (int i = 0; i < n; ++i) {
        tElement e;
        const bool tri = allTriangles || i % 3 == 0;
        e.type = tri ? "Triangle" : "Quad";
        e.name = "P" + std::to_string(i);
        const float a = float(i) * 0.61803f, b = float(i % 97) * 0.0648f;
        const float cx = 80 * std::cos(a) * std::cos(b), cy = 80 * std::sin(b),
                    cz = 80 * std::sin(a) * std::cos(b);
        const float corners[12] = {cx - 5, cy - 5, cz, cx + 5, cy - 5, cz,
                                   cx + 5, cy + 5, cz, cx - 5, cy + 5, cz};
        std::memcpy(e.vertex, corners, sizeof corners);
        if (tri)
            e.vertex[9] = e.vertex[10] = e.vertex[11] = 0;
        e.red = i % 255;
        e.green = 128;
        e.blue = 255 - i % 255;
        e.color = e.red | e.green << 8 | e.blue << 16;
        e.textureId = kNoTexture;
        list.Add(e);
    }
}
