#include "EditorFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QTest>

void EditorTest::SetUp()
{
    startFolder = QDir::currentPath();
    window = std::make_unique<QWidget>();
    window->resize(800, 600);
    editor = new TPolygonEditor(
        history, dialogs,
        [this](const std::string& fileName, int minFilter, int magFilter, int wrapMode) {
            loads.push_back({fileName, minFilter, magFilter, wrapMode});
            if (failingTextureLoads > 0) {
                --failingTextureLoads;
                return 0u;
            }
            return nextTextureId++;
        },
        [this] { ++frames; }, window.get());
    editor->move(624, 32);
    editor->SetInitialState();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
}

void EditorTest::TearDown()
{
    window.reset();
    QDir::setCurrent(startFolder);
}

QPushButton* EditorTest::btn(const char* name) const
{
    auto* b = editor->findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(b, nullptr) << name;
    return b;
}

QRadioButton* EditorTest::radio(const char* name) const
{
    auto* b = editor->findChild<QRadioButton*>(QString::fromLatin1(name));
    EXPECT_NE(b, nullptr) << name;
    return b;
}

QComboBox* EditorTest::cmbType() const
{
    return editor->findChild<QComboBox*>(QStringLiteral("cmbType"));
}

QLineEdit* EditorTest::edtName() const
{
    return editor->findChild<QLineEdit*>(QStringLiteral("edtName"));
}

QLineEdit* EditorTest::edtPathColor() const
{
    return editor->findChild<QLineEdit*>(QStringLiteral("edtPathColor"));
}

TCoordinateGrid* EditorTest::grid() const
{
    return editor->findChild<TCoordinateGrid*>(QStringLiteral("stringGrid"));
}

TPolygonListBox* EditorTest::lbPolygon() const
{
    return editor->findChild<TPolygonListBox*>(QStringLiteral("lbPolygon"));
}

void EditorTest::click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

void EditorTest::pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    // Press and release each go to the widget that has the focus at that moment, as the
    // window system delivers them: a typed digit opens the cell editor, which then gets
    // the release.
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyPress(target, key, modifiers);
    target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyRelease(target, key, modifiers);
}

void EditorTest::typeText(const QString& text)
{
    for (QChar c : text) {
        if (c == QChar(8)) {
            pressKey(Qt::Key_Backspace);
            continue;
        }
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        const char ascii = c.toLatin1();
        QTest::keyPress(target, ascii);
        target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyRelease(target, ascii);
    }
}

void EditorTest::typeIntoCell(int col, int row, const QString& text)
{
    grid()->setFocus(Qt::OtherFocusReason);
    grid()->setCurrentCoordinate(col, row);
    typeText(text);
}

void EditorTest::typeName(const QString& name)
{
    edtName()->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(edtName(), name);
}

void EditorTest::pickType(int index)
{
    cmbType()->setFocus(Qt::OtherFocusReason);
    const int current = cmbType()->currentIndex();
    QTest::keyClick(cmbType(), index > current ? Qt::Key_Down : Qt::Key_Up);
}

void EditorTest::pickColor(const QColor& color)
{
    dialogs.colors.push_back(color);
    click(btn("btnChoose"));
}

void EditorTest::pickTexture(const QString& path)
{
    dialogs.files.push_back(path);
    click(btn("btnPath"));
}

void EditorTest::selectEntry(int index)
{
    TPolygonListBox* lb = lbPolygon();
    ASSERT_LT(index, lb->count());
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, {}, lb->visibleRowRect(index).center());
}

void EditorTest::enterPolygon(const Polygon& p)
{
    click(btn("btnNew"));
    if (p.cells.size() == 12)
        pickType(1);
    typeName(p.name);
    for (size_t i = 0; i < p.cells.size(); ++i)
        typeIntoCell(int(i % 3) + 1, int(i / 3) + 1, p.cells[i]);
    if (p.texture.isEmpty()) {
        pickColor(p.color);
    } else {
        click(radio("rdbTexture"));
        pickTexture(p.texture);
    }
}

void EditorTest::addPolygon(const Polygon& p)
{
    enterPolygon(p);
    click(btn("btnAdd"));
}

QString EditorTest::warningText() const
{
    for (auto it = dialogs.messages.rbegin(); it != dialogs.messages.rend(); ++it)
        if (it->caption == u"Warning")
            return it->text;
    return {};
}

std::vector<std::string> EditorTest::listNames() const
{
    std::vector<std::string> names;
    for (const tElement* e = list.First(); e; e = e->next)
        names.push_back(e->name);
    return names;
}

std::vector<std::string> EditorTest::entryNames() const
{
    std::vector<std::string> names;
    for (int i = 0; i < lbPolygon()->count(); ++i)
        names.push_back(lbPolygon()->text(i).toStdString());
    return names;
}
