#include "FakeMotionHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Controller : public testing::Test {
protected:
    // A rotation under way as the "Auto" button starts it, from the given speed.
    void startRotation(int speed)
    {
        rig.host.speedPosition = speed;
        rig.controller.autoClick();
        ASSERT_TRUE(rig.state.autoRotating);
    }

    void expectAutoButton(const char* caption, const char* hint) const
    {
        EXPECT_EQ(rig.host.autoCaption, caption);
        EXPECT_EQ(rig.host.autoHint, hint);
    }

    MotionRig rig;
    MotionController& controller = rig.controller;
    FakeMotionHost& host = rig.host;
};

TEST_F(Controller, AClickMakesExactlyOneStepAndAHoldOneStepPerTick)
{
    controller.press(MotionButton::YCCW);
    EXPECT_TRUE(host.timerEnabled);
    EXPECT_EQ(host.frames.size(), 1u);
    rig.ticks(4);
    EXPECT_EQ(rig.transform.rotY, 15.0f);
    controller.release(MotionButton::YCCW);
    EXPECT_FALSE(host.timerEnabled);
    rig.ticks(3);
    EXPECT_EQ(host.frames.size(), 5u);
    EXPECT_FALSE(rig.state.held[static_cast<int>(MotionButton::YCCW)]);
}

TEST_F(Controller, SpeedIsReadAfreshForEveryStep)
{
    controller.press(MotionButton::TRight);
    host.speedPosition = 10;
    rig.ticks(1);
    EXPECT_EQ(rig.transform.transX, 13.0f);
}

TEST_F(Controller, HeldButtonsAreServedInTheirFixedOrderEachWithItsOwnFrame)
{
    // Pressed out of order; within a tick Y-rotation comes before translation,
    // which comes before sizing, back before front.
    for (auto b : {MotionButton::SOut, MotionButton::TFront, MotionButton::TBack,
                   MotionButton::YCCW})
        controller.press(b);
    host.frames.clear();
    rig.ticks(1);
    ASSERT_EQ(host.frames.size(), 4u);
    EXPECT_EQ(host.frames[0].rotY, 6.0f);
    EXPECT_EQ(host.frames[0].transZ, 0.0f);
    EXPECT_EQ(host.frames[1].transZ, -3.0f);   // back first: front has not yet undone it
    EXPECT_EQ(host.frames[2].transZ, 0.0f);
    EXPECT_EQ(host.frames[2].scaleY, 0.97f);
    EXPECT_LT(host.frames[3].scaleY, 0.97f);
}

TEST_F(Controller, PreciseModeMakesOneStepPerPressAndTicksDoNothing)
{
    host.preciseOn = true;
    host.speedPosition = 5;
    controller.press(MotionButton::XCCW);
    EXPECT_FALSE(host.timerEnabled);
    rig.ticks(10);
    EXPECT_EQ(host.frames.size(), 1u);
    EXPECT_EQ(rig.transform.rotX, 5.0f);

    // Even a running rotation is not served by a tick in Precise mode.
    rig.state.autoRotating = true;
    rig.ticks(10);
    EXPECT_EQ(host.frames.size(), 1u);
}

TEST_F(Controller, PressInModeOneStopsRotationCaptionAtPressHintAtRelease)
{
    startRotation(7);
    controller.press(MotionButton::ZCW);
    EXPECT_FALSE(rig.state.autoRotating);
    expectAutoButton("Auto", "Stop autorotation of the object");
    EXPECT_TRUE(host.timerEnabled);
    controller.release(MotionButton::ZCW);
    expectAutoButton("Auto", "Autorotate object");
    EXPECT_FALSE(host.timerEnabled);
    EXPECT_EQ(host.speed(), 1);  // not the 7 saved at the start
}

TEST_F(Controller, InModeTwoTheButtonStepComesBeforeTheRotationStep)
{
    controller.automodeClick();
    startRotation(3);
    rig.state.pickNewMotion = false;  // a known motion: kind 0 turns X only
    rig.state.motionKind = 0;
    rig.state.motionLength = 360;
    controller.press(MotionButton::TUp);
    EXPECT_TRUE(rig.state.autoRotating);
    host.frames.clear();
    rig.ticks(1);
    ASSERT_EQ(host.frames.size(), 2u);
    EXPECT_EQ(host.frames[0].transY, 2.0f);
    EXPECT_EQ(host.frames[0].rotX, 0.0f);
    EXPECT_EQ(host.frames[1].rotX, 1.0f);
    controller.release(MotionButton::TUp);
    EXPECT_TRUE(host.timerEnabled);
    expectAutoButton("Stop", "Stop autorotation of the object");
    EXPECT_FALSE(rig.state.held[static_cast<int>(MotionButton::TUp)]);
}

