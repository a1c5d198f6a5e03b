#include "TCoordinateGrid.h"

#include <QPalette>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QSet>
#include <QStyledItemDelegate>

namespace {

constexpr int kColumns = 4;
constexpr int kRows = 5;

// The character a key press types, null for keys that type none. Delete types nothing here,
// although X11 hands it over as character 127: only editing characters count.
QChar typedChar(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete: return {};
    case Qt::Key_Escape: return QChar(27);
    case Qt::Key_Return:
    case Qt::Key_Enter: return QChar(13);
    case Qt::Key_Backspace: return QChar(8);
    default: break;
    }
    const QString text = event->text();
    return text.isEmpty() ? QChar() : text.front();
}

bool isTabKey(const QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    return event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
}

bool isBackwardTab(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
}

} // namespace

// A message box that the release hook shows takes the keyboard until it closes, and Return or
// Esc close it on their press: the key is still down when the box has gone, and its release
// comes to the grid, where it would run the hook again and bring the box straight back. This
// notes the keys pressed while the hook runs and drops the release of each that is still down
// afterwards if it comes to the grid; the next key of the user's own is the grid's again.
class KeysClosingABox : public QObject {
public:
    explicit KeysClosingABox(QWidget* grid) : QObject(grid), grid_(grid) {}

    void beginHook()
    {
        inHook_ = true;
        qApp->installEventFilter(this);
    }
    void endHook()
    {
        inHook_ = false;
        if (down_.isEmpty())
            qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
            return false;
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->isAutoRepeat())
            return false;
        if (type == QEvent::KeyPress) {
            if (inHook_)
                down_.insert(key->key());
            return false;
        }
        // The window's own delivery comes first and hands the key on to its focus widget.
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget || !down_.remove(key->key()) || inHook_)
            return false;
        if (down_.isEmpty())
            qApp->removeEventFilter(this);
        return widget == grid_ || grid_->isAncestorOf(widget);
    }

private:
    QWidget* grid_;
    QSet<int> down_;   // pressed while the hook ran, not yet released
    bool inHook_ = false;
};

// The in-place editor: a frameless line edit whose every change goes into its cell at once,
// and whose keys go through the grid's hooks before the line edit or the delegate's own
// Enter/Esc/Tab handling see them.
class CellEditorDelegate : public QStyledItemDelegate {
public:
    explicit CellEditorDelegate(TCoordinateGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setObjectName(QStringLiteral("cellEditor"));
        editor->setFrame(false);
        QPersistentModelIndex cell(index);
        QAbstractItemModel* model = const_cast<QAbstractItemModel*>(index.model());
        QObject::connect(editor, &QLineEdit::textEdited, editor, [model, cell](const QString& text) {
            if (cell.isValid())
                model->setData(cell, text, Qt::EditRole);
        });
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        // Only a real change is written: rewriting the same text would move the caret to
        // the end after every typed character.
        auto* line = static_cast<QLineEdit*>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        if (line->text() != text)
            line->setText(text);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (isTabKey(key)) {
                grid_->moveToNeighbour(isBackwardTab(key));
                return true;
            }
            if (grid_->filterTypedKey(key))
                return true;
        } else if (event->type() == QEvent::KeyRelease) {
            // Consumed here, or it would travel on to the grid and be cleaned up twice.
            grid_->keyReleased(static_cast<QKeyEvent*>(event));
            return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TCoordinateGrid* grid_;
};

TCoordinateGrid::TCoordinateGrid(QWidget* parent)
    : QTableWidget(kRows, kColumns, parent), keysClosingABox_(new KeysClosingABox(this))
{
    setItemDelegate(new CellEditorDelegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(34);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(true);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    // While the grid is disabled its current cell is not marked: a dark block in an idle
    // editor reads as a cell that holds something.
    QPalette colours = palette();
    colours.setColor(QPalette::Disabled, QPalette::Highlight,
                     colours.color(QPalette::Disabled, QPalette::Base));
    colours.setColor(QPalette::Disabled, QPalette::HighlightedText,
                     colours.color(QPalette::Disabled, QPalette::Text));
    setPalette(colours);
    // No SelectedClicked: Qt opens that editor only after the double-click interval, and
    // opening it then selects what was typed meanwhile, so fast typing after a click was
    // lost. A click on the current cell opens the editor at once instead (mouseReleaseEvent).
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked);

    for (int row = 0; row < kRows; ++row) {
        for (int col = 0; col < kColumns; ++col) {
            auto* item = new QTableWidgetItem;
            if (row == 0 || col == 0) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(palette().button());
                item->setForeground(palette().buttonText());
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
            }
            setItem(row, col, item);
        }
    }
    setPointRows(3);
    setCurrentCoordinate(1, 1);
}

