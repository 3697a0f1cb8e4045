#include "ProbeLog.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using Steady = ProbeLog::Steady;

const Steady::time_point kT0 = Steady::time_point{} + std::chrono::hours(1);

Steady::time_point At(int ms) {
    return kT0 + milliseconds(ms);
}

TEST(ProbeLog, PercentilesOfAHundredLatencies) {
    ProbeLog log(false);
    // Probe k sent at k ms and answered (k + 1) ms later, answered in reverse order.
    for (int k = 0; k < 100; ++k)
        EXPECT_EQ(log.Sent(At(k)), static_cast<std::size_t>(k));
    for (int k = 99; k >= 0; --k)
        log.Handled(static_cast<std::size_t>(k), At(k + k + 1));
    const ProbeLog::Summary s = log.Summarise(At(0), At(1000));
    EXPECT_EQ(s.sent, 100u);
    EXPECT_EQ(s.answered, 100u);
    // Sorted latencies are 1..100 ms: position 50 holds 51, position 99 holds 100.
    EXPECT_DOUBLE_EQ(s.p50Ms, 51.0);
    EXPECT_DOUBLE_EQ(s.p99Ms, 100.0);
    EXPECT_DOUBLE_EQ(s.maxMs, 100.0);
}

TEST(ProbeLog, PhasesTakeTheProbesSentInsideThem) {
    ProbeLog log(false);
    for (int k = 0; k < 4; ++k)
        log.Handled(log.Sent(At(10 * k)), At(10 * k + 1 + k));  // 1, 2, 3, 4 ms
    const ProbeLog::Summary middle = log.Summarise(At(10), At(30));
    EXPECT_EQ(middle.sent, 2u);
    EXPECT_DOUBLE_EQ(middle.maxMs, 3.0);
    EXPECT_EQ(log.Summarise(At(30), At(31)).sent, 1u);
    EXPECT_EQ(log.Summarise(At(41), At(100)).sent, 0u);
    EXPECT_DOUBLE_EQ(log.Summarise(At(41), At(100)).p99Ms, 0.0);
}

TEST(ProbeLog, ProbesNeverAnsweredAreCountedNotMeasured) {
    ProbeLog log(false);
    log.Sent(At(0));
    log.Handled(log.Sent(At(1)), At(6));
    log.Sent(At(2));
    const ProbeLog::Summary s = log.Summarise(At(0), At(3));
    EXPECT_EQ(s.sent, 3u);
    EXPECT_EQ(s.answered, 1u);
    EXPECT_DOUBLE_EQ(s.maxMs, 5.0);
}

TEST(ProbeLog, FirstArrivalCountsAndUnknownNumbersAreIgnored) {
    ProbeLog log(false);
    const std::size_t n = log.Sent(At(0));
    log.Handled(n, At(4));
    log.Handled(n, At(9));   // the same event seen again further down the delivery
    log.Handled(7, At(10));  // never sent
    const ProbeLog::Summary s = log.Summarise(At(0), At(1));
    EXPECT_EQ(s.answered, 1u);
    EXPECT_DOUBLE_EQ(s.maxMs, 4.0);
}

TEST(ProbeLog, MergedMotionsArriveWithTheLastOne) {
    ProbeLog merging(true);
    ProbeLog separate(false);
    for (int k = 0; k < 6; ++k) {
        merging.Sent(At(10 * k));
        separate.Sent(At(10 * k));
    }
    merging.Handled(3, At(100));
    separate.Handled(3, At(100));
    const ProbeLog::Summary m = merging.Summarise(At(0), At(60));
    EXPECT_EQ(m.answered, 4u);
    EXPECT_DOUBLE_EQ(m.maxMs, 100.0);  // probe 0 waited for probe 3
    EXPECT_DOUBLE_EQ(m.p50Ms, 90.0);   // 100, 90, 80, 70 ms
    EXPECT_EQ(separate.Summarise(At(0), At(60)).answered, 1u);
    // A later motion merges only those still waiting.
    merging.Handled(5, At(120));
    const ProbeLog::Summary all = merging.Summarise(At(0), At(60));
    EXPECT_EQ(all.answered, 6u);
    EXPECT_DOUBLE_EQ(all.maxMs, 100.0);
}

TEST(ProbeLog, PositionsThatRepeatFindTheProbeStillWaiting) {
    // Four pointer positions, used in turn: probe n goes to position n % 4.
    ProbeLog log(true);
    for (int k = 0; k < 10; ++k)
        log.Sent(At(k));
    EXPECT_EQ(log.FirstWaitingIn(2, 4), 2u);
    log.Handled(5, At(20));  // 0..5 taken in; 6..9 wait
    EXPECT_EQ(log.FirstWaitingIn(2, 4), 6u);
    EXPECT_EQ(log.FirstWaitingIn(3, 4), 7u);
    EXPECT_EQ(log.FirstWaitingIn(0, 4), 8u);
    EXPECT_EQ(log.FirstWaitingIn(1, 4), 9u);
    // The position of a probe already taken in, seen again, names no other probe: the
    // next one at that position has not been sent.
    log.Handled(9, At(30));
    EXPECT_FALSE(log.FirstWaitingIn(1, 4).has_value());
    EXPECT_FALSE(log.FirstWaitingIn(0, 0).has_value());
}

}  // namespace
