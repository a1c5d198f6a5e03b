// The editor's modes: the layout and start state, the enabled state of every control after
// every transition, and Add, Update and Remove on the polygon list and the list box.

#include "EditorFixture.h"
#include "ObjectFile.h"

#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const EditorTest::Polygon kRedTriangle{QStringLiteral("roof"),
                                       {"-640", "0", "5", "640", "0", "5", "0", "100", "-5"},
                                       QColor(255, 0, 0),
                                       {}};
const EditorTest::Polygon kGreenQuad{
    QStringLiteral("wall"),
    {"-100", "-100", "0", "100", "-100", "0", "100", "100", "0", "-100", "100", "0"},
    QColor(0, 255, 0),
    {}};
const EditorTest::Polygon kBrickQuad{
    QStringLiteral("door"),
    {"0", "0", "1", "10", "0", "1", "10", "20", "1", "0", "20", "1"},
    {},
    QStringLiteral("/tmp/brick.bmp")};

std::vector<QString> cellsOf(const TCoordinateGrid* g, int rows)
{
    std::vector<QString> cells;
    for (int row = 1; row <= rows; ++row)
        for (int col = 1; col <= 3; ++col)
            cells.push_back(g->cell(col, row));
    return cells;
}

// --- layout and start state ------------------------------------------------------------------

TEST_F(EditorTest, ControlsSitWhereTheLayoutPutsThem)
{
    EXPECT_EQ(editor->objectName(), QStringLiteral("GroupBox3"));
    EXPECT_EQ(editor->title(), QStringLiteral("Polygon Editor "));
    EXPECT_EQ(editor->size(), QSize(161, 537));

    struct Placed {
        const char* name;
        const char* kind;
        const char* caption;
        QRect geometry;
    };
    const Placed placed[] = {
        {"btnNew", "QPushButton", "New", {8, 16, 70, 25}},
        {"btnCancel", "QPushButton", "Cancel", {82, 16, 70, 25}},
        {"cmbType", "QComboBox", "", {8, 59, 145, 21}},
        {"edtName", "QLineEdit", "", {8, 102, 145, 21}},
        {"stringGrid", "TCoordinateGrid", "", {8, 144, 145, 108}},
        {"btnChoose", "QPushButton", "Choose", {8, 280, 67, 25}},
        {"rdbColor", "QRadioButton", "Color", {80, 284, 49, 17}},
        {"btnPath", "QPushButton", "Choose", {8, 305, 67, 25}},
        {"rdbTexture", "QRadioButton", "Texture", {80, 309, 57, 17}},
        {"edtPathColor", "QLineEdit", "", {8, 337, 145, 21}},
        {"btnAdd", "QPushButton", "Add", {8, 384, 70, 25}},
        {"btnUpdate", "QPushButton", "Update", {82, 384, 70, 25}},
        {"lbPolygon", "TPolygonListBox", "", {8, 428, 145, 72}},
        {"btnRemove", "QPushButton", "Remove", {9, 503, 145, 25}},
    };
    for (const Placed& p : placed) {
        auto* w = editor->findChild<QWidget*>(QString::fromLatin1(p.name));
        ASSERT_NE(w, nullptr) << p.name;
        EXPECT_STREQ(w->metaObject()->className(), p.kind) << p.name;
        if (qobject_cast<QRadioButton*>(w)) {
            // Grown to the right where the caption needs it, never shrunk.
            EXPECT_EQ(w->pos(), p.geometry.topLeft()) << p.name;
            EXPECT_EQ(w->height(), p.geometry.height()) << p.name;
            EXPECT_GE(w->width(), std::max(p.geometry.width(), w->sizeHint().width())) << p.name;
            EXPECT_LE(w->geometry().right(), 153) << p.name;
        } else {
            EXPECT_EQ(w->geometry(), p.geometry) << p.name;
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(b->text(), QString::fromLatin1(p.caption)) << p.name;
        }
    }

    const std::pair<const char*, QPoint> labels[] = {
        {"1: Type", {8, 43}},        {"2: Name", {8, 86}},
        {"3: Coordinates", {8, 128}}, {"4: Color or Texture", {8, 264}},
        {"5: Add/Update Polygon", {8, 368}}};
    for (int i = 0; i < 5; ++i) {
        auto* l = editor->findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 1));
        ASSERT_NE(l, nullptr) << i + 1;
        EXPECT_EQ(l->text(), QString::fromLatin1(labels[i].first));
        EXPECT_EQ(l->pos(), labels[i].second);
        // The caption is not clipped.
        EXPECT_GE(l->width(), l->fontMetrics().horizontalAdvance(l->text()));
    }
    EXPECT_EQ(lbPolygon()->toolTip(), QStringLiteral("Polygonlist"));
    EXPECT_EQ(cmbType()->count(), 2);
    EXPECT_EQ(cmbType()->itemText(0), QStringLiteral("Triangle"));
    EXPECT_EQ(cmbType()->itemText(1), QStringLiteral("Quad"));
}

