#pragma once

#include <cstdint>

// When the motion timer ticks: about 60 ticks a second, like the timers of the desktop the
// program was designed on, whatever interval is asked of it.
//
// Ticks follow a schedule: each tick is due one period after the previous one was due, so a
// firing that comes late (a busy machine runs the program a few milliseconds after its timer
// expired) does not push the following ticks back; the next ones come sooner until the
// schedule is met again. A firing a fraction early still counts. A frame that takes longer
// than a period slows the ticks to one per frame; once the ticks are more than a few periods
// behind, the schedule restarts from the latest tick instead of making up for the lost ones.
class TickSchedule {
public:
    static constexpr int64_t kPeriodNs = 1'000'000'000 / 60;
    // How early a firing may come and still count as the tick that is due.
    static constexpr int64_t kEarlyToleranceNs = 2'000'000;
    // How far behind the schedule may fall and still be caught up.
    static constexpr int64_t kMaxLagNs = 4 * kPeriodNs;

    // The first tick is due one period after now.
    void start(int64_t nowNs) { dueNs_ = nowNs + kPeriodNs; }

    // A firing of the platform timer at nowNs: true when it is the tick that is due, which
    // books the next one.
    bool fire(int64_t nowNs);

    // How long to wait, in whole milliseconds, before the next firing is worth making.
    int msUntilDue(int64_t nowNs) const;

    int64_t dueNs() const { return dueNs_; }

private:
    int64_t dueNs_ = 0;
};
