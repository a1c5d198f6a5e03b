#pragma once

#include "TickSchedule.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The motion timer: a designed interval of 1 ms, paced by TickSchedule to about 60 ticks a
// second, so that motion speed does not depend on how fast the machine draws.
class TMotionTimer : public QObject {
    Q_OBJECT
public:
    static constexpr int kTicksPerSecond = 60;

    explicit TMotionTimer(QObject* parent = nullptr);

    int interval() const { return 1; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

signals:
    void timeout();

private:
    void fire();
    void arm();

    QTimer timer_;
    QElapsedTimer clock_;
    TickSchedule schedule_;
    bool enabled_ = false;
};
