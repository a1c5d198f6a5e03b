#include "MotionRules.h"

#include <array>
#include <cstdint>

namespace {

constexpr float kFullTurn = 360.0f;
constexpr float kTranslationLimit = 330.0f;
// The size limits are compared as doubles; the value stored at a limit is the
// float nearest to it.
constexpr double kScaleMin = 0.001;
constexpr double kScaleMax = 10.0;

// The frame is drawn before the wrap, so a held rotation shows the full turn once
// and then restarts from exactly 0 rather than from the remainder.
void rotate(float& angle, int direction, int speed, const std::function<void()>& draw)
{
    angle += static_cast<float>(direction) * static_cast<float>(speed);
    draw();
    if (direction > 0 ? angle >= kFullTurn : angle <= -kFullTurn)
        angle = 0.0f;
}

// Drawn before the clamp as well: at the limit the frame shows one step beyond it.
void translate(float& value, int direction, int speed, const std::function<void()>& draw)
{
    value += static_cast<float>(direction) * static_cast<float>(speed);
    draw();
    if (direction > 0 && value > kTranslationLimit)
        value = kTranslationLimit;
    else if (direction < 0 && value < -kTranslationLimit)
        value = -kTranslationLimit;
}

void resizeAxis(float& scale, bool on, int direction, int speed)
{
    if (!on)
        return;
    // 0.01 has no exact float; computing the step in double keeps a long hold
    // from drifting by the float error of the step itself.
    const double step = 0.01 * static_cast<double>(speed);
    scale = static_cast<float>(static_cast<double>(scale) + direction * step);
    if (direction > 0 && static_cast<double>(scale) > kScaleMax)
        scale = static_cast<float>(kScaleMax);
    else if (direction < 0 && static_cast<double>(scale) < kScaleMin)
        scale = static_cast<float>(kScaleMin);
}

void resize(ObjectTransform& t, int direction, int speed, const std::function<void()>& draw)
{
    resizeAxis(t.scaleX, t.scalingX, direction, speed);
    resizeAxis(t.scaleY, t.scalingY, direction, speed);
    resizeAxis(t.scaleZ, t.scalingZ, direction, speed);
    // Drawn even with every switch off: the user pressed a button and sees a frame.
    draw();
}

// Sign applied to rotX, rotY, rotZ for each random motion kind.
constexpr std::array<std::array<int8_t, 3>, 26> kAutoSigns = {{
    {+1, 0, 0},  {0, +1, 0},  {0, 0, +1},  {+1, +1, 0},  {+1, 0, +1},  {0, +1, +1},
    {+1, +1, +1}, {-1, 0, 0},  {0, -1, 0},  {0, 0, -1},  {-1, -1, 0},  {-1, 0, -1},
    {0, -1, -1}, {-1, -1, -1}, {+1, -1, 0}, {-1, +1, 0}, {-1, 0, +1}, {+1, 0, -1},
    {0, +1, -1}, {0, -1, +1}, {-1, +1, -1}, {+1, -1, +1}, {+1, -1, -1}, {-1, +1, +1},
    {-1, -1, +1}, {+1, +1, -1},
}};

} // namespace

void StepButton(ObjectTransform& t, MotionButton button, int speed,
                const std::function<void()>& draw)
{
    switch (button) {
    case MotionButton::YCCW:   rotate(t.rotY, +1, speed, draw); break;
    case MotionButton::YCW:    rotate(t.rotY, -1, speed, draw); break;
    case MotionButton::XCW:    rotate(t.rotX, -1, speed, draw); break;
    case MotionButton::XCCW:   rotate(t.rotX, +1, speed, draw); break;
    case MotionButton::ZCW:    rotate(t.rotZ, -1, speed, draw); break;
    case MotionButton::ZCCW:   rotate(t.rotZ, +1, speed, draw); break;
    case MotionButton::TUp:    translate(t.transY, +1, speed, draw); break;
    case MotionButton::TDown:  translate(t.transY, -1, speed, draw); break;
    case MotionButton::TLeft:  translate(t.transX, -1, speed, draw); break;
    case MotionButton::TRight: translate(t.transX, +1, speed, draw); break;
    case MotionButton::TBack:  translate(t.transZ, -1, speed, draw); break;
    case MotionButton::TFront: translate(t.transZ, +1, speed, draw); break;
    case MotionButton::SIn:    resize(t, +1, speed, draw); break;
    case MotionButton::SOut:   resize(t, -1, speed, draw); break;
    }
}

void AutoRotateStep(ObjectTransform& t, unsigned kind, int step)
{
    if (kind >= kAutoSigns.size())
        return;
    const auto& signs = kAutoSigns[kind];
    std::array<float*, 3> angles{&t.rotX, &t.rotY, &t.rotZ};
    std::array<float, 3> deltas{};
    for (std::size_t i = 0; i < angles.size(); ++i) {
        deltas[i] = static_cast<float>(signs[i]) * static_cast<float>(step);
        *angles[i] += deltas[i];
    }
    // Wrapped before anything is drawn, so a frame never shows a full turn.
    for (std::size_t i = 0; i < angles.size(); ++i) {
        if ((deltas[i] > 0.0f && *angles[i] >= kFullTurn) ||
            (deltas[i] < 0.0f && *angles[i] <= -kFullTurn))
            *angles[i] = 0.0f;
    }
}
