#pragma once

#include "MotionHost.h"
#include "MotionRules.h"
#include "MotionState.h"
#include "ObjectTransform.h"
#include "RandomSource.h"

// The rules behind the Control panel: the press-and-hold buttons, the timer tick,
// automatic rotation, the control mode, the speed status and the sizing switches.
class MotionController {
public:
    MotionController(ObjectTransform& transform, MotionState& state, MotionHost& host,
                     RandomSource& random);

    void press(MotionButton button);     // any mouse button pressed on a motion button
    void release(MotionButton button);
    void tick();                         // one tick of the motion timer
    void autoClick();                    // "Auto" / "Stop"
    void toggleAutoRotation();
    void stopForPrecise();               // Precise switched on: rotation off, timer off
    void automodeClick();
    void speedChanged(int position);     // status line shows the new speed
    void speedExit();                    // status line cleared
    void scalingClick(int axis);         // 0, 1, 2 for X, Y, Z
    void resetObject();                  // start pose and bookkeeping; draws nothing
    void setInitialState();              // resetObject, then the start values of the state

    const ObjectTransform& transform() const { return transform_; }
    const MotionState& state() const { return state_; }

private:
    void step(MotionButton button);      // one step of a button at the current speed
    void autoRotationTick();

    ObjectTransform& transform_;
    MotionState& state_;
    MotionHost& host_;
    RandomSource& random_;
};
