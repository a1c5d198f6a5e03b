// Typing into the grid key by key, as a user does: the clean-up after each release, the
// range message, Enter, Tab and Esc, the type box and the name field.

#include "EditorFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>

namespace {

struct Keystrokes {
    const char* name;
    const char* keys;
    const char* cell;        // the cell afterwards
    int rangeMessages;
};

void PrintTo(const Keystrokes& k, std::ostream* os) { *os << k.name; }

class KeystrokeTest : public EditorTest, public testing::WithParamInterface<Keystrokes> {};

TEST_P(KeystrokeTest, CellIsCleanedUpAfterEveryRelease)
{
    click(btn("btnNew"));
    typeIntoCell(2, 3, QString::fromLatin1(GetParam().keys));
    const QString expected = QString::fromLatin1(GetParam().cell);
    EXPECT_EQ(grid()->cell(2, 3), expected);
    // What the open cell editor shows is the cell, also when the clean-up emptied it.
    if (QLineEdit* cellEditor = grid()->cellEditor()) {
        EXPECT_EQ(cellEditor->text(), expected);
    }
    ASSERT_EQ(int(dialogs.messages.size()), GetParam().rangeMessages);
    for (const ScriptedDialogs::Message& m : dialogs.messages) {
        EXPECT_EQ(m.caption, QStringLiteral("Information"));
        EXPECT_EQ(m.text, QStringLiteral("Only values between -640 and +640 allowed"));
        EXPECT_EQ(m.icon, MessageIcon::Warning);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(frames, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, KeystrokeTest,
    testing::Values(Keystrokes{"SevenZero", "70", "70", 0},
                    Keystrokes{"SevenZeroZero", "700", "", 1},
                    Keystrokes{"MinusSixForty", "-640", "-640", 0},
                    Keystrokes{"SixForty", "640", "640", 0},
                    Keystrokes{"MinusSixFortyOne", "-641", "", 1},
                    Keystrokes{"SixFortyOne", "641", "", 1},
                    Keystrokes{"ZeroThenFive", "05", "", 0},
                    Keystrokes{"MinusThenZero", "-0", "", 0},
                    Keystrokes{"FiveThenMinus", "5-", "5", 0},
                    Keystrokes{"LoneMinus", "-", "-", 0},
                    Keystrokes{"LoneZero", "0", "0", 0},
                    // after the message the cell is empty, so typing goes on afresh
                    Keystrokes{"AfterTheMessage", "7001", "1", 1},
                    Keystrokes{"FilteredCharacters", "1a.+ 2", "12", 0},
                    Keystrokes{"Backspace", "123\b", "12", 0}),
    [](const testing::TestParamInfo<Keystrokes>& info) { return std::string(info.param.name); });

TEST_F(EditorTest, RangeCheckRunsOnTheReleaseNotThePress)
{
    click(btn("btnNew"));
    // The third digit stands in the cell until its key is released.
    typeIntoCell(1, 1, QStringLiteral("70"));
    const int messagesBefore = int(dialogs.messages.size());
    QWidget* target = QApplication::focusWidget();
    QTest::keyPress(target, '0');
    EXPECT_EQ(grid()->cell(1, 1), QStringLiteral("700"));
    QTest::keyRelease(QApplication::focusWidget(), '0');
    EXPECT_EQ(int(dialogs.messages.size()), messagesBefore + 1);
    EXPECT_EQ(grid()->cell(1, 1), QString());
}

TEST_F(EditorTest, LoneMinusStaysAndAddReportsIt)
{
    enterPolygon({QStringLiteral("p"), {"1", "2", "3", "4", "5", "6", "7", "8", "9"},
                  QColor(1, 2, 3), {}});
    grid()->setCurrentCoordinate(1, 1);
    grid()->setFocus();
    pressKey(Qt::Key_Backspace);
    typeText(QStringLiteral("-"));
    EXPECT_EQ(grid()->cell(1, 1), QStringLiteral("-"));
    click(btn("btnAdd"));
    EXPECT_EQ(warningText(),
              QStringLiteral("A single '-' for Point1: X-value is not possible\n"));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(EditorTest, CaretMovedMinusIsAConversionErrorThatKeepsTheText)
{
    click(btn("btnNew"));
    typeIntoCell(1, 1, QStringLiteral("53"));
    pressKey(Qt::Key_Left);
    typeText(QStringLiteral("-"));
    EXPECT_EQ(grid()->cell(1, 1), QStringLiteral("5-3"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("3DVorlan"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("'5-3' is not a valid integer value."));
    // Enter is not followed from a cell that failed.
    dialogs.clearRecords();
    pressKey(Qt::Key_Return);
    EXPECT_EQ(grid()->currentCol(), 1);
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(EditorTest, ReachingAFractionalCellWithAnArrowKeyReportsIt)
{
    tElement e;
    e.type = "Triangle";
    e.name = "loaded";
    e.vertex[1] = 1.5f;
    e.color = 0x10;
    e.red = 0x10;
    list.Add(e);
    editor->appendListEntries(1);
    selectEntry(0);
    EXPECT_EQ(grid()->cell(2, 1), QStringLiteral("1.5"));
    grid()->setFocus();
    grid()->setCurrentCoordinate(1, 1);
    pressKey(Qt::Key_Right);
    EXPECT_EQ(grid()->currentCol(), 2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("'1.5' is not a valid integer value."));
    EXPECT_EQ(grid()->cell(2, 1), QStringLiteral("1.5"));
}

// --- Enter, Tab and Esc -------------------------------------------------------------------------

// Types a value and Enter into every shown cell starting at point 1, X, and records where the
// current cell goes.
std::vector<GridCell> walkWithEnter(EditorTest& t, int cells)
{
    std::vector<GridCell> visited;
    t.grid()->setFocus();
    t.grid()->setCurrentCoordinate(1, 1);
    for (int i = 0; i < cells; ++i) {
        t.typeText(QString::number(i + 1));
        t.pressKey(Qt::Key_Return);
        visited.push_back({t.grid()->currentCol(), t.grid()->currentRowIndex()});
    }
    return visited;
}

TEST_F(EditorTest, EnterWalksATriangleAndWrapsToPointOne)
{
    click(btn("btnNew"));
    const std::vector<GridCell> visited = walkWithEnter(*this, 9);
    const std::vector<GridCell> expected = {{2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2},
                                            {1, 3}, {2, 3}, {3, 3}, {1, 1}};
    EXPECT_EQ(visited, expected);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(grid()->cell(i % 3 + 1, i / 3 + 1), QString::number(i + 1));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(EditorTest, EnterWalksAQuadThroughPointFour)
{
    click(btn("btnNew"));
    pickType(1);
    const std::vector<GridCell> visited = walkWithEnter(*this, 12);
    EXPECT_EQ(visited[7], (GridCell{3, 3}));
    EXPECT_EQ(visited[8], (GridCell{1, 4}));
    EXPECT_EQ(visited[10], (GridCell{3, 4}));
    EXPECT_EQ(visited[11], (GridCell{1, 1}));
}

TEST_F(EditorTest, EnterOnAnEmptyCellStays)
{
    click(btn("btnNew"));
    grid()->setFocus();
    grid()->setCurrentCoordinate(2, 2);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(grid()->currentCol(), 2);
    EXPECT_EQ(grid()->currentRowIndex(), 2);
    // Enter after a value that the range check wiped stays as well.
    typeText(QStringLiteral("99"));
    typeText(QStringLiteral("9"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(grid()->currentCol(), 2);
}

TEST_F(EditorTest, TabAndShiftTabMoveBetweenCellsInsideTheGrid)
{
    click(btn("btnNew"));
    grid()->setFocus();
    grid()->setCurrentCoordinate(3, 3);
    typeText(QStringLiteral("8"));
    pressKey(Qt::Key_Tab);
    EXPECT_EQ(grid()->cell(3, 3), QStringLiteral("8"));
    EXPECT_EQ(grid()->currentCol(), 1);
    EXPECT_EQ(grid()->currentRowIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), grid());
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid()->currentCol(), 3);
    EXPECT_EQ(grid()->currentRowIndex(), 3);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid()->currentCol(), 2);
}

TEST_F(EditorTest, EscMovesTheFocusToTheActiveChooseButton)
{
    click(btn("btnNew"));
    typeIntoCell(1, 1, QStringLiteral("4"));
    pressKey(Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), btn("btnChoose"));
    EXPECT_EQ(grid()->cell(1, 1), QStringLiteral("4"));

    click(radio("rdbTexture"));
    grid()->setFocus();
    pressKey(Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), btn("btnPath"));
}

// --- type box, name field, display field -------------------------------------------------------

TEST_F(EditorTest, TypeBoxTakesNoTyping)
{
    click(btn("btnNew"));
    cmbType()->setFocus();
    for (const char* keys : {"Q", "q", "Quad", " "})
        QTest::keyClicks(cmbType(), QString::fromLatin1(keys));
    EXPECT_EQ(cmbType()->currentText(), QStringLiteral("Triangle"));
    EXPECT_FALSE(cmbType()->view()->isVisible());
    // Nor does the open list search by letters.
    cmbType()->showPopup();
    QTest::keyClick(cmbType()->view(), 'Q');
    EXPECT_EQ(cmbType()->view()->currentIndex().row(), 0);
    cmbType()->hidePopup();
}

TEST_F(EditorTest, PickingAnotherTypeReshapesAndEmptiesTheGrid)
{
    click(btn("btnNew"));
    typeName(QStringLiteral("n"));
    typeIntoCell(1, 1, QStringLiteral("5"));
    pickType(1);
    EXPECT_EQ(cmbType()->currentText(), QStringLiteral("Quad"));
    EXPECT_EQ(grid()->pointRows(), 4);
    EXPECT_EQ(grid()->cell(1, 1), QString());
    EXPECT_EQ(grid()->currentCol(), 1);
    EXPECT_EQ(grid()->currentRowIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), edtName());
    EXPECT_EQ(edtName()->text(), QStringLiteral("n"));
    pickType(0);
    EXPECT_EQ(grid()->pointRows(), 3);
    EXPECT_TRUE(grid()->isRowHidden(4));
}

TEST_F(EditorTest, ChangingTheTypeOfALoadedPolygonEmptiesOnlyItsCells)
{
    addPolygon({QStringLiteral("q"),
                {"1", "1", "1", "2", "2", "2", "3", "3", "3", "4", "4", "4"},
                QColor(9, 9, 9),
                {}});
    addPolygon({QStringLiteral("t"), {"5", "5", "5", "6", "6", "6", "7", "7", "7"},
                QColor(8, 8, 8), {}});
    selectEntry(0);
    selectEntry(1);
    pickType(1);
    for (int row = 1; row <= 4; ++row)
        for (int col = 1; col <= 3; ++col)
            EXPECT_EQ(grid()->cell(col, row), QString()) << col << "," << row;
    EXPECT_EQ(edtName()->text(), QStringLiteral("t"));
    EXPECT_EQ(editor->swatch(), ColorValue(QColor(8, 8, 8)));
    EXPECT_EQ(editor->state().mode, EditorMode::EditPolygon);
}

TEST_F(EditorTest, EnterInTheNameMovesToTheGridOnlyWhenThereIsAName)
{
    click(btn("btnNew"));
    edtName()->setFocus();
    pressKey(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), edtName());
    typeName(QStringLiteral("n"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), grid());
    EXPECT_EQ(edtName()->text(), QStringLiteral("n"));
}

TEST_F(EditorTest, NameTakesLatin1CharactersOnly)
{
    click(btn("btnNew"));
    edtName()->setFocus();
    // Characters beyond ASCII come as key events with text, as an input method gives them.
    auto type = [this](const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edtName(), &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edtName(), &release);
        }
    };
    type(QStringLiteral("K\u00e4se\u00ff"));
    EXPECT_EQ(edtName()->text(), QStringLiteral("K\u00e4se\u00ff"));
    type(QStringLiteral("\u65e5\u20ac\u0100"));
    EXPECT_EQ(edtName()->text(), QStringLiteral("K\u00e4se\u00ff"));
}

TEST_F(EditorTest, DisplayFieldTakesNoTyping)
{
    click(btn("btnNew"));
    click(radio("rdbTexture"));
    pickTexture(QStringLiteral("/tmp/brick.bmp"));
    edtPathColor()->setFocus();
    QTest::keyClicks(edtPathColor(), QStringLiteral("x"));
    QTest::keyClick(edtPathColor(), Qt::Key_Backspace);
    QTest::keyClick(edtPathColor(), Qt::Key_End);
    QTest::keyClick(edtPathColor(), Qt::Key_Delete);
    EXPECT_EQ(edtPathColor()->text(), QStringLiteral("brick.bmp"));
}

} // namespace
