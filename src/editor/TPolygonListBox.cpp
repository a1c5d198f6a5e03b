#include "TPolygonListBox.h"

#include <QMouseEvent>

TPolygonListBox::TPolygonListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Object files may hold a hundred thousand polygons: equal rows keep the list box from
    // measuring every entry.
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (userInput_) {
            picked_ = true;
            emit entryPicked();
        }
    });
}

template <typename F> void TPolygonListBox::asUserInput(F&& handle)
{
    userInput_ = true;
    picked_ = false;
    handle();
    userInput_ = false;
}

void TPolygonListBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    asUserInput([&] { QListWidget::mousePressEvent(event); });
    // A click on the entry that is already selected loads it again.
    QListWidgetItem* hit = itemAt(event->position().toPoint());
    if (!picked_ && hit && hit->isSelected())
        emit entryPicked();
}

void TPolygonListBox::mouseMoveEvent(QMouseEvent* event)
{
    asUserInput([&] { QListWidget::mouseMoveEvent(event); });
}

void TPolygonListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    asUserInput([&] { QListWidget::mouseDoubleClickEvent(event); });
}

void TPolygonListBox::keyPressEvent(QKeyEvent* event)
{
    asUserInput([&] { QListWidget::keyPressEvent(event); });
}
