#include "FakeMotionHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

const char* const kEmptyListMessage =
    "Information: Autorotation is only possible if minimally 1 polygon was defined";

class AutoRotation : public testing::Test {
protected:
    void expectRunning(bool running) const
    {
        EXPECT_EQ(rig.state.autoRotating, running);
        EXPECT_EQ(host.autoCaption, running ? "Stop" : "Auto");
        EXPECT_EQ(host.autoHint, running ? "Stop autorotation of the object" : "Autorotate object");
        EXPECT_EQ(host.timerEnabled, running);
    }

    // Puts a motion of the given kind and length under way, as if just drawn.
    void setMotion(int kind, int length)
    {
        rig.state.autoRotating = true;
        rig.state.pickNewMotion = false;
        rig.state.motionKind = kind;
        rig.state.motionLength = length;
        rig.state.motionProgress = 0;
    }

    MotionRig rig;
    MotionController& controller = rig.controller;
    FakeMotionHost& host = rig.host;
};

TEST_F(AutoRotation, StartSavesTheSpeedAndSetsOneStopRestoresIt)
{
    host.speedPosition = 7;
    host.preciseOn = true;
    controller.autoClick();
    expectRunning(true);
    EXPECT_FALSE(host.preciseOn);
    EXPECT_EQ(host.speed(), 1);
    EXPECT_EQ(rig.state.savedSpeed, 7);
    EXPECT_EQ(host.status(), "");

    controller.autoClick();
    expectRunning(false);
    EXPECT_EQ(host.speed(), 7);
    EXPECT_EQ(host.status(), "");
    EXPECT_TRUE(host.exclamations.empty());
}

TEST_F(AutoRotation, StartingWithAnEmptyListOnlyShowsTheMessage)
{
    host.polygons = 0;
    controller.autoClick();
    ASSERT_EQ(host.exclamations.size(), 1u);
    EXPECT_EQ(host.exclamations[0], kEmptyListMessage);
    expectRunning(false);
    EXPECT_EQ(host.speed(), 3);
    EXPECT_TRUE(host.statusTexts.empty());
}

TEST_F(AutoRotation, StopStopsEvenWhenTheListHasBecomeEmpty)
{
    host.speedPosition = 6;
    controller.autoClick();
    host.polygons = 0;
    controller.autoClick();
    expectRunning(false);
    EXPECT_EQ(host.speed(), 6);
    EXPECT_TRUE(host.exclamations.empty());
}

TEST_F(AutoRotation, PreciseStopsItWithoutTouchingTheSpeed)
{
    for (const bool running : {true, false}) {
        if (running)
            controller.autoClick();
        host.speedPosition = 4;
        controller.stopForPrecise();
        expectRunning(false);
        EXPECT_EQ(host.speed(), 4);
    }
}

TEST_F(AutoRotation, ANewMotionDrawsItsKindBeforeItsLength)
{
    RandomSource replay(1);  // the rig's seed
    const int kind = replay.next(26);
    const int length = replay.next(360) + 1;
    controller.autoClick();
    rig.ticks(1);
    EXPECT_EQ(rig.state.motionKind, kind);
    EXPECT_EQ(rig.state.motionLength, length);
    EXPECT_FALSE(rig.state.pickNewMotion);
}

TEST_F(AutoRotation, AtSpeedTenAMotionOfLengthFiveMakesNoStep)
{
    setMotion(0, 5);
    host.speedPosition = 10;
    rig.ticks(1);
    EXPECT_TRUE(host.frames.empty());
    EXPECT_EQ(rig.transform.rotX, 0.0f);
    EXPECT_TRUE(rig.state.pickNewMotion);
}

TEST_F(AutoRotation, ReachingTheLengthExactlyStillSteps)
{
    // Kind 6 turns all three angles: L div s steps of s degrees, then one idle tick
    // after which a new motion is drawn.
    for (const auto& [length, speed] : {std::pair{6, 3}, {7, 3}, {5, 1}, {360, 10}}) {
        rig.transform = ObjectTransform{};
        host.frames.clear();
        setMotion(6, length);
        host.speedPosition = speed;
        const int steps = length / speed;
        rig.ticks(steps);
        EXPECT_EQ(host.frames.size(), static_cast<std::size_t>(steps));
        EXPECT_FALSE(rig.state.pickNewMotion) << length << " at " << speed;
        rig.ticks(1);
        EXPECT_EQ(host.frames.size(), static_cast<std::size_t>(steps));
        EXPECT_TRUE(rig.state.pickNewMotion) << length << " at " << speed;
        const float turned = static_cast<float>(std::fmod(steps * speed, 360));
        EXPECT_EQ(rig.transform.rotY, turned);
    }
}

class LongRotation : public testing::TestWithParam<std::tuple<uint32_t, int>> {};

TEST_P(LongRotation, NoFrameEverShowsAFullTurn)
{
    const auto [seed, speed] = GetParam();
    MotionRig rig(seed);
    rig.controller.autoClick();
    rig.host.setSpeed(speed);
    rig.ticks(6000);
    // Each motion lasts at most 360 / speed ticks plus an idle one, so thousands
    // of ticks span many motions and many wraps.
    ASSERT_GT(rig.host.frames.size(), 4000u);
    float turned = 0.0f;
    for (const auto& frame : rig.host.frames) {
        for (float angle : {frame.rotX, frame.rotY, frame.rotZ}) {
            ASSERT_GT(angle, -360.0f);
            ASSERT_LT(angle, 360.0f);
            turned = std::max(turned, std::fabs(angle));
        }
    }
    EXPECT_GE(turned, 360.0f - speed);  // the wrap was actually approached
}

INSTANTIATE_TEST_SUITE_P(SeedsAndSpeeds, LongRotation,
                         testing::Combine(testing::Values(1u, 7u, 2024u, 99991u),
                                          testing::Values(1, 3, 7, 10)));

} // namespace
