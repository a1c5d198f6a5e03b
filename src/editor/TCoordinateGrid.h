#pragma once

#include <QTableWidget>

#include <functional>

class KeysClosingABox;
class QLineEdit;

// The coordinate grid: a heading row ("X", "Y", "Z") and a heading column ("P1" to "P4")
// as fixed cells, four point rows of which the fourth shows only for a quad. Cells are
// addressed (column, row) with the headings at column 0 and row 0, so item(row, col) and
// cell(col, row) agree on where "X" is: row 0, column 1.
//
// The cell editor writes every change into its cell at once, and the cell editor's key
// events reach the same hooks as the grid's own, so the owner's key handlers always see the
// text the user sees.
class TCoordinateGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TCoordinateGrid(QWidget* parent = nullptr);

    // Called for a typed character; setting it to a null character discards it.
    std::function<void(QChar& key)> onKeyPress;
    // Called on every key release (auto-repeat excluded) with the Qt key code; not for the
    // release of a key whose press closed a box that this hook showed.
    std::function<void(int key)> onKeyUp;

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);

    int pointRows() const { return pointRows_; }
    void setPointRows(int rows);   // 3 or 4

    int currentCol() const;
    int currentRowIndex() const;
    void setCurrentCoordinate(int col, int row);

    // Tab and Shift+Tab: the next or previous coordinate cell, wrapping round.
    void moveToNeighbour(bool backward);

    // The open cell editor, or nullptr.
    QLineEdit* cellEditor() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyboardSearch(const QString&) override {}

private:
    friend class CellEditorDelegate;
    void keyReleased(const QKeyEvent* event);
    // Runs the press hook for a key with text; true when the key was discarded.
    bool filterTypedKey(QKeyEvent* event);
    bool isHeading(const QModelIndex& index) const;

    KeysClosingABox* keysClosingABox_ = nullptr;
    int pointRows_ = 3;
    bool pressedOnCurrent_ = false;
};
