// A user builds a small house by typing it in, saves it, opens it again and finds every
// polygon as typed. With VORLAN_SHOT_DIR set, a picture of the window is saved at each step.
#include "FormFixture.h"

#include "TCoordinateGrid.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

namespace {

struct TypedPolygon {
    const char* name;
    std::vector<const char*> cells;   // row by row: 9 for a triangle, 12 for a quad
    QColor colour;                    // when no texture
    const char* texture = nullptr;    // a bitmap beside the object file
};

const std::vector<TypedPolygon> kHouse = {
    {"Front wall", {"-80", "-100", "60", "80", "-100", "60", "80", "40", "60", "-80", "40", "60"},
     {}, "brick.bmp"},
    {"Right wall", {"80", "-100", "60", "80", "-100", "-60", "80", "40", "-60", "80", "40", "60"},
     QColor(230, 200, 150)},
    {"Back wall", {"80", "-100", "-60", "-80", "-100", "-60", "-80", "40", "-60", "80", "40", "-60"},
     QColor(200, 170, 120)},
    {"Left wall", {"-80", "-100", "-60", "-80", "-100", "60", "-80", "40", "60", "-80", "40", "-60"},
     QColor(230, 200, 150)},
    {"Roof front", {"-80", "40", "60", "80", "40", "60", "0", "110", "60"}, QColor(180, 40, 30)},
    {"Roof back", {"80", "40", "-60", "-80", "40", "-60", "0", "110", "-60"}, QColor(150, 30, 20)},
};

class WalkthroughTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        previousCurrent = QDir::currentPath();
        ASSERT_TRUE(writeBitmap(dir.filePath("brick.bmp"), 16, 16, [](int x, int row) {
            const bool mortar = row % 4 == 0 || (x + (row / 4) % 2 * 4) % 8 == 0;
            return mortar ? QColor(210, 210, 200) : QColor(170, 60, 40);
        }));
    }
    void TearDown() override
    {
        QDir::setCurrent(previousCurrent);
        FormTest::TearDown();
    }

    // Keys go where the focus is, as the window system delivers them.
    void key(Qt::Key k)
    {
        QTest::keyPress(QApplication::focusWidget(), k);
        QTest::keyRelease(QApplication::focusWidget(), k);
    }
    void type(const QString& text)
    {
        for (QChar c : text) {
            QTest::keyPress(QApplication::focusWidget(), c.toLatin1());
            QTest::keyRelease(QApplication::focusWidget(), c.toLatin1());
        }
    }

    void shot(const QString& step)
    {
        const QString folder = qEnvironmentVariable("VORLAN_SHOT_DIR");
        settle();
        if (!folder.isEmpty())
            form->screen()->grabWindow(form->winId()).save(QDir(folder).filePath(step + ".png"));
    }

    void enter(const TypedPolygon& p)
    {
        QTest::mouseClick(find<QPushButton>("btnNew"), Qt::LeftButton);
        QComboBox* typeBox = find<QComboBox>("cmbType");
        if (p.cells.size() == 12) {
            typeBox->setFocus();
            key(Qt::Key_Down); // "Quad"; the focus moves on to the name
        }
        QLineEdit* name = find<QLineEdit>("edtName");
        name->setFocus();
        QTest::keyClicks(name, p.name);
        key(Qt::Key_Return); // on to the grid
        ASSERT_EQ(QApplication::focusWidget()->objectName().toStdString() == "edtName", false);
        for (const char* cell : p.cells) {
            type(cell);
            key(Qt::Key_Return); // X, Y, Z, then the next point
        }
        if (p.texture) {
            QTest::mouseClick(find<QRadioButton>("rdbTexture"), Qt::LeftButton);
            dialogs.files.push_back(dir.filePath(p.texture));
            QTest::mouseClick(find<QPushButton>("btnPath"), Qt::LeftButton);
        } else {
            dialogs.colors.push_back(p.colour);
            QTest::mouseClick(find<QPushButton>("btnChoose"), Qt::LeftButton);
        }
    }

    void expectLoaded(const TypedPolygon& p)
    {
        const TCoordinateGrid* grid = find<TCoordinateGrid>("stringGrid");
        EXPECT_EQ(find<QLineEdit>("edtName")->text(), p.name);
        EXPECT_EQ(find<QComboBox>("cmbType")->currentText(), p.cells.size() == 12 ? "Quad" : "Triangle");
        for (size_t i = 0; i < p.cells.size(); ++i)
            EXPECT_EQ(grid->cell(1 + int(i) % 3, 1 + int(i) / 3), p.cells[i]) << p.name << " cell " << i;
        if (p.texture) {
            EXPECT_TRUE(find<QRadioButton>("rdbTexture")->isChecked()) << p.name;
            EXPECT_EQ(find<QLineEdit>("edtPathColor")->text(), p.texture);
        } else {
            EXPECT_TRUE(find<QRadioButton>("rdbColor")->isChecked()) << p.name;
            const int32_t c = form->editor()->state().workColor;
            EXPECT_EQ(c, p.colour.red() | p.colour.green() << 8 | p.colour.blue() << 16) << p.name;
        }
    }

    QTemporaryDir dir;
    QString previousCurrent;
};

TEST_F(WalkthroughTest, HouseTypedInSavedAndOpenedAgainIsAsTyped)
{
    shot("01-start");
    for (size_t i = 0; i < kHouse.size(); ++i) {
        enter(kHouse[i]);
        if (i == 0)
            shot("02-front-wall-typed");
        QTest::mouseClick(find<QPushButton>("btnAdd"), Qt::LeftButton);
        ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().text.toStdString();
    }
    form->objectTransform().rotX = 20;
    form->objectTransform().rotY = 35;
    form->DrawScene();
    shot("03-house-built");
    ASSERT_EQ(form->polygons().Count(), int(kHouse.size()));
    EXPECT_NE(form->polygons().First()->textureId, 0u) << "the brick bitmap was found";

    dialogs.files.push_back(dir.filePath("house.3do"));
    form->FileSave->trigger();
    EXPECT_TRUE(dialogs.messages.empty());

    dialogs.answers.push_back(MessageAnswer::Yes);
    form->FileNew->trigger();
    ASSERT_EQ(form->polygons().Count(), 0);
    shot("04-after-new");

    QDir::setCurrent(QDir::tempPath()); // the texture must be found beside the file
    dialogs.files.push_back(dir.filePath("house.3do"));
    form->FileOpen->trigger();
    ASSERT_EQ(form->polygons().Count(), int(kHouse.size()));
    EXPECT_NE(form->polygons().First()->textureId, 0u);
    shot("05-opened-again");

    TPolygonListBox* list = find<TPolygonListBox>("lbPolygon");
    for (size_t i = 0; i < kHouse.size(); ++i) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visibleRowRect(int(i)).center());
        expectLoaded(kHouse[i]);
        if (i == 0)
            shot("06-front-wall-selected");
    }
}

} // namespace
