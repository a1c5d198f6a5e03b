#include "TPolygonListBox.h"

#include "DynArray.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
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

void PolygonListModel::insertEntry(int row)
{
    if (row < 0 || row > rows_)
        return;
    // The nodes around the new one are the same, but the rows from it on count one more.
    if (cursorRow_ >= row)
        ++cursorRow_;
    beginInsertRows(QModelIndex(), row, row);
    ++rows_;
    endInsertRows();
}

void PolygonListModel::entryChanged(int row)
{
    if (row < 0 || row >= rows_)
        return;
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

// --- the list box --------------------------------------------------------------------------

TPolygonListBox::TPolygonListBox(const CDynArray& list, QWidget* parent)
    : QAbstractItemView(parent), model_(new PolygonListModel(list, this))
{
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row is the list box's width: a long name is cut at the edge with "…" instead
    // of widening the rows beyond the box.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
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

void TPolygonListBox::appendShownEntry()
{
    appendEntries(1);
    scrollTo(rowIndex(count() - 1));
}

void TPolygonListBox::insertShownEntry(int row)
{
    model_->insertEntry(row);
    scrollTo(rowIndex(row));
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

// --- rows of one height ----------------------------------------------------------------------

int TPolygonListBox::rowHeight() const
{
    if (rowHeight_ <= 0) {
        QStyleOptionViewItem option;
        const_cast<TPolygonListBox*>(this)->initViewItemOption(&option);
        option.text = QStringLiteral("Xg");
        option.features |= QStyleOptionViewItem::HasDisplay;
        rowHeight_ = std::max(1, style()->sizeFromContents(QStyle::CT_ItemViewItem, &option,
                                                          QSize(), this).height());
    }
    return rowHeight_;
}

void TPolygonListBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        rowHeight_ = 0;
    QAbstractItemView::changeEvent(event);
}

int TPolygonListBox::verticalOffset() const
{
    return verticalScrollBar()->value();
}

QRect TPolygonListBox::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model_)
        return {};
    const int h = rowHeight();
    return QRect(0, index.row() * h - verticalOffset(), viewport()->width(), h);
}

QModelIndex TPolygonListBox::indexAt(const QPoint& point) const
{
    if (point.x() < 0 || point.x() >= viewport()->width() || point.y() < 0)
        return {};
    const int row = (point.y() + verticalOffset()) / rowHeight();
    return row < count() ? rowIndex(row) : QModelIndex();
}

void TPolygonListBox::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int h = rowHeight();
    const int top = index.row() * h;
    const int visible = viewport()->height();
    int value = verticalScrollBar()->value();
    switch (hint) {
    case PositionAtTop: value = top; break;
    case PositionAtBottom: value = top + h - visible; break;
    case PositionAtCenter: value = top - (visible - h) / 2; break;
    case EnsureVisible:
        if (top < value)
            value = top;
        else if (top + h > value + visible)
            value = top + h - visible;
        break;
    }
    verticalScrollBar()->setValue(value);
}

QModelIndex TPolygonListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int rows = count();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    int row = current.isValid() ? current.row() : -1;
    const int page = std::max(1, viewport()->height() / rowHeight());
    switch (action) {
    case MoveUp:
    case MovePrevious: row = row < 0 ? 0 : row - 1; break;
    case MoveDown:
    case MoveNext: row += 1; break;
    case MovePageUp: row -= page; break;
    case MovePageDown: row = row < 0 ? page - 1 : row + page; break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = rows - 1; break;
    default: break;
    }
    return rowIndex(std::clamp(row, 0, rows - 1));
}

void TPolygonListBox::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    const int h = rowHeight();
    const int first = std::max(0, (rect.top() + verticalOffset()) / h);
    const int last = std::min(count() - 1, (rect.bottom() + verticalOffset()) / h);
    if (first > last)
        return;
    selectionModel()->select(QItemSelection(rowIndex(first), rowIndex(last)), command);
}

QRegion TPolygonListBox::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        const QRect top = visualRect(range.topLeft());
        const QRect bottom = visualRect(range.bottomRight());
        region += (top | bottom).intersected(viewport()->rect());
    }
    return region;
}

void TPolygonListBox::updateGeometries()
{
    const int h = rowHeight();
    const int visible = viewport()->height();
    verticalScrollBar()->setSingleStep(h);
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setRange(0, std::max(0, count() * h - visible));
    horizontalScrollBar()->setRange(0, 0);
    QAbstractItemView::updateGeometries();
}

void TPolygonListBox::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    updateGeometries();
    viewport()->update();
}

void TPolygonListBox::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    // The rows below the removed ones move up: all of them are drawn again, not only the
    // area the view thinks changed, which left an old row on the screen.
    viewport()->update();
}

void TPolygonListBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const int rows = count();
    if (rows == 0)
        return;
    const int h = rowHeight();
    const QRect area = event->rect();
    const int first = std::max(0, (area.top() + verticalOffset()) / h);
    const int last = std::min(rows - 1, (area.bottom() + verticalOffset()) / h);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State base = option.state & ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    const QModelIndex current = currentIndex();
    const bool focused = hasFocus();
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = rowIndex(row);
        option.rect = visualRect(index);
        option.state = base;
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (focused && index == current)
            option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
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
    asUserInput([&] { QAbstractItemView::mousePressEvent(event); });
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
    asUserInput([&] { QAbstractItemView::mouseMoveEvent(event); });
}

void TPolygonListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (pressOffEntries_) {
        pressOffEntries_ = false;
        event->accept();
        return;
    }
    asUserInput([&] { QAbstractItemView::mouseReleaseEvent(event); });
}

void TPolygonListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !overEntry(event)) {
        event->accept();
        return;
    }
    asUserInput([&] { QAbstractItemView::mouseDoubleClickEvent(event); });
}

QItemSelectionModel::SelectionFlags TPolygonListBox::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const
{
    // Nothing the user does takes the highlight off an entry without putting it on another:
    // the empty area selects nothing, and Ctrl+click or Ctrl+Space on the loaded entry pick
    // it again instead of clearing it.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QAbstractItemView::selectionCommand(index, event);
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::ClearAndSelect;
    return command;
}

void TPolygonListBox::keyPressEvent(QKeyEvent* event)
{
    asUserInput([&] { QAbstractItemView::keyPressEvent(event); });
}