TEST_F(Controller, AutomodeButtonTogglesModeAndTextsOnly)
{
    startRotation(3);
    controller.automodeClick();
    EXPECT_EQ(rig.state.controlMode, 2);
    EXPECT_EQ(host.automodeCaption, "2");
    EXPECT_EQ(host.automodeHint, "Control enabled");
    controller.automodeClick();
    EXPECT_EQ(rig.state.controlMode, 1);
    EXPECT_EQ(host.automodeCaption, "1");
    EXPECT_EQ(host.automodeHint, "Control disabled");
    EXPECT_TRUE(rig.state.autoRotating);
    EXPECT_TRUE(host.timerEnabled);
}

TEST_F(Controller, StatusLineShowsTheSpeedUntilTheTrackBarIsLeft)
{
    for (int position : {1, 7, 10}) {
        controller.speedChanged(position);
        EXPECT_EQ(host.status(), std::to_string(position));
    }
    controller.speedExit();
    EXPECT_EQ(host.status(), "");
}

TEST_F(Controller, SizingSwitchTogglesItsBoldMarkWithoutDrawing)
{
    for (int axis = 0; axis < 3; ++axis) {
        controller.scalingClick(axis);
        EXPECT_FALSE(host.scaling[axis].bold);
        controller.scalingClick(axis);
        EXPECT_TRUE(host.scaling[axis].bold);
        controller.scalingClick(axis);
    }
    EXPECT_FALSE(rig.transform.scalingX || rig.transform.scalingY || rig.transform.scalingZ);
    EXPECT_EQ(host.scaling[1].caption, "Y");
    EXPECT_TRUE(host.frames.empty());
    controller.press(MotionButton::SIn);
    EXPECT_EQ(rig.transform.scaleX, 1.0f);
    EXPECT_EQ(host.frames.size(), 1u);
}

TEST_F(Controller, ResetDuringRotationRestoresStartPoseAndLeavesTheTimer)
{
    controller.automodeClick();
    startRotation(7);
    rig.ticks(50);
    controller.scalingClick(2);
    controller.press(MotionButton::SIn);
    rig.state.motionKind = 12;
    host.frames.clear();
    host.statusTexts.clear();

    controller.resetObject();

    for (float angle : {rig.transform.rotX, rig.transform.rotY, rig.transform.rotZ})
        EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(rig.transform.scaleX, 1.0f);
    EXPECT_TRUE(rig.transform.scalingZ);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_TRUE(host.scaling[axis].bold) << "axis " << axis;
    EXPECT_EQ(host.speed(), 3);
    EXPECT_EQ(host.statusTexts, (std::vector<std::string>{"3", ""}));
    EXPECT_FALSE(rig.state.autoRotating);
    expectAutoButton("Auto", "Autorotate object");
    EXPECT_EQ(rig.state.controlMode, 1);
    EXPECT_EQ(host.automodeCaption, "1");
    EXPECT_TRUE(rig.state.pickNewMotion);
    EXPECT_EQ(rig.state.motionProgress, 0);
    EXPECT_EQ(rig.state.motionLength, 0);
    // Left as they were: the timer, the hold flags, the motion kind, the saved speed.
    EXPECT_TRUE(host.timerEnabled);
    EXPECT_TRUE(rig.state.held[static_cast<int>(MotionButton::SIn)]);
    EXPECT_EQ(rig.state.motionKind, 12);
    EXPECT_EQ(rig.state.savedSpeed, 7);
    EXPECT_TRUE(host.frames.empty());
}

TEST_F(Controller, InitialStateAlsoClearsTheHoldFlags)
{
    controller.press(MotionButton::TBack);
    controller.press(MotionButton::ZCCW);
    controller.setInitialState();
    for (bool held : rig.state.held)
        EXPECT_FALSE(held);
    EXPECT_EQ(rig.transform.transZ, 0.0f);
    EXPECT_EQ(host.speed(), 3);
    host.frames.clear();
    rig.ticks(3);
    EXPECT_TRUE(host.frames.empty());
}

} // namespace
