#pragma once

#include <cstdint>

enum class EditorMode { Idle, NewPolygon, EditPolygon };

// The window background colour as a symbolic colour value: its top byte is set, which no
// picked colour (bits 24 to 31 zero) ever has, so "no colour chosen" cannot be confused
// with black or any other real colour.
inline constexpr int32_t kColorNone = static_cast<int32_t>(0xFF000005u);

struct EditorState {
    EditorMode mode = EditorMode::Idle;
    int32_t selectedPosition = 0;   // 1-based list position of the polygon last loaded
    int32_t workColor = 0;          // red in bits 0..7, green 8..15, blue 16..23; or kColorNone
    int32_t workRed = 0;
    int32_t workGreen = 0;
    int32_t workBlue = 0;
};
