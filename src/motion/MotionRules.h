#pragma once

#include "MotionState.h"
#include "ObjectTransform.h"

#include <functional>

// One step of a motion button at the given speed (1..10). Rotation and translation steps
// draw before the limit is applied; size steps apply the limit per axis, then draw once.
void StepButton(ObjectTransform& transform, MotionButton button, int speed,
                const std::function<void()>& draw);

// One step of random motion kind 0..25 (a larger kind changes nothing); draws nothing.
void AutoRotateStep(ObjectTransform& transform, unsigned kind, int step);
