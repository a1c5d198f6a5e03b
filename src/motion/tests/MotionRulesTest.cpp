#include "MotionRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Field = float ObjectTransform::*;

// Holds a button for `count` steps at `speed`, returning the field as each frame showed it.
std::vector<float> holdSteps(ObjectTransform& t, MotionButton button, Field field, int speed,
                             int count)
{
    std::vector<float> shown;
    for (int i = 0; i < count; ++i)
        StepButton(t, button, speed, [&] { shown.push_back(t.*field); });
    return shown;
}

struct ButtonCase {
    MotionButton button;
    Field field;
    int direction;
    const char* name;
};

std::string caseName(const testing::TestParamInfo<ButtonCase>& info)
{
    return info.param.name;
}

class RotationButton : public testing::TestWithParam<ButtonCase> {};

TEST_P(RotationButton, DrawsTheFullTurnThenRestartsFromZero)
{
    const auto [button, field, dir, name] = GetParam();
    ObjectTransform t;
    const auto shown = holdSteps(t, button, field, 3, 121);
    ASSERT_EQ(shown.size(), 121u);
    for (int k = 1; k <= 120; ++k)
        ASSERT_EQ(shown[k - 1], static_cast<float>(dir * 3 * k)) << "frame " << k;
    EXPECT_EQ(shown[121 - 1], static_cast<float>(dir * 3));
    EXPECT_EQ(t.*field, static_cast<float>(dir * 3));
}

TEST_P(RotationButton, WrapsToExactlyZeroNotTheRemainder)
{
    const auto [button, field, dir, name] = GetParam();
    ObjectTransform t;
    t.*field = static_cast<float>(dir * 357);
    EXPECT_EQ(holdSteps(t, button, field, 7, 1).front(), static_cast<float>(dir * 364));
    EXPECT_EQ(t.*field, 0.0f);
    // A step only checks the bound it moves towards.
    t.*field = static_cast<float>(-dir * 370);
    holdSteps(t, button, field, 10, 1);
    EXPECT_EQ(t.*field, static_cast<float>(-dir * 360));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, RotationButton,
    testing::Values(ButtonCase{MotionButton::YCCW, &ObjectTransform::rotY, +1, "YCCW"},
                    ButtonCase{MotionButton::YCW, &ObjectTransform::rotY, -1, "YCW"},
                    ButtonCase{MotionButton::XCW, &ObjectTransform::rotX, -1, "XCW"},
                    ButtonCase{MotionButton::XCCW, &ObjectTransform::rotX, +1, "XCCW"},
                    ButtonCase{MotionButton::ZCW, &ObjectTransform::rotZ, -1, "ZCW"},
                    ButtonCase{MotionButton::ZCCW, &ObjectTransform::rotZ, +1, "ZCCW"}),
    caseName);

class TranslationButton : public testing::TestWithParam<ButtonCase> {};

