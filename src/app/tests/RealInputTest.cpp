// Faults that live in how the X server and Qt deliver events (mouse grabs taken by a menu,
// the item view's delayed edit, the wheel, the menu bar taking the focus, a key whose press
// closed a box and whose release comes after it): driven with real X events through xdotool,
// which QTest's events, sent straight to a widget, cannot show.
#include "FormFixture.h"

#include "TBitBtn.h"
#include "TCoordinateGrid.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

class RealInputTest : public FormTest {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "xdotool is not installed (scripts/deps.sh installs it)";
        FormTest::SetUp();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), 2000)) << "keys need the focus";
    }

    void TearDown() override
    {
        for (auto& p : meanwhile)
            p->waitForFinished(5000);
        FormTest::TearDown();
    }

    static QProcessEnvironment xdoEnvironment()
    {
        // A sanitizer build preloads its runtime for our own programs; xdotool is not ours.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("LD_PRELOAD"));
        return env;
    }
    // One xdotool command; the events it makes are then handled by this process.
    void xdo(const QStringList& args, int settleMs = 60)
    {
        QProcess p;
        p.setProcessEnvironment(xdoEnvironment());
        p.start(QStringLiteral("xdotool"), args);
        ASSERT_TRUE(p.waitForFinished(5000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QTest::qWait(settleMs);
    }
    void pointAt(QWidget* w, QPoint local)
    {
        const QPoint at = w->mapToGlobal(local);
        xdo({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
    }
    void pointAt(QWidget* w) { pointAt(w, w->rect().center()); }
    void key(const char* keys) { xdo({"key", QString::fromLatin1(keys)}); }
    // An xdotool command that goes on while this process handles events, in a modal box's own
    // loop for one.
    void xdoMeanwhile(const QStringList& args)
    {
        meanwhile.push_back(std::make_unique<QProcess>());
        meanwhile.back()->setProcessEnvironment(xdoEnvironment());
        meanwhile.back()->start(QStringLiteral("xdotool"), args);
    }
    // A key held as long as a person holds it, so that its release comes after what its press
    // did (a box closing, say) has happened.
    void holdKeyMeanwhile(const char* name)
    {
        xdoMeanwhile({"sleep", "0.3", "keydown", name, "sleep", "0.2", "keyup", name});
    }
    bool meanwhileDone() const
    {
        return std::all_of(meanwhile.begin(), meanwhile.end(), [](const auto& p) {
            return p->state() == QProcess::NotRunning;
        });
    }
    std::vector<std::unique_ptr<QProcess>> meanwhile;
    static bool menuOpen() { return QApplication::activePopupWidget() != nullptr; }
    // The speed raised to 4 from the track bar, then the File menu opened and closed with one
    // Esc, which leaves the menu bar holding the focus.
    QSlider* speedThenOneEscFromTheFileMenu()
    {
        auto* speed = find<QSlider>("TrackBar1");
        speed->setFocus();
        key("Right");
        EXPECT_EQ(form->statusText(), "4");
        key("alt+f");
        EXPECT_TRUE(QTest::qWaitFor(menuOpen, 2000));
        key("Escape");
        EXPECT_TRUE(QTest::qWaitFor([] { return !menuOpen(); }, 2000));
        return speed;
    }

    TBitBtn* button(const char* name) { return find<TBitBtn>(name); }
    const ObjectTransform& pose() { return form->objectTransform(); }
    bool anyHeld() const
    {
        const auto& held = form->motionState().held;
        return std::any_of(held.begin(), held.end(), [](bool h) { return h; });
    }
};

TEST_F(RealInputTest, AHeldButtonLetsGoWhenAMenuTakesTheMouseAndAnswersTheNextClick)
{
    TBitBtn* yccw = button("BitBtnYCCW");
    pointAt(yccw);
    xdo({"mousedown", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return yccw->held(); }, 2000));
    key("alt+f");
    ASSERT_TRUE(QTest::qWaitFor(menuOpen, 2000));
    EXPECT_FALSE(anyHeld()) << "the release comes as soon as the menu has the mouse";
    EXPECT_FALSE(form->motionTimer()->enabled());
    EXPECT_FALSE(yccw->isDown());
    xdo({"mouseup", "1"});
    key("Escape");
    ASSERT_TRUE(QTest::qWaitFor([] { return !menuOpen(); }, 2000));
    const float rotY = pose().rotY;
    QTest::qWait(150);
    EXPECT_FLOAT_EQ(pose().rotY, rotY) << "nothing turns with no button held";

    xdo({"click", "1"}, 150);
    EXPECT_FLOAT_EQ(pose().rotY, rotY + 3.0f) << "one click, one step";
    pointAt(button("BitBtnXCW"));
    xdo({"mousedown", "1"}, 150);
    xdo({"mouseup", "1"});
    EXPECT_FLOAT_EQ(pose().rotY, rotY + 3.0f) << "another button turns about its own axis only";
    EXPECT_LT(pose().rotX, 0.0f);
    EXPECT_FALSE(anyHeld());
}

TEST_F(RealInputTest, PressOnOneButtonReleaseOverAnotherEndsTheFirstHold)
{
    TBitBtn* ycw = button("BitBtnYCW");
    TBitBtn* xcw = button("BitBtnXCW");
    pointAt(ycw);
    xdo({"mousedown", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ycw->held(); }, 2000));
    pointAt(xcw);
    xdo({"mouseup", "1"});
    EXPECT_FALSE(anyHeld());
    EXPECT_FALSE(form->motionTimer()->enabled());
    EXPECT_FALSE(xcw->held());
    EXPECT_FLOAT_EQ(pose().rotX, 0.0f);
    const float rotY = pose().rotY;
    QTest::qWait(100);
    EXPECT_FLOAT_EQ(pose().rotY, rotY);
}

TEST_F(RealInputTest, FastTypingAfterAClickOnTheCurrentCellKeepsEveryKey)
{
    QTest::mouseClick(find<QPushButton>("btnNew"), Qt::LeftButton);
    auto* grid = find<TCoordinateGrid>("stringGrid");
    auto cellCentre = [grid](int col, int row) {
        return grid->visualRect(grid->model()->index(row, col)).center();
    };
    ASSERT_EQ(grid->currentCol(), 1);
    ASSERT_EQ(grid->currentRowIndex(), 1);
    // Within the double-click interval of the click, and past it before looking.
    pointAt(grid->viewport(), cellCentre(1, 1));
    xdo({"click", "1"}, 0);
    xdo({"type", "--delay", "40", "70"}, QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(grid->cell(1, 1), "70");

    pointAt(grid->viewport(), cellCentre(2, 1));
    xdo({"click", "1"}, QApplication::doubleClickInterval() + 100);
    xdo({"click", "1"}, 0);   // the cell is current now
    xdo({"type", "--delay", "40", "56"}, QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(grid->cell(2, 1), "56");

    pointAt(grid->viewport(), cellCentre(3, 1));
    xdo({"click", "--repeat", "2", "--delay", "60", "1"}, 0);
    xdo({"type", "--delay", "30", "123"}, QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(grid->cell(3, 1), "123");
}

TEST_F(RealInputTest, TheWheelOverTheTypeBoxChangesNothing)
{
    QTest::mouseClick(find<QPushButton>("btnNew"), Qt::LeftButton);
    auto* grid = find<TCoordinateGrid>("stringGrid");
    grid->setCell(1, 1, "5");
    auto* type = find<QComboBox>("cmbType");
    ASSERT_FALSE(type->hasFocus());
    pointAt(type);
    xdo({"click", "5"});
    xdo({"click", "5"});
    xdo({"click", "4"});
    EXPECT_EQ(type->currentText(), "Triangle");
    EXPECT_EQ(grid->cell(1, 1), "5");
    EXPECT_EQ(grid->pointRows(), 3);
}

TEST_F(RealInputTest, TheSpeedStaysInTheStatusLineWhileAMenuHasTheFocus)
{
    auto* speed = speedThenOneEscFromTheFileMenu();
    EXPECT_EQ(form->statusText(), "4");
    key("alt");
    key("Escape");
    EXPECT_EQ(form->statusText(), "4");
    EXPECT_TRUE(speed->hasFocus());

    // Another control of the window taking the focus is leaving the track bar.
    pointAt(find<QPushButton>("AutomodeButton"));
    xdo({"click", "1"});
    EXPECT_EQ(form->statusText(), "");
}

// The error box of a cell, closed by the press of Return or Esc, came straight back: the
// release of that key reached the cell and ran the check again. Only a click or Space ended it.
TEST_F(RealInputTest, ReturnOrEscClosesTheErrorBoxOfACellForGood)
{
    QtDialogService real(form.get());
    const char* closeWith = "Return";
    dialogs.onMessage = [&](const ScriptedDialogs::Message& m) {
        if (dialogs.messages.size() > 3)
            return;   // a box coming back for ever is answered without showing it
        holdKeyMeanwhile(closeWith);
        // Should no key reach the box, the test fails instead of waiting for ever.
        QTimer::singleShot(4000, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        real.showMessage(m.caption, m.text, m.icon, m.buttons);
        form->activateWindow();   // as a window manager does when the box has gone
    };
    auto boxesDone = [&] {
        return QTest::qWaitFor([&] { return meanwhileDone() && !QApplication::activeModalWidget(); },
                               5000);
    };
    QTest::mouseClick(find<QPushButton>("btnNew"), Qt::LeftButton);
    auto* grid = find<TCoordinateGrid>("stringGrid");
    grid->setFocus();
    for (const char* k : {"1", "2", "Left", "minus"})
        key(k);
    ASSERT_TRUE(boxesDone());
    QTest::qWait(300);
    ASSERT_EQ(grid->cell(1, 1), "1-2");
    ASSERT_GE(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "'1-2' is not a valid integer value.");
    EXPECT_EQ(dialogs.messages.size(), 1u) << "closed with Return";

    // The user's next key in the cell is checked again.
    closeWith = "Escape";
    key("shift");
    ASSERT_TRUE(boxesDone());
    QTest::qWait(300);
    EXPECT_EQ(dialogs.messages.size(), 2u) << "closed with Esc";
}

// One Esc closes a menu but leaves the menu bar with the focus; the focus going on from there
// to another control is leaving the track bar all the same.
TEST_F(RealInputTest, AClickAfterOneEscFromAMenuClearsTheSpeed)
{
    auto* speed = speedThenOneEscFromTheFileMenu();
    ASSERT_FALSE(speed->hasFocus());
    pointAt(find<QPushButton>("AutomodeButton"), QPoint(4, 4));
    xdo({"click", "1"});
    EXPECT_EQ(form->statusText(), "");
}

// Ctrl+Z in a text field takes back the typing there first, then the last change to the
// object; the polygon being typed in stays.
TEST_F(RealInputTest, CtrlZTakesBackTheFieldsTypingBeforeTheObjectsChange)
{
    ASSERT_TRUE(form->addPolygon(quad("first", {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, 1, 2, 3)));
    find<QPushButton>("btnNew")->click();
    auto* name = find<QLineEdit>("edtName");
    pointAt(name);
    xdo({"click", "1"});
    xdo({"type", "roof"});
    ASSERT_EQ(name->text(), "roof");
    key("ctrl+z");
    EXPECT_EQ(name->text(), "");
    EXPECT_EQ(form->polygons().Count(), 1) << "the field's typing goes first";
    key("ctrl+z");
    EXPECT_EQ(form->polygons().Count(), 0);
    EXPECT_EQ(form->editor()->polygonListBox()->count(), 0);
    EXPECT_EQ(form->editor()->state().mode, EditorMode::NewPolygon);
}

TEST_F(RealInputTest, RemovingTheFirstEntryRepaintsTheRowsBelowIt)
{
    for (const char* name : {"Front", "Right", "Back", "Left", "Top", "Bottom"})
        ASSERT_TRUE(form->addPolygon(quad(name, {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, 1, 2, 3)));
    TPolygonListBox* box = form->editor()->polygonListBox();
    QWidget* rows = box->viewport();
    box->scrollToTop();   // the list follows each polygon added to its end
    QTest::qWait(100);
    pointAt(rows, box->visualRect(box->model()->index(0, 0)).center());
    xdo({"click", "1"}, 300);
    ASSERT_EQ(form->editor()->state().selectedPosition, 1);
    pointAt(find<QPushButton>("btnRemove"));
    xdo({"click", "1"}, 300);
    ASSERT_EQ(box->count(), 5);
    // What the X server shows against the rows drawn afresh: a row left from before the
    // removal shows a name twice.
    const QImage shown = rows->screen()->grabWindow(rows->winId()).toImage();
    const QImage drawn = rows->grab().toImage();
    EXPECT_TRUE(shown.convertToFormat(QImage::Format_RGB32) == drawn.convertToFormat(QImage::Format_RGB32))
        << "the rows on the screen are not the rows drawn afresh";
}

} // namespace
