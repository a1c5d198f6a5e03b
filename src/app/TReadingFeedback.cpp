#include "TReadingFeedback.h"

#include <QApplication>
#include <QWidget>

TReadingFeedback::TReadingFeedback(QWidget* window) : QObject(window), window_(window)
{
    setObjectName("ReadingFeedback");
}

void TReadingFeedback::begin()
{
    reading_ = true;
    nextRepaint_ = Clock::now() + firstRepaint_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TReadingFeedback::progress()
{
    if (!reading_ || Clock::now() < nextRepaint_)
        return;
    // repaint(), not processEvents(): the window's own pixels, and nothing else runs.
    window_->repaint();
    nextRepaint_ = Clock::now() + repaintInterval_;
    emit repainted();
}

void TReadingFeedback::end()
{
    if (!reading_)
        return;
    reading_ = false;
    QApplication::restoreOverrideCursor();
}
