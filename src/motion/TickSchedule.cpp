#include "TickSchedule.h"

bool TickSchedule::fire(int64_t nowNs)
{
    if (nowNs < dueNs_ - kEarlyToleranceNs)
        return false;
    dueNs_ += kPeriodNs;
    if (nowNs - dueNs_ > kMaxLagNs)
        dueNs_ = nowNs + kPeriodNs;   // too far behind: no burst to catch up
    return true;
}

int TickSchedule::msUntilDue(int64_t nowNs) const
{
    const int64_t wait = dueNs_ - nowNs;
    // Rounded down: a firing up to a millisecond early is within the tolerance.
    return wait <= 0 ? 0 : int(wait / 1'000'000);
}
