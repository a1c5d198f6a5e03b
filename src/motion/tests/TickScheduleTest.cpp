#include "TickSchedule.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kSecond = 1000 * kMs;

// Runs a timer that re-arms itself with the schedule's wait, arrives up to maxLateNs after
// it was due (every tenth firing, on a busy machine, up to busyLateNs) and spends frameNs
// drawing each tick; returns the ticks made in `seconds`.
int ticksWhenSelfArmed(int64_t frameNs, int64_t maxLateNs, int seconds, int64_t busyLateNs = 0)
{
    std::mt19937 random(42);
    std::uniform_int_distribution<int64_t> late(0, maxLateNs);
    std::uniform_int_distribution<int64_t> busyLate(0, busyLateNs);
    TickSchedule schedule;
    int64_t now = 0;
    schedule.start(now);
    int ticks = 0;
    for (int firing = 1; now < seconds * kSecond; ++firing) {
        now += schedule.msUntilDue(now) * kMs + (firing % 10 == 0 ? busyLate(random) : late(random));
        if (schedule.fire(now)) {
            ++ticks;
            now += frameNs;
        }
    }
    return ticks;
}

TEST(TickSchedule, SixtyTicksASecondWheneverAFrameCostsLessThanAPeriod)
{
    // Frame cost and how late a busy machine runs every tenth firing.
    const std::pair<int64_t, int64_t> cases[] = {
        {0, 0}, {3 * kMs, 0}, {12 * kMs, 0}, {15 * kMs, 0}, {2 * kMs, 40 * kMs}, {8 * kMs, 40 * kMs}};
    for (const auto& [frame, busy] : cases) {
        const int ticks = ticksWhenSelfArmed(frame, kMs, 10, busy);
        EXPECT_GE(ticks, 570) << "frame " << frame / kMs << " ms, late " << busy / kMs;
        EXPECT_LE(ticks, 630) << "frame " << frame / kMs << " ms, late " << busy / kMs;
    }
}

TEST(TickSchedule, FiringsAFractionOfAMillisecondEarlyStillCount)
{
    // A platform timer of 62.5 firings a second, each up to 1.5 ms early or late.
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> jitter(-1'500'000, 1'500'000);
    TickSchedule schedule;
    schedule.start(0);
    int ticks = 0;
    for (int64_t k = 1; k <= 625; ++k)
        if (schedule.fire(k * 16 * kMs + jitter(random)))
            ++ticks;
    EXPECT_GE(ticks, 570);
    EXPECT_LE(ticks, 630);
}

TEST(TickSchedule, SlowFramesTickOncePerFrameWithoutBurstsAfterAStall)
{
    EXPECT_EQ(ticksWhenSelfArmed(25 * kMs, 0, 10), 400) << "one tick per 25 ms frame";

    TickSchedule schedule;
    schedule.start(0);
    ASSERT_TRUE(schedule.fire(TickSchedule::kPeriodNs));
    // The window was busy for 200 ms: one tick, and the next is a whole period later.
    const int64_t after = 200 * kMs;
    EXPECT_TRUE(schedule.fire(after));
    EXPECT_FALSE(schedule.fire(after + kMs));
    EXPECT_FALSE(schedule.fire(after + TickSchedule::kPeriodNs - 3 * kMs));
    EXPECT_EQ(schedule.msUntilDue(after), 16);
    EXPECT_TRUE(schedule.fire(after + TickSchedule::kPeriodNs));
}

} // namespace
