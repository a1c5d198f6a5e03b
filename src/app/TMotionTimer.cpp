#include "TMotionTimer.h"

TMotionTimer::TMotionTimer(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    clock_.start();
    connect(&timer_, &QTimer::timeout, this, &TMotionTimer::fire);
}

void TMotionTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (enabled) {
        schedule_.start(clock_.nsecsElapsed());
        arm();
    } else {
        timer_.stop();
    }
}

void TMotionTimer::arm()
{
    timer_.start(schedule_.msUntilDue(clock_.nsecsElapsed()));
}

void TMotionTimer::fire()
{
    if (!enabled_)
        return;
    if (schedule_.fire(clock_.nsecsElapsed()))
        emit timeout();
    // The tick may have switched the timer off, or off and on again (which armed it anew).
    if (enabled_ && !timer_.isActive())
        arm();
}