QString TCoordinateGrid::cell(int col, int row) const
{
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TCoordinateGrid::setCell(int col, int row, const QString& text)
{
    if (QTableWidgetItem* it = item(row, col))
        it->setText(text);
}

void TCoordinateGrid::setPointRows(int rows)
{
    pointRows_ = rows == 4 ? 4 : 3;
    setRowHidden(4, pointRows_ < 4);
    if (currentRowIndex() > pointRows_)
        setCurrentCoordinate(1, 1);
}

int TCoordinateGrid::currentCol() const { return currentColumn(); }

int TCoordinateGrid::currentRowIndex() const { return currentRow(); }

void TCoordinateGrid::setCurrentCoordinate(int col, int row)
{
    setCurrentCell(row, col);
}

void TCoordinateGrid::moveToNeighbour(bool backward)
{
    int col = currentCol() < 1 ? 1 : currentCol();
    int row = currentRowIndex() < 1 ? 1 : currentRowIndex();
    if (backward) {
        if (--col < 1) {
            col = 3;
            if (--row < 1)
                row = pointRows_;
        }
    } else if (++col > 3) {
        col = 1;
        if (++row > pointRows_)
            row = 1;
    }
    setCurrentCoordinate(col, row);
}

QLineEdit* TCoordinateGrid::cellEditor() const
{
    return state() == EditingState ? qobject_cast<QLineEdit*>(indexWidget(currentIndex()))
                                   : nullptr;
}

bool TCoordinateGrid::filterTypedKey(QKeyEvent* event)
{
    QChar c = typedChar(event);
    if (c.isNull())
        return false;
    if (onKeyPress)
        onKeyPress(c);
    return c.isNull();
}

bool TCoordinateGrid::isHeading(const QModelIndex& index) const
{
    return index.isValid() && (index.row() == 0 || index.column() == 0);
}

void TCoordinateGrid::keyPressEvent(QKeyEvent* event)
{
    if (isTabKey(event)) {
        moveToNeighbour(isBackwardTab(event));
        event->accept();
        return;
    }
    if (filterTypedKey(event)) {
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void TCoordinateGrid::keyReleaseEvent(QKeyEvent* event)
{
    keyReleased(event);
    event->accept();
}

void TCoordinateGrid::keyReleased(const QKeyEvent* event)
{
    if (event->isAutoRepeat() || !onKeyUp)
        return;
    keysClosingABox_->beginHook();
    onKeyUp(event->key());
    keysClosingABox_->endHook();
}

void TCoordinateGrid::mousePressEvent(QMouseEvent* event)
{
    // The headings are fixed cells: a click there keeps the current cell.
    if (isHeading(indexAt(event->position().toPoint()))) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    const QModelIndex pressed = indexAt(event->position().toPoint());
    pressedOnCurrent_ = pressed.isValid() && pressed == currentIndex() && state() != EditingState;
    QTableWidget::mousePressEvent(event);
}

void TCoordinateGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clickOnCurrent = pressedOnCurrent_ &&
                                indexAt(event->position().toPoint()) == currentIndex();
    pressedOnCurrent_ = false;
    QTableWidget::mouseReleaseEvent(event);
    if (clickOnCurrent && event->button() == Qt::LeftButton && state() != EditingState)
        edit(currentIndex());
}

void TCoordinateGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (isHeading(indexAt(event->position().toPoint()))) {
        event->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

QModelIndex TCoordinateGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    QModelIndex target = QTableWidget::moveCursor(action, modifiers);
    if (!target.isValid())
        return currentIndex();
    const int row = qBound(1, target.row(), pointRows_);
    const int col = qBound(1, target.column(), 3);
    return model()->index(row, col);
}
