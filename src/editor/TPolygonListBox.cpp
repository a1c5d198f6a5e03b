#include "TPolygonListBox.h"

#include "DynArray.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <cstdlib>

// --- the rows ------------------------------------------------------------------------------

PolygonListModel::PolygonListModel(const CDynArray& list, QObject* parent)
    : QAbstractListModel(parent), list_(list)
{
}

int PolygonListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

const tElement* PolygonListModel::polygonAt(int row) const
{
    const int count = list_.Count();
    if (row < 0 || row >= rows_ || row >= count)
        return nullptr;
    const tElement* p = list_.First();
    int at = 0;
    int distance = row;
    if (count - 1 - row < distance) {
        p = list_.Last();
        at = count - 1;
        distance = count - 1 - row;
    }
    if (cursor_ && std::abs(cursorRow_ - row) < distance) {
        p = cursor_;
        at = cursorRow_;
    }
    for (; p && at < row; ++at)
        p = p->next;
    for (; p && at > row; --at)
        p = p->prev;
    cursor_ = p;
    cursorRow_ = p ? row : -1;
    return p;
}

QVariant PolygonListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const tElement* p = polygonAt(index.row());
    if (!p)
        return {};
    return QString::fromLatin1(p->name.data(), qsizetype(p->name.size()));
}

void PolygonListModel::clear()
{
    beginResetModel();
    rows_ = 0;
    cursor_ = nullptr;
    cursorRow_ = -1;
    endResetModel();
}

void PolygonListModel::appendRows(int count)
{
    if (count <= 0)
        return;
    beginInsertRows(QModelIndex(), rows_, rows_ + count - 1);
    rows_ += count;
    endInsertRows();
}

void PolygonListModel::removeEntry(int row)
{
    if (row < 0 || row >= rows_)
        return;
    // The polygon of that row is gone already: the cursor must not point at it.
    if (cursorRow_ == row) {
        cursor_ = nullptr;
        cursorRow_ = -1;
    } else if (cursorRow_ > row) {
        --cursorRow_;
    }
    beginRemoveRows(QModelIndex(), row, row);
    --rows_;
    endRemoveRows();
}

void PolygonListModel::entryChanged(int row)
{
    if (row < 0 || row >= rows_)
        return;
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

// --- the list box --------------------------------------------------------------------------

namespace {

// Every row as wide as the list box, whatever its name: a long name is cut at the edge
// with "…" instead of widening the rows beyond the box.
class FitWidthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(1);
        return size;
    }
};

} // namespace

TPolygonListBox::TPolygonListBox(const CDynArray& list, QWidget* parent)
    : QListView(parent), model_(new PolygonListModel(list, this))
{
    setModel(model_);
    setItemDelegate(new FitWidthDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Object files may hold a million polygons: rows of one height are laid out without
    // reading each name.
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (userInput_) {
            picked_ = true;
            emit entryPicked();
        }
    });
}

QString TPolygonListBox::text(int row) const
{
    return model_->data(model_->index(row), Qt::DisplayRole).toString();
}

int TPolygonListBox::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TPolygonListBox::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    selectionModel()->setCurrentIndex(model_->index(row), command);
}

QList<int> TPolygonListBox::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows << index.row();
    return rows;
}

bool TPolygonListBox::isRowSelected(int row) const
{
    return selectionModel()->isSelected(model_->index(row));
}

void TPolygonListBox::clearSelectionAndCurrent()
{
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

QRect TPolygonListBox::visibleRowRect(int row)
{
    const QModelIndex index = model_->index(row);
    scrollTo(index);
    return visualRect(index);
}

template <typename F> void TPolygonListBox::asUserInput(F&& handle)
{
    userInput_ = true;
    picked_ = false;
    handle();
    userInput_ = false;
}

bool TPolygonListBox::overEntry(const QMouseEvent* event) const
{
    return indexAt(event->position().toPoint()).isValid();
}

void TPolygonListBox::mousePressEvent(QMouseEvent* event)
{
    // Only the left button picks; a press beside the entries leaves the highlight where it
    // is, on the entry the editor has loaded.
    pressOffEntries_ = event->button() == Qt::LeftButton && !overEntry(event);
    if (event->button() != Qt::LeftButton || pressOffEntries_) {
        event->accept();
        return;
    }
    asUserInput([&] { QListView::mousePressEvent(event); });
    // A click on the entry that is already selected loads it again.
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (!picked_ && hit.isValid() && selectionModel()->isSelected(hit))
        emit entryPicked();
}

void TPolygonListBox::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging picks the entry under the pointer, never the empty area.
    if (pressOffEntries_ || !overEntry(event)) {
        event->accept();
        return;
    }
    asUserInput([&] { QListView::mouseMoveEvent(event); });
}

void TPolygonListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (pressOffEntries_) {
        pressOffEntries_ = false;
        event->accept();
        return;
    }
    asUserInput([&] { QListView::mouseReleaseEvent(event); });
}

void TPolygonListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !overEntry(event)) {
        event->accept();
        return;
    }
    asUserInput([&] { QListView::mouseDoubleClickEvent(event); });
}

QItemSelectionModel::SelectionFlags TPolygonListBox::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const
{
    // Nothing the user does takes the highlight off an entry without putting it on another:
    // the empty area selects nothing, and Ctrl+click or Ctrl+Space on the loaded entry pick
    // it again instead of clearing it.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::ClearAndSelect;
    return command;
}

void TPolygonListBox::keyPressEvent(QKeyEvent* event)
{
    asUserInput([&] { QListView::keyPressEvent(event); });
}