TEST_F(EditorTest, TabOrderFollowsTheNumberedSteps)
{
    const char* expected[] = {"btnNew",     "btnCancel", "cmbType",   "edtName", "stringGrid",
                              "btnChoose",  "rdbColor",  "btnPath",   "rdbTexture",
                              "btnAdd",     "btnUpdate", "lbPolygon", "btnRemove"};
    std::vector<QString> order;
    QWidget* w = btn("btnNew");
    do {
        if (w->parentWidget() == editor && (w->focusPolicy() & Qt::TabFocus))
            order.push_back(w->objectName());
        w = w->nextInFocusChain();
    } while (w != btn("btnNew") && order.size() < 40);
    ASSERT_EQ(order.size(), std::size(expected));
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], QString::fromLatin1(expected[i])) << i;
    EXPECT_FALSE(edtPathColor()->focusPolicy() & Qt::TabFocus);
}

TEST_F(EditorTest, GridHasFixedHeadingsAndFourPointRowsOfWhichThreeShow)
{
    TCoordinateGrid* g = grid();
    EXPECT_EQ(g->columnCount(), 4);
    EXPECT_EQ(g->item(0, 1)->text(), QStringLiteral("X"));
    EXPECT_EQ(g->item(0, 2)->text(), QStringLiteral("Y"));
    EXPECT_EQ(g->item(0, 3)->text(), QStringLiteral("Z"));
    EXPECT_EQ(g->item(0, 0)->text(), QString());
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(g->item(row, 0)->text(), QStringLiteral("P%1").arg(row));
        EXPECT_FALSE(g->item(row, 0)->flags() & Qt::ItemIsEditable);
    }
    for (int col = 0; col < 4; ++col)
        EXPECT_EQ(g->columnWidth(col), 34);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(g->rowHeight(row), 20);
    EXPECT_TRUE(g->showGrid());
    EXPECT_EQ(g->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(g->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(g->pointRows(), 3);
    EXPECT_TRUE(g->isRowHidden(4));
    EXPECT_EQ(cmbType()->currentText(), QString());
    EXPECT_EQ(editor->state().mode, EditorMode::Idle);
    EXPECT_EQ(editor->state().selectedPosition, 0);
    EXPECT_EQ(editor->state().workColor, 0);
    EXPECT_EQ(editor->state().workRed, 0);
    EXPECT_EQ(editor->swatch(), kColorNone);
}

TEST_F(EditorTest, ClickOnAHeadingKeepsTheCurrentCell)
{
    click(btn("btnNew"));
    grid()->setCurrentCoordinate(2, 2);
    const QRect heading = grid()->visualItemRect(grid()->item(0, 3));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, heading.center());
    const QRect rowHeading = grid()->visualItemRect(grid()->item(3, 0));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, rowHeading.center());
    EXPECT_EQ(grid()->currentCol(), 2);
    EXPECT_EQ(grid()->currentRowIndex(), 2);
    // Arrow keys stop at the first point row and column too.
    grid()->setCurrentCoordinate(1, 1);
    pressKey(Qt::Key_Up);
    pressKey(Qt::Key_Left);
    EXPECT_EQ(grid()->currentCol(), 1);
    EXPECT_EQ(grid()->currentRowIndex(), 1);
}

// --- the enabled state per mode ---------------------------------------------------------------

struct ModeScenario {
    const char* name;
    std::function<void(EditorTest&)> steps;
    EditorMode mode;
    bool textureChecked;
};

void PrintTo(const ModeScenario& s, std::ostream* os) { *os << s.name; }

class EnabledStateTest : public EditorTest, public testing::WithParamInterface<ModeScenario> {};

