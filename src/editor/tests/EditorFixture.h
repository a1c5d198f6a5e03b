#pragma once

#include "QStringPrinting.h"
#include "ScriptedDialogs.h"
#include "TCoordinateGrid.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A polygon list whose allocation can be made to fail, as when memory runs out.
class TestPolygonList : public CDynArray {
public:
    bool failAllocation = false;

protected:
    tElement* allocateNode(const tElement& element) override
    {
        return failAllocation ? nullptr : CDynArray::allocateNode(element);
    }
};

struct TextureLoad {
    std::string fileName;
    int minFilter, magFilter, wrapMode;
};

// One fresh editor in a shown, active window per test, with a real polygon list, scripted
// dialogs, a texture loader that counts and a drawScene that counts frames.
class EditorTest : public testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // Controls by their object names.
    QPushButton* btn(const char* name) const;
    QRadioButton* radio(const char* name) const;
    QComboBox* cmbType() const;
    QLineEdit* edtName() const;
    QLineEdit* edtPathColor() const;
    TCoordinateGrid* grid() const;
    TPolygonListBox* lbPolygon() const;

    // Real input: mouse clicks and key events sent to the widget with the focus.
    void click(QAbstractButton* button);
    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void typeText(const QString& text);
    void typeIntoCell(int col, int row, const QString& text);
    void typeName(const QString& name);
    void pickType(int index);             // keyboard pick in the type box
    void pickColor(const QColor& color);  // colour dialog closed with OK
    void pickTexture(const QString& path);
    void selectEntry(int index);          // a left click on the list-box entry

    struct Polygon {
        QString name;
        std::vector<QString> cells;   // 9 or 12 texts, row by row
        QColor color;                 // used when texture is empty
        QString texture;              // a path for the picture dialog
    };
    // New, type, name, cells, colour or texture, as a user types them; Add is not pressed.
    void enterPolygon(const Polygon& p);
    void addPolygon(const Polygon& p);   // enterPolygon, then Add

    QString warningText() const;   // the text of the last "Warning" message, or empty
    std::vector<std::string> listNames() const;
    std::vector<std::string> entryNames() const;

    TestPolygonList list;
    UndoHistory history{list};
    ScriptedDialogs dialogs;
    std::vector<TextureLoad> loads;
    uint32_t nextTextureId = 100;
    uint32_t failingTextureLoads = 0;   // this many next loads give 0
    int frames = 0;
    std::unique_ptr<QWidget> window;
    QString startFolder;   // the picture dialog moves the current folder; put back after
    TPolygonEditor* editor = nullptr;
};
