#include "MotionController.h"

#include <string>

namespace {

constexpr int kResetSpeed = 3;
constexpr int kAutoRotationSpeed = 1;
constexpr int kMotionKinds = 26;
constexpr int kLongestMotion = 360;

const char* const kAutoCaption = "Auto";
const char* const kAutoHint = "Autorotate object";
const char* const kStopCaption = "Stop";
const char* const kStopHint = "Stop autorotation of the object";
const char* const kScalingCaptions[3] = {"X", "Y", "Z"};

} // namespace

MotionController::MotionController(ObjectTransform& transform, MotionState& state,
                                   MotionHost& host, RandomSource& random)
    : transform_(transform), state_(state), host_(host), random_(random)
{
}

void MotionController::step(MotionButton button)
{
    // The speed is read for every step, so moving the track bar during a hold
    // takes effect on the next tick.
    StepButton(transform_, button, host_.speed(), [this] { host_.drawScene(); });
}

void MotionController::press(MotionButton button)
{
    if (state_.autoRotating && state_.controlMode == 1) {
        // The hint follows at the release; the speed stays as it is now.
        state_.autoRotating = false;
        host_.setAutoCaption(kAutoCaption);
    }
    state_.held[static_cast<std::size_t>(button)] = true;
    step(button);
    if (!host_.precise())
        host_.setTimerEnabled(true);
}

void MotionController::release(MotionButton button)
{
    state_.held[static_cast<std::size_t>(button)] = false;
    if (!state_.autoRotating && state_.controlMode == 1) {
        host_.setAutoHint(kAutoHint);
        host_.setTimerEnabled(false);
    }
}

void MotionController::tick()
{
    if (host_.precise())
        return;
    // The enumeration order is the order in which a tick serves held buttons.
    for (int i = 0; i < kMotionButtonCount; ++i) {
        if (state_.held[static_cast<std::size_t>(i)])
            step(static_cast<MotionButton>(i));
    }
    autoRotationTick();
}

void MotionController::autoRotationTick()
{
    if (!state_.autoRotating)
        return;
    if (state_.pickNewMotion) {
        // Kind first, then length: a seeded run replays the same motions.
        state_.motionKind = random_.next(kMotionKinds);
        state_.motionLength = random_.next(kLongestMotion) + 1;
        state_.motionProgress = 0;
        state_.pickNewMotion = false;
    }
    const int speed = host_.speed();
    state_.motionProgress += speed;
    if (state_.motionProgress > state_.motionLength) {
        state_.pickNewMotion = true;
        return;
    }
    AutoRotateStep(transform_, static_cast<unsigned>(state_.motionKind), speed);
    host_.drawScene();
}

void MotionController::autoClick()
{
    // A running rotation is always stoppable, even if every polygon has been
    // removed while it ran; only starting needs something to rotate.
    if (!state_.autoRotating && host_.polygonCount() == 0) {
        host_.showExclamation("Information",
                              "Autorotation is only possible if minimally 1 polygon was defined");
        return;
    }
    toggleAutoRotation();
}

void MotionController::toggleAutoRotation()
{
    if (!state_.autoRotating) {
        host_.switchPreciseOff();
        state_.autoRotating = true;
        host_.setAutoCaption(kStopCaption);
        host_.setAutoHint(kStopHint);
        state_.savedSpeed = host_.speed();
        host_.setSpeed(kAutoRotationSpeed);
        host_.setStatusText("");
        host_.setTimerEnabled(true);
    } else {
        state_.autoRotating = false;
        host_.setAutoCaption(kAutoCaption);
        host_.setAutoHint(kAutoHint);
        host_.setSpeed(state_.savedSpeed);
        host_.setStatusText("");
        host_.setTimerEnabled(false);
    }
}

void MotionController::stopForPrecise()
{
    state_.autoRotating = false;
    host_.setAutoCaption(kAutoCaption);
    host_.setAutoHint(kAutoHint);
    host_.setTimerEnabled(false);
}

void MotionController::automodeClick()
{
    if (state_.controlMode == 1) {
        host_.setAutomodeButton("2", "Control enabled");
        state_.controlMode = 2;
    } else {
        host_.setAutomodeButton("1", "Control disabled");
        state_.controlMode = 1;
    }
}

void MotionController::speedChanged(int position)
{
    host_.setStatusText(std::to_string(position));
}

void MotionController::speedExit()
{
    host_.setStatusText("");
}

void MotionController::scalingClick(int axis)
{
    bool* switches[3] = {&transform_.scalingX, &transform_.scalingY, &transform_.scalingZ};
    if (axis < 0 || axis > 2)
        return;
    bool& on = *switches[axis];
    on = !on;
    host_.setScalingButton(axis, kScalingCaptions[axis], on);
}

void MotionController::resetObject()
{
    transform_ = ObjectTransform{};
    for (int axis = 0; axis < 3; ++axis) {
        // The bold mark goes back on with the switch so the two never disagree.
        host_.setScalingButton(axis, kScalingCaptions[axis], true);
    }
    host_.setSpeed(kResetSpeed);
    host_.setStatusText("");
    state_.autoRotating = false;
    host_.setAutoCaption(kAutoCaption);
    host_.setAutoHint(kAutoHint);
    state_.controlMode = 1;
    host_.setAutomodeButton("1", "Control disabled");
    state_.pickNewMotion = true;
    state_.motionProgress = 0;
    state_.motionLength = 0;
}

void MotionController::setInitialState()
{
    resetObject();
    state_.autoRotating = false;
    state_.held.fill(false);
    state_.controlMode = 1;
    state_.pickNewMotion = true;
    state_.motionProgress = 0;
    state_.motionLength = 0;
}
