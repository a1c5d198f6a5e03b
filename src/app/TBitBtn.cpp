#include "TBitBtn.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// A window that takes the mouse from whatever holds it when it opens.
bool grabsTheMouse(const QObject* object)
{
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && widget->isWindow() && widget->windowType() == Qt::Popup;
}

} // namespace

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
}

void TBitBtn::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (held_)
        return;   // another mouse button on a held button: still one hold
    held_ = true;
    setDown(true);
    // While held, the whole application is watched for whatever takes the mouse away.
    qApp->installEventFilter(this);
    emit mouseDown();
}

void TBitBtn::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (held_ && event->buttons() == Qt::NoButton)
        endHold();
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

void TBitBtn::hideEvent(QHideEvent* event)
{
    endHold();
    QPushButton::hideEvent(event);
}

void TBitBtn::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        endHold();
    QPushButton::changeEvent(event);
}

bool TBitBtn::eventFilter(QObject* watched, QEvent* event)
{
    if (!held_)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        if (grabsTheMouse(watched))
            endHold();   // a menu or drop-down list opened: its release never reaches us
        break;
    case QEvent::MouseButtonRelease:
        // The release went to another widget: the mouse was taken from us on the way.
        if (watched != this && static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
            endHold();
        break;
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
        if (watched == window())
            endHold();   // another window, or a modal dialog over ours, has the mouse now
        break;
    default:
        break;
    }
    return false;
}

void TBitBtn::endHold()
{
    if (!held_)
        return;
    held_ = false;
    qApp->removeEventFilter(this);
    setDown(false);
    emit mouseUp();
}