// Two polygons in the list: a coloured triangle at 1 and a textured quad at 2.
void seed(EditorTest& t)
{
    t.addPolygon(kRedTriangle);
    t.addPolygon(kBrickQuad);
}

TEST_P(EnabledStateTest, ControlsFollowTheMode)
{
    GetParam().steps(*this);
    const EditorMode mode = GetParam().mode;
    const bool idle = mode == EditorMode::Idle;
    const bool texture = GetParam().textureChecked;
    EXPECT_EQ(editor->state().mode, mode);
    EXPECT_EQ(btn("btnNew")->isEnabled(), idle);
    for (const char* name : {"btnCancel", "cmbType", "edtName", "stringGrid", "rdbColor",
                             "rdbTexture", "edtPathColor"})
        EXPECT_EQ(editor->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled(), !idle)
            << name;
    EXPECT_EQ(btn("btnChoose")->isEnabled(), !idle && !texture);
    EXPECT_EQ(btn("btnPath")->isEnabled(), !idle && texture);
    EXPECT_EQ(btn("btnAdd")->isEnabled(), mode == EditorMode::NewPolygon);
    EXPECT_EQ(btn("btnUpdate")->isEnabled(), mode == EditorMode::EditPolygon);
    EXPECT_EQ(btn("btnRemove")->isEnabled(), mode == EditorMode::EditPolygon);
    EXPECT_TRUE(lbPolygon()->isEnabled());
    EXPECT_EQ(radio("rdbTexture")->isChecked(), texture);
    EXPECT_EQ(radio("rdbColor")->isChecked(), !texture);
    const QList<int> selected = lbPolygon()->selectedRows();
    if (mode == EditorMode::EditPolygon) {
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(selected.front() + 1, editor->state().selectedPosition);
    } else {
        EXPECT_TRUE(selected.isEmpty());
    }
    if (idle) {
        EXPECT_EQ(cmbType()->currentText(), QString());
        EXPECT_EQ(edtName()->text(), QString());
        EXPECT_EQ(edtPathColor()->text(), QString());
        EXPECT_EQ(editor->swatch(), kColorNone);
        for (const QString& cell : cellsOf(grid(), 4))
            EXPECT_EQ(cell, QString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Transitions, EnabledStateTest,
    testing::Values(
        ModeScenario{"Start", [](EditorTest&) {}, EditorMode::Idle, false},
        ModeScenario{"New", [](EditorTest& t) { t.click(t.btn("btnNew")); },
                     EditorMode::NewPolygon, false},
        ModeScenario{"NewThenTexture",
                     [](EditorTest& t) {
                         t.click(t.btn("btnNew"));
                         t.click(t.radio("rdbTexture"));
                     },
                     EditorMode::NewPolygon, true},
        ModeScenario{"NewTextureThenColor",
                     [](EditorTest& t) {
                         t.click(t.btn("btnNew"));
                         t.click(t.radio("rdbTexture"));
                         t.click(t.radio("rdbColor"));
                     },
                     EditorMode::NewPolygon, false},
        ModeScenario{"NewThenCancel",
                     [](EditorTest& t) {
                         t.enterPolygon(kGreenQuad);
                         t.click(t.btn("btnCancel"));
                     },
                     EditorMode::Idle, false},
        ModeScenario{"NewThenIncompleteAdd",
                     [](EditorTest& t) {
                         t.click(t.btn("btnNew"));
                         t.click(t.btn("btnAdd"));
                     },
                     EditorMode::NewPolygon, false},
        ModeScenario{"NewThenAdd", [](EditorTest& t) { t.addPolygon(kGreenQuad); },
                     EditorMode::Idle, false},
        ModeScenario{"SelectColoured",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(0);
                     },
                     EditorMode::EditPolygon, false},
        ModeScenario{"SelectTextured",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(1);
                     },
                     EditorMode::EditPolygon, true},
        ModeScenario{"SelectWhileNew",
                     [](EditorTest& t) {
                         seed(t);
                         t.enterPolygon(kGreenQuad);
                         t.selectEntry(0);
                     },
                     EditorMode::EditPolygon, false},
        ModeScenario{"SelectTexturedThenColor",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(1);
                         t.click(t.radio("rdbColor"));
                     },
                     EditorMode::EditPolygon, false},
        ModeScenario{"SelectThenIncompleteUpdate",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(0);
                         t.edtName()->clear();
                         t.click(t.btn("btnUpdate"));
                     },
                     EditorMode::EditPolygon, false},
        ModeScenario{"SelectThenUpdate",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(1);
                         t.click(t.btn("btnUpdate"));
                     },
                     EditorMode::Idle, false},
        ModeScenario{"SelectThenRemove",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(0);
                         t.click(t.btn("btnRemove"));
                     },
                     EditorMode::Idle, false},
        ModeScenario{"SelectTexturedThenCancel",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(1);
                         t.click(t.btn("btnCancel"));
                     },
                     EditorMode::Idle, false},
        ModeScenario{"SelectThenResetEditor",
                     [](EditorTest& t) {
                         seed(t);
                         t.selectEntry(1);
                         t.editor->ResetEditor();
                     },
                     EditorMode::Idle, false}),
    [](const testing::TestParamInfo<ModeScenario>& info) { return std::string(info.param.name); });

