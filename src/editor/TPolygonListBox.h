#pragma once

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QAbstractItemView>

class CDynArray;
struct tElement;

// The rows of the list box as a view over the polygon list: row i is the polygon at
// position i + 1, and its text is read from the polygon when the row is shown. Nothing is
// kept per row. The row count is the model's own, changed only by the calls below, so the
// owner decides in which step the list box follows the list (as the file commands and the
// editor do).
class PolygonListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit PolygonListModel(const CDynArray& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void clear();                 // no rows
    void appendRows(int count);   // the list's last count polygons become new last rows
    void removeEntry(int row);    // call right after the polygon at row + 1 left the list
    void insertEntry(int row);    // call right after a polygon came to position row + 1
    void entryChanged(int row);   // the polygon at row + 1 has a new name

    // The polygon of a row; walks from the nearest of the ends and the last row read, so
    // reading neighbouring rows, as a view does, costs one step each.
    const tElement* polygonAt(int row) const;

private:
    const CDynArray& list_;
    int rows_ = 0;
    mutable const tElement* cursor_ = nullptr;
    mutable int cursorRow_ = -1;
};

// The list box of polygon names: rows of one height, so that where a row is shown, which
// row is under the pointer and how far the list scrolls are sums, not a layout of every
// row; adding or removing an entry costs the same at any length. entryPicked reports a selection made by the user (a left
// click, also on the entry already selected, a drag, or the keyboard) and never one made by
// the program, which adds, removes and deselects entries without loading anything.
// A click or drag on the empty area below the entries changes nothing, so the entry the
// editor has loaded stays highlighted. Long names are cut with "…" at the list box's edge;
// there is no horizontal scrolling.
class TPolygonListBox : public QAbstractItemView {
    Q_OBJECT
public:
    explicit TPolygonListBox(const CDynArray& list, QWidget* parent = nullptr);

    PolygonListModel* entries() const { return model_; }
    int count() const { return model_->rowCount(); }
    QString text(int row) const;

    // Entry changes, each in the same step as the change of the polygon list.
    void clear() { model_->clear(); }
    void appendEntries(int count) { model_->appendRows(count); }
    // The entry of a polygon the user added: appended and scrolled into view, however far
    // the list was scrolled away from its end.
    void appendShownEntry();
    void removeEntry(int row) { model_->removeEntry(row); }
    // The entry of a polygon put back at row + 1, scrolled into view.
    void insertShownEntry(int row);
    void entryChanged(int row) { model_->entryChanged(row); }

    int currentRow() const;
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command =
                                    QItemSelectionModel::ClearAndSelect);
    QList<int> selectedRows() const;
    bool isRowSelected(int row) const;
    void clearSelectionAndCurrent();
    // Where a row is shown, after scrolling it into view.
    QRect visibleRowRect(int row);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

signals:
    void entryPicked();

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    template <typename F> void asUserInput(F&& handle);
    bool overEntry(const QMouseEvent* event) const;
    int rowHeight() const;
    QModelIndex rowIndex(int row) const { return model_->index(row); }

    mutable int rowHeight_ = 0;   // 0: to be measured from the font

    PolygonListModel* model_ = nullptr;
    bool userInput_ = false;
    bool picked_ = false;
    bool pressOffEntries_ = false;
};
