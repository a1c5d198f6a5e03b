#include "TMotionTimer.h"

TMotionTimer::TMotionTimer(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kMinimumSpacingMs);
    connect(&timer_, &QTimer::timeout, this, &TMotionTimer::fire);
}

void TMotionTimer::setEnabled(bool enabled)
{
    if (enabled == timer_.isActive())
        return;
    if (enabled)
        timer_.start();
    else
        timer_.stop();
}

void TMotionTimer::fire()
{
    // A long frame can let timer events pile up; they are spaced out here.
    if (sinceLastTick_.isValid() && sinceLastTick_.elapsed() < kMinimumSpacingMs - 1)
        return;
    sinceLastTick_.restart();
    emit timeout();
}