// --- Add ----------------------------------------------------------------------------------------

TEST_F(EditorTest, AddAppendsThePolygonAndItsEntryAndDrawsOnce)
{
    addPolygon(kRedTriangle);
    ASSERT_EQ(list.Count(), 1);
    const tElement* e = list.GetAt(1);
    EXPECT_EQ(e->type, "Triangle");
    EXPECT_EQ(e->name, "roof");
    const float expected[12] = {-640, 0, 5, 640, 0, 5, 0, 100, -5, 0, 0, 0};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(e->vertex[i], expected[i]) << i;
    EXPECT_EQ(e->color, 255);
    EXPECT_EQ(e->red, 255);
    EXPECT_EQ(e->green, 0);
    EXPECT_EQ(e->blue, 0);
    EXPECT_EQ(e->texture, "");
    EXPECT_EQ(e->textureId, kNoTexture);
    EXPECT_TRUE(loads.empty());
    EXPECT_EQ(entryNames(), std::vector<std::string>{"roof"});
    EXPECT_EQ(frames, 1);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(grid()->pointRows(), 3);
}

TEST_F(EditorTest, NewThenAddWarnsOfEveryFaultAndDrawsAfterTheBox)
{
    click(btn("btnNew"));
    click(btn("btnAdd"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const ScriptedDialogs::Message& m = dialogs.messages.front();
    EXPECT_EQ(m.caption, QStringLiteral("Warning"));
    EXPECT_EQ(m.icon, MessageIcon::Warning);
    EXPECT_EQ(m.buttons, MessageButtons::Ok);
    EXPECT_EQ(m.text, QStringLiteral("Please enter a name for polygon\n"
                                     "Missing Point1: X-value\nMissing Point1: Y-value\n"
                                     "Missing Point1: Z-value\nMissing Point2: X-value\n"
                                     "Missing Point2: Y-value\nMissing Point2: Z-value\n"
                                     "Missing Point3: X-value\nMissing Point3: Y-value\n"
                                     "Missing Point3: Z-value\nChoose a color\n"));
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(lbPolygon()->count(), 0);
}

TEST_F(EditorTest, NamesOfThirtyCharactersPassAndThirtyOneAreRefused)
{
    Polygon p = kRedTriangle;
    p.name = QString(31, u'n');
    addPolygon(p);
    EXPECT_EQ(warningText(), QStringLiteral("Polygonname is too long (max. 30 char)\n"));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(editor->state().mode, EditorMode::NewPolygon);
    // The inputs stay: one character less and Add goes through.
    edtName()->setFocus();
    pressKey(Qt::Key_Backspace);
    click(btn("btnAdd"));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetAt(1)->name, std::string(30, 'n'));
    EXPECT_EQ(frames, 2);   // after the warning, after the Add
}

TEST_F(EditorTest, AddWithoutMemoryReportsAndKeepsTheInputs)
{
    list.failAllocation = true;
    enterPolygon(kRedTriangle);
    click(btn("btnAdd"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Warning"));
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("No memory available for adding more polygons!"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(lbPolygon()->count(), 0);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(editor->state().mode, EditorMode::NewPolygon);
    EXPECT_EQ(edtName()->text(), QStringLiteral("roof"));
    EXPECT_EQ(grid()->cell(1, 1), QStringLiteral("-640"));

    list.failAllocation = false;
    click(btn("btnAdd"));
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(EditorTest, CellThatIsNoNumberStopsAddWithoutDrawing)
{
    enterPolygon(kRedTriangle);
    // "1-2" can only come about by moving the caret: 1, 2, Left, minus.
    typeIntoCell(2, 2, QStringLiteral("12"));
    pressKey(Qt::Key_Left);
    typeText(QStringLiteral("-"));
    ASSERT_EQ(grid()->cell(2, 2), QStringLiteral("1-2"));
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back().text, QStringLiteral("'1-2' is not a valid integer value."));
    dialogs.clearRecords();

    click(btn("btnAdd"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("3DVorlan"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("'1-2' is not a valid floating point value."));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(editor->state().mode, EditorMode::NewPolygon);
    EXPECT_EQ(grid()->cell(2, 2), QStringLiteral("1-2"));
}

// --- selecting ------------------------------------------------------------------------------

TEST_F(EditorTest, SelectingLoadsExactlyWhatWasTyped)
{
    addPolygon(kRedTriangle);
    addPolygon(kGreenQuad);
    selectEntry(0);
    EXPECT_EQ(editor->state().selectedPosition, 1);
    EXPECT_EQ(edtName()->text(), QStringLiteral("roof"));
    EXPECT_EQ(cmbType()->currentText(), QStringLiteral("Triangle"));
    EXPECT_EQ(grid()->pointRows(), 3);
    EXPECT_EQ(cellsOf(grid(), 3), kRedTriangle.cells);
    EXPECT_EQ(editor->swatch(), 255);
    EXPECT_EQ(edtPathColor()->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(editor->state().workColor, 255);

    selectEntry(1);
    EXPECT_EQ(editor->state().selectedPosition, 2);
    EXPECT_EQ(cmbType()->currentText(), QStringLiteral("Quad"));
    EXPECT_EQ(grid()->pointRows(), 4);
    EXPECT_FALSE(grid()->isRowHidden(4));
    EXPECT_EQ(cellsOf(grid(), 4), kGreenQuad.cells);
    EXPECT_EQ(editor->state().workGreen, 255);
    EXPECT_EQ(frames, 2);   // the two Adds; selecting draws nothing
}

TEST_F(EditorTest, LongNameAndTextureNameShowTheirStartWhenLoaded)
{
    Polygon p = kBrickQuad;
    p.name = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234");
    p.texture = QStringLiteral("/tmp/abcdefghijklmnopqrstuvwxyz.bmp");
    addPolygon(p);
    addPolygon(kRedTriangle);
    selectEntry(1);
    selectEntry(0);
    for (QLineEdit* field : {edtName(), edtPathColor()}) {
        ASSERT_EQ(field->text().size(), 30) << field->objectName().toStdString();
        // Too long for the field: only the start shows when the caret is at the start.
        EXPECT_GT(field->fontMetrics().horizontalAdvance(field->text()), field->width());
        EXPECT_EQ(field->cursorPosition(), 0) << field->objectName().toStdString();
    }
}

TEST_F(EditorTest, EnteredSavedOpenedAndLoadedShowsWhatWasTyped)
{
    addPolygon(kGreenQuad);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.filePath(QStringLiteral("house.3do")).toStdString();
    ASSERT_TRUE(WriteObjectFile(file, list.First(), list.Count()));

    editor->ResetEditor();
    lbPolygon()->clear();
    list.Clear();
    ASSERT_TRUE(ReadObjectFile(file, list, [](const std::string&, int, int, int) { return 1u; }));
    editor->appendListEntries(1);
    ASSERT_EQ(lbPolygon()->count(), 1);
    selectEntry(0);
    EXPECT_EQ(edtName()->text(), QStringLiteral("wall"));
    EXPECT_EQ(cmbType()->currentText(), QStringLiteral("Quad"));
    EXPECT_EQ(cellsOf(grid(), 4), kGreenQuad.cells);
    EXPECT_EQ(editor->swatch(), ColorValue(QColor(0, 255, 0)));
}

TEST_F(EditorTest, AppendListEntriesAddsTheNamesFromAPositionOn)
{
    for (const char* name : {"a", "b", "c"}) {
        tElement e;
        e.name = name;
        list.Add(e);
    }
    editor->appendListEntries(1);
    tElement d;
    d.name = "d\xe9";
    list.Add(d);
    editor->appendListEntries(4);
    EXPECT_EQ(entryNames(), (std::vector<std::string>{"a", "b", "c", "d\xc3\xa9"}));
}

TEST_F(EditorTest, SelectionLeavingNothingSelectedIsIgnored)
{
    addPolygon(kRedTriangle);
    selectEntry(0);
    click(btn("btnCancel"));
    lbPolygon()->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    editor->lbPolygonClick();
    EXPECT_EQ(editor->state().mode, EditorMode::Idle);
    // Ctrl+click on the loaded entry would leave Remove aimed at an entry that is not
    // highlighted: it picks the entry again like a plain click.
    selectEntry(0);
    click(btn("btnCancel"));
    selectEntry(0);
    const QRect r = lbPolygon()->visibleRowRect(0);
    QTest::mouseClick(lbPolygon()->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
    EXPECT_EQ(lbPolygon()->selectedRows(), QList<int>{0});
    EXPECT_EQ(editor->state().mode, EditorMode::EditPolygon);
}

TEST_F(EditorTest, ArrowKeysInTheListBoxLoadTheEntry)
{
    addPolygon(kRedTriangle);
    addPolygon(kGreenQuad);
    selectEntry(0);
    lbPolygon()->setFocus();
    pressKey(Qt::Key_Down);
    EXPECT_EQ(editor->state().selectedPosition, 2);
    EXPECT_EQ(edtName()->text(), QStringLiteral("wall"));
}

TEST_F(EditorTest, CancelAfterSelectionStoresNothing)
{
    addPolygon(kRedTriangle);
    frames = 0;
    selectEntry(0);
    typeName(QStringLiteral("x"));
    typeIntoCell(1, 1, QStringLiteral("7"));
    click(btn("btnCancel"));
    EXPECT_EQ(list.GetAt(1)->name, "roof");
    EXPECT_EQ(list.GetAt(1)->vertex[0], -640.0f);
    EXPECT_EQ(frames, 0);
}

// --- Update --------------------------------------------------------------------------------

class UpdateTest : public EditorTest {
public:
    void SetUp() override
    {
        EditorTest::SetUp();
        addPolygon(kRedTriangle);
        addPolygon(kBrickQuad);
        addPolygon(kGreenQuad);
        frames = 0;
        loads.clear();
    }
};

TEST_F(UpdateTest, OnlyCoordinatesLeavesTheEntryAlone)
{
    selectEntry(0);
    QSignalSpy changed(lbPolygon()->entries(), &QAbstractItemModel::dataChanged);
    QSignalSpy removed(lbPolygon()->entries(), &QAbstractItemModel::rowsRemoved);
    typeIntoCell(1, 1, QStringLiteral("33"));
    click(btn("btnUpdate"));
    EXPECT_EQ(list.GetAt(1)->vertex[0], 33.0f);
    EXPECT_EQ(list.GetAt(1)->vertex[1], 0.0f);
    EXPECT_EQ(list.GetAt(1)->color, 255);
    EXPECT_EQ(changed.count() + removed.count(), 0) << "the entry is left alone";
    EXPECT_EQ(entryNames(), (std::vector<std::string>{"roof", "door", "wall"}));
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(UpdateTest, OnlyTheNameReplacesTheEntryInPlace)
{
    selectEntry(1);
    edtName()->clear();
    typeName(QStringLiteral("gate"));
    click(btn("btnUpdate"));
    EXPECT_EQ(entryNames(), (std::vector<std::string>{"roof", "gate", "wall"}));
    EXPECT_EQ(listNames(), (std::vector<std::string>{"roof", "gate", "wall"}));
    EXPECT_EQ(list.GetAt(2)->vertex[3], 10.0f);
    // The texture name did not change: its texture is kept and nothing is loaded.
    EXPECT_EQ(list.GetAt(2)->textureId, 100u);
    EXPECT_TRUE(loads.empty());
}

TEST_F(UpdateTest, TextureIntoColourAndBack)
{
    selectEntry(1);
    click(radio("rdbColor"));
    pickColor(QColor(0x12, 0x34, 0x56));
    click(btn("btnUpdate"));
    const tElement* door = list.GetAt(2);
    EXPECT_EQ(door->color, 0x563412);
    EXPECT_EQ(door->red, 0x12);
    EXPECT_EQ(door->green, 0x34);
    EXPECT_EQ(door->blue, 0x56);
    EXPECT_EQ(door->texture, "");
    EXPECT_EQ(door->textureId, kNoTexture);

    // Back into a texture: its name no longer matches door's, so the rule runs; the texture
    // is loaded again, as no other polygon uses it now.
    selectEntry(1);
    click(radio("rdbTexture"));
    pickTexture(QStringLiteral("/tmp/brick.bmp"));
    click(btn("btnUpdate"));
    EXPECT_EQ(door->color, -1);
    EXPECT_EQ(door->red, -1);
    EXPECT_EQ(door->green, -1);
    EXPECT_EQ(door->blue, -1);
    EXPECT_EQ(door->texture, "brick.bmp");
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].fileName, "brick.bmp");
    EXPECT_EQ(door->textureId, 101u);
    EXPECT_EQ(frames, 2);
}

TEST_F(UpdateTest, NewTextureNameUsedElsewhereSharesItsTexture)
{
    // wall takes door's texture: the first polygon with that name gives its id.
    selectEntry(2);
    click(radio("rdbTexture"));
    pickTexture(QStringLiteral("/elsewhere/brick.bmp"));
    click(btn("btnUpdate"));
    EXPECT_EQ(list.GetAt(3)->textureId, 100u);
    EXPECT_TRUE(loads.empty());
}

TEST_F(UpdateTest, QuadIntoTriangleZeroesCornerFour)
{
    selectEntry(2);
    pickType(0);
    for (int i = 0; i < 9; ++i)
        typeIntoCell(i % 3 + 1, i / 3 + 1, QStringLiteral("4"));
    click(btn("btnUpdate"));
    const tElement* wall = list.GetAt(3);
    EXPECT_EQ(wall->type, "Triangle");
    for (int i = 9; i < 12; ++i)
        EXPECT_EQ(wall->vertex[i], 0.0f);
}

// --- Remove and the row count the resets leave -----------------------------------------------

struct RemoveCase {
    const char* name;
    int index;
    std::vector<std::string> left;
};

void PrintTo(const RemoveCase& c, std::ostream* os) { *os << c.name; }

class RemoveTest : public EditorTest, public testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveTest, ListAndListBoxStayAligned)
{
    addPolygon(kRedTriangle);
    addPolygon(kBrickQuad);
    addPolygon(kGreenQuad);
    frames = 0;
    selectEntry(GetParam().index);
    click(btn("btnRemove"));
    EXPECT_EQ(listNames(), GetParam().left);
    EXPECT_EQ(entryNames(), GetParam().left);
    EXPECT_EQ(frames, 1);
    EXPECT_TRUE(dialogs.messages.empty());
    // The links survive both ways.
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.First()->next, list.Last());
    EXPECT_EQ(list.Last()->prev, list.First());
}

INSTANTIATE_TEST_SUITE_P(
    OfThree, RemoveTest,
    testing::Values(RemoveCase{"First", 0, {"door", "wall"}},
                    RemoveCase{"Middle", 1, {"roof", "wall"}},
                    RemoveCase{"Last", 2, {"roof", "door"}}),
    [](const testing::TestParamInfo<RemoveCase>& info) { return std::string(info.param.name); });

TEST_F(EditorTest, RemovingTheOnlyPolygonEmptiesBoth)
{
    addPolygon(kRedTriangle);
    selectEntry(0);
    click(btn("btnRemove"));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(lbPolygon()->count(), 0);
}

TEST_F(EditorTest, UpdateAndRemoveOfAQuadLeaveFourRowsCancelAndAddThree)
{
    addPolygon(kGreenQuad);
    addPolygon(kGreenQuad);
    selectEntry(0);
    click(btn("btnUpdate"));
    EXPECT_EQ(grid()->pointRows(), 4);
    selectEntry(0);
    click(btn("btnRemove"));
    EXPECT_EQ(grid()->pointRows(), 4);
    for (const QString& cell : cellsOf(grid(), 4))
        EXPECT_EQ(cell, QString());
    selectEntry(0);
    click(btn("btnCancel"));
    EXPECT_EQ(grid()->pointRows(), 3);
}

} // namespace
