#pragma once

#include <cstdint>

// The render switches (1 = on) and the light position, owned by the main window.
struct ViewOptions {
    uint8_t cullFace = 0;
    uint8_t depthTest = 1;
    uint8_t outline = 0;
    uint8_t lighting = 1;
    uint8_t smoothShading = 1;
    uint8_t precise = 0;
    uint8_t hints = 1;
    uint8_t ground = 1;
    uint8_t axes = 1;
    float lightPosition[4] = {0.0f, 350.0f, 50.0f, 1.0f};
};

inline bool isOn(uint8_t value) { return value == 1; }
