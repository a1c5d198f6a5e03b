// The Control panel's real buttons: press and release with the mouse, the timer, the
// keyboard doing nothing, and the automatic rotation controls.
#include "FormFixture.h"

#include "TBitBtn.h"
#include "TMotionTimer.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSlider>

namespace {

class ControlPanelTest : public FormTest {
protected:
    TBitBtn* button(const char* name) { return find<TBitBtn>(name); }
    void addOne()
    {
        ASSERT_TRUE(form->addPolygon(quad("One", {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, 1, 2, 3)));
    }
    const ObjectTransform& pose() { return form->objectTransform(); }
};

TEST_F(ControlPanelTest, AClickMakesExactlyOneStepWithAnyMouseButton)
{
    const long frames = form->framesDrawn();
    QTest::mouseClick(button("BitBtnYCCW"), Qt::LeftButton);
    EXPECT_FLOAT_EQ(pose().rotY, 3.0f);
    QTest::mouseClick(button("BitBtnYCCW"), Qt::RightButton);
    EXPECT_FLOAT_EQ(pose().rotY, 6.0f);
    QTest::mouseClick(button("BitBtnTLeft"), Qt::MiddleButton);
    EXPECT_FLOAT_EQ(pose().transX, -3.0f);
    EXPECT_EQ(form->framesDrawn() - frames, 3);
    EXPECT_FALSE(form->motionTimer()->enabled()) << "released in control mode 1";
    settle();
    EXPECT_FLOAT_EQ(pose().rotY, 6.0f) << "nothing repeats after the release";
}

TEST_F(ControlPanelTest, ASecondMouseButtonOnAHeldButtonChangesNothing)
{
    TBitBtn* b = button("BitBtnYCW");
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mousePress(b, Qt::RightButton);
    EXPECT_FLOAT_EQ(pose().rotY, -3.0f) << "one step for the press";
    QTest::mouseRelease(b, Qt::LeftButton);
    EXPECT_TRUE(form->motionTimer()->enabled()) << "still held by the right button";
    EXPECT_TRUE(b->isDown());
    QTest::mouseRelease(b, Qt::RightButton);
    EXPECT_FALSE(form->motionTimer()->enabled());
    EXPECT_FALSE(b->isDown());
}

TEST_F(ControlPanelTest, HoldingRepeatsOnTimerTicksUntilTheRelease)
{
    TBitBtn* b = button("BitBtnXCW");
    QTest::mousePress(b, Qt::LeftButton);
    EXPECT_TRUE(form->motionTimer()->enabled());
    EXPECT_TRUE(b->isDown());
    QElapsedTimer t;
    t.start();
    QTest::qWait(250);
    const long ms = t.elapsed();
    QTest::mouseRelease(b, Qt::LeftButton);
    const float steps = -pose().rotX / 3.0f;
    EXPECT_GE(steps, 3.0f);
    // About 60 ticks a second, so the speed does not depend on the machine.
    EXPECT_LE(steps, 2.0f + float(ms) * TMotionTimer::kTicksPerSecond / 1000.0f);
    EXPECT_FALSE(form->motionTimer()->enabled());
    EXPECT_FALSE(b->isDown());
}

TEST_F(ControlPanelTest, PreciseMakesOneStepPerPress)
{
    form->PreciseExecute();
    TBitBtn* b = button("BitBtnSIn");
    QTest::mousePress(b, Qt::LeftButton);
    EXPECT_FALSE(form->motionTimer()->enabled());
    QTest::qWait(100);
    QTest::mouseRelease(b, Qt::LeftButton);
    EXPECT_FLOAT_EQ(pose().scaleX, float(1.0 + 0.03));
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_FLOAT_EQ(pose().scaleZ, float(float(1.0 + 0.03) + 0.03));
}

TEST_F(ControlPanelTest, TheKeyboardDoesNothingOnAMotionButton)
{
    TBitBtn* b = button("BitBtnZCCW");
    b->setFocus();
    const long frames = form->framesDrawn();
    QTest::keyClick(b, Qt::Key_Space);
    QTest::keyClick(b, Qt::Key_Return);
    QTest::keyClick(b, Qt::Key_Enter);
    EXPECT_FLOAT_EQ(pose().rotZ, 0.0f);
    EXPECT_EQ(form->framesDrawn(), frames);
}

TEST_F(ControlPanelTest, SpeedTrackBarSetsTheStepAndTheStatusLine)
{
    QSlider* speed = find<QSlider>("TrackBar1");
    speed->setFocus();
    QTest::keyClick(speed, Qt::Key_Right);
    EXPECT_EQ(speed->value(), 4);
    EXPECT_EQ(form->statusText(), "4");
    QTest::keyClick(speed, Qt::Key_PageUp);
    EXPECT_EQ(speed->value(), 6);
    EXPECT_EQ(form->statusText(), "6");
    QTest::mouseClick(button("BitBtnTUp"), Qt::LeftButton);
    EXPECT_FLOAT_EQ(pose().transY, 6.0f);

    find<QPushButton>("btnResetControl")->setFocus(); // leaving the track bar clears it
    EXPECT_EQ(form->statusText(), "");
}

TEST_F(ControlPanelTest, AutoNeedsAPolygonAndStopStopsItEvenWhenTheListEmptied)
{
    QPushButton* autoButton = find<QPushButton>("btnAuto");
    QTest::mouseClick(autoButton, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Information");
    EXPECT_EQ(dialogs.messages[0].text,
              "Autorotation is only possible if minimally 1 polygon was defined");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(form->motionState().autoRotating);

    addOne();
    form->randomSource().seed(7);
    QTest::mouseClick(autoButton, Qt::LeftButton);
    EXPECT_TRUE(form->motionState().autoRotating);
    EXPECT_EQ(autoButton->text(), "Stop");
    EXPECT_EQ(form->hintOf(autoButton), "Stop autorotation of the object");
    EXPECT_TRUE(form->motionTimer()->enabled());
    QTest::qWait(120);
    const ObjectTransform& t = pose();
    EXPECT_NE(t.rotX + t.rotY + t.rotZ, 0.0f) << "it tumbles";

    form->polygons().Clear(); // as if the editor had removed the last polygon
    QTest::mouseClick(autoButton, Qt::LeftButton);
    EXPECT_FALSE(form->motionState().autoRotating);
    EXPECT_EQ(autoButton->text(), "Auto");
    EXPECT_EQ(dialogs.messages.size(), 1u) << "no second message";
}

TEST_F(ControlPanelTest, PressInControlModeOneStopsTheRotationAndModeTwoWorksBesideIt)
{
    addOne();
    QPushButton* autoButton = find<QPushButton>("btnAuto");
    QTest::mouseClick(autoButton, Qt::LeftButton);
    QTest::mousePress(button("BitBtnTRight"), Qt::LeftButton);
    EXPECT_FALSE(form->motionState().autoRotating);
    EXPECT_EQ(autoButton->text(), "Auto");
    EXPECT_EQ(form->hintOf(autoButton), "Stop autorotation of the object") << "hint at release";
    QTest::mouseRelease(button("BitBtnTRight"), Qt::LeftButton);
    EXPECT_EQ(form->hintOf(autoButton), "Autorotate object");
    EXPECT_EQ(find<QSlider>("TrackBar1")->value(), 1) << "the saved speed is not restored";

    QPushButton* mode = find<QPushButton>("AutomodeButton");
    QTest::mouseClick(mode, Qt::LeftButton);
    EXPECT_EQ(mode->text(), "2");
    EXPECT_EQ(form->hintOf(mode), "Control enabled");
    QTest::mouseClick(autoButton, Qt::LeftButton);
    QTest::mouseClick(button("BitBtnTRight"), Qt::LeftButton);
    EXPECT_TRUE(form->motionState().autoRotating);
    EXPECT_TRUE(form->motionTimer()->enabled());
}

TEST_F(ControlPanelTest, SizingSwitchesShowTheirStateInBoldAndResetRestoresThem)
{
    QPushButton* x = find<QPushButton>("XScaling");
    const long frames = form->framesDrawn();
    QTest::mouseClick(x, Qt::LeftButton);
    EXPECT_FALSE(x->font().bold());
    EXPECT_FALSE(pose().scalingX);
    EXPECT_EQ(form->framesDrawn(), frames);
    QTest::mouseClick(button("BitBtnSIn"), Qt::LeftButton);
    EXPECT_FLOAT_EQ(pose().scaleX, 1.0f);
    EXPECT_FLOAT_EQ(pose().scaleY, 1.03f);

    find<QSlider>("TrackBar1")->setValue(8);
    QTest::mouseClick(find<QPushButton>("btnResetControl"), Qt::LeftButton);
    EXPECT_TRUE(pose().scalingX);
    EXPECT_TRUE(x->font().bold()) << "mark and switch agree after the reset";
    EXPECT_FLOAT_EQ(pose().scaleY, 1.0f);
    EXPECT_EQ(find<QSlider>("TrackBar1")->value(), 3);
    EXPECT_EQ(form->statusText(), "");
}

} // namespace
