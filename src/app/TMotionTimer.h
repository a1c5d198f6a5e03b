#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The motion timer: a designed interval of 1 ms, but never more than one tick per 16 ms,
// so that motion speed does not depend on how fast the machine draws.
class TMotionTimer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinimumSpacingMs = 16;

    explicit TMotionTimer(QObject* parent = nullptr);

    int interval() const { return 1; }
    bool enabled() const { return timer_.isActive(); }
    void setEnabled(bool enabled);

signals:
    void timeout();

private:
    void fire();

    QTimer timer_;
    QElapsedTimer sinceLastTick_;
};
