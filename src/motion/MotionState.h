#pragma once

#include <array>
#include <cstdint>

// The fourteen press-and-hold buttons, in the order a timer tick serves them.
enum class MotionButton : int {
    YCCW, YCW, XCW, XCCW, ZCW, ZCCW,
    TUp, TDown, TLeft, TRight, TBack, TFront,
    SIn, SOut,
};
inline constexpr int kMotionButtonCount = 14;

struct MotionState {
    std::array<bool, kMotionButtonCount> held{};
    bool autoRotating = false;
    bool pickNewMotion = true;
    int32_t controlMode = 1;      // 1: a motion button stops automatic rotation; 2: works beside it
    int32_t motionProgress = 0;
    int32_t motionLength = 0;
    int32_t motionKind = 0;
    int32_t savedSpeed = 0;
};