TEST_P(TranslationButton, FrameShowsOneStepBeyondTheLimitWhichIsThenStored)
{
    const auto [button, field, dir, name] = GetParam();
    ObjectTransform t;
    t.*field = static_cast<float>(dir * 327);
    const auto shown = holdSteps(t, button, field, 3, 3);
    const std::vector<float> expected{dir * 330.0f, dir * 333.0f, dir * 333.0f};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(t.*field, dir * 330.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, TranslationButton,
    testing::Values(ButtonCase{MotionButton::TUp, &ObjectTransform::transY, +1, "TUp"},
                    ButtonCase{MotionButton::TDown, &ObjectTransform::transY, -1, "TDown"},
                    ButtonCase{MotionButton::TLeft, &ObjectTransform::transX, -1, "TLeft"},
                    ButtonCase{MotionButton::TRight, &ObjectTransform::transX, +1, "TRight"},
                    ButtonCase{MotionButton::TBack, &ObjectTransform::transZ, -1, "TBack"},
                    ButtonCase{MotionButton::TFront, &ObjectTransform::transZ, +1, "TFront"}),
    caseName);

// Steps a size button until the scale settles, returning every frame's scaleY.
std::vector<float> sizeUntilSettled(ObjectTransform& t, MotionButton button, int speed)
{
    std::vector<float> shown;
    for (int i = 0; i < 2000 && (shown.size() < 2 || shown.back() != shown[shown.size() - 2]); ++i)
        StepButton(t, button, speed, [&] { shown.push_back(t.scaleY); });
    return shown;
}

TEST(SizeButton, DownAtSpeedTenStopsAtTheFloatNearestOneThousandth)
{
    ObjectTransform t;
    const auto shown = sizeUntilSettled(t, MotionButton::SOut, 10);
    ASSERT_EQ(shown.size(), 11u);  // 0.9 .. 0.1, the limit, the limit again
    for (int k = 1; k <= 9; ++k)
        EXPECT_NEAR(shown[k - 1], 1.0 - 0.1 * k, 1e-6) << "frame " << k;
    EXPECT_EQ(shown[9], 0.001f);
    for (float scale : {t.scaleX, t.scaleY, t.scaleZ})
        EXPECT_EQ(scale, 0.001f);
}

TEST(SizeButton, UpStopsAtTen)
{
    ObjectTransform t;
    const auto shown = sizeUntilSettled(t, MotionButton::SIn, 10);
    EXPECT_NEAR(shown.front(), 1.1, 1e-6);
    for (float s : shown)
        EXPECT_LE(s, 10.0f);
    for (float scale : {t.scaleX, t.scaleY, t.scaleZ})
        EXPECT_EQ(scale, 10.0f);
}

TEST(SizeButton, ActsOnlyOnSwitchedOnAxesAndAlwaysDrawsOneFrame)
{
    for (const bool yOn : {true, false}) {
        ObjectTransform t;
        t.scalingX = false;
        t.scalingY = yOn;
        t.scalingZ = false;
        int frames = 0;
        StepButton(t, MotionButton::SIn, 5, [&] { ++frames; });
        EXPECT_EQ(frames, 1);
        EXPECT_EQ(t.scaleX, 1.0f);
        EXPECT_EQ(t.scaleY, yOn ? 1.05f : 1.0f);
        EXPECT_EQ(t.scaleZ, 1.0f);
    }
}

// The sign each kind applies to rotX, rotY, rotZ: all 26 non-zero combinations in their fixed order.
const char* const kKindSigns[26] = {
    "+  ", " + ", "  +", "++ ", "+ +", " ++", "+++", "-  ", " - ", "  -", "-- ", "- -", " --",
    "---", "+- ", "-+ ", "- +", "+ -", " +-", " -+", "-+-", "+-+", "+--", "-++", "--+", "++-",
};

char signOf(float v)
{
    return v > 0 ? '+' : (v < 0 ? '-' : ' ');
}

TEST(AutoRotateStep, EachKindTurnsTheAnglesOfItsTableRow)
{
    for (unsigned kind = 0; kind < 26; ++kind) {
        ObjectTransform t;
        AutoRotateStep(t, kind, 4);
        const std::string signs{signOf(t.rotX), signOf(t.rotY), signOf(t.rotZ)};
        EXPECT_EQ(signs, kKindSigns[kind]) << "kind " << kind;
        for (float angle : {t.rotX, t.rotY, t.rotZ})
            EXPECT_TRUE(angle == 0.0f || angle == 4.0f || angle == -4.0f);
    }
}

TEST(AutoRotateStep, WrapsEachTurnedAngleBeforeAnythingIsDrawn)
{
    ObjectTransform t;
    t.rotX = 358.0f;   // kind 22: X up, Y and Z down
    t.rotY = -357.0f;
    t.rotZ = -100.0f;
    AutoRotateStep(t, 22, 3);
    EXPECT_EQ(t.rotX, 0.0f);
    EXPECT_EQ(t.rotY, 0.0f);
    EXPECT_EQ(t.rotZ, -103.0f);

    t = ObjectTransform{};
    t.rotX = -359.0f;  // kind 0 only increases X, so the lower bound is not checked
    AutoRotateStep(t, 0, 3);
    EXPECT_EQ(t.rotX, -356.0f);
}

TEST(AutoRotateStep, KindsBeyondTheTableChangeNothing)
{
    for (unsigned kind : {26u, 27u, 1000u, 0xFFFFFFFFu}) {
        ObjectTransform t;
        t.rotX = 10.0f;
        AutoRotateStep(t, kind, 5);
        EXPECT_EQ(t.rotX, 10.0f);
        EXPECT_EQ(t.rotY, 0.0f);
        EXPECT_EQ(t.rotZ, 0.0f);
    }
}

} // namespace
