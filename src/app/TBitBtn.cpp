#include "TBitBtn.h"

#include <QKeyEvent>
#include <QMouseEvent>

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
}

void TBitBtn::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    // The button is held while any mouse button is down on it: one press, one release.
    if (buttonsDown_++ > 0)
        return;
    setDown(true);
    emit mouseDown();
}

void TBitBtn::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (buttonsDown_ == 0)
        return; // a release without its press (the press went elsewhere)
    if (--buttonsDown_ > 0)
        return;
    setDown(false);
    emit mouseUp();
}

void TBitBtn::mouseMoveEvent(QMouseEvent* event)
{
    // The button stays down while held, wherever the pointer goes.
    event->accept();
}

void TBitBtn::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Select:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TBitBtn::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) {
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}
