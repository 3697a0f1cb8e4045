#include "PointerGrid.h"

#include <gtest/gtest.h>

#include "ProbeLog.h"

namespace {

TEST(PointerGrid, EveryCellIsFoundAtItsPositionAndTheGridRepeats) {
    const PointerGrid grid{100, 50, 7, 3};
    ASSERT_EQ(grid.Size(), 21u);
    for (std::size_t n = 0; n < 21; ++n) {
        const auto [x, y] = grid.At(n);
        EXPECT_EQ(grid.CellOf(x, y), n);
    }
    EXPECT_EQ(grid.At(0), std::make_pair(100, 50));
    EXPECT_EQ(grid.At(6), std::make_pair(106, 50));   // end of the first row
    EXPECT_EQ(grid.At(7), std::make_pair(100, 51));   // start of the second
    EXPECT_EQ(grid.At(20), std::make_pair(106, 52));  // the last cell
    EXPECT_EQ(grid.At(21), grid.At(0));
    EXPECT_EQ(grid.At(45), grid.At(3));
}

TEST(PointerGrid, PositionsOutsideNameNoCell) {
    const PointerGrid grid{100, 50, 7, 3};
    EXPECT_FALSE(grid.CellOf(99, 50).has_value());
    EXPECT_FALSE(grid.CellOf(107, 50).has_value());
    EXPECT_FALSE(grid.CellOf(100, 49).has_value());
    EXPECT_FALSE(grid.CellOf(100, 53).has_value());
    EXPECT_EQ(PointerGrid{}.Size(), 0u);
    EXPECT_EQ((PointerGrid{0, 0, -5, 3}.Size()), 0u);
}

TEST(PointerGrid, MotionsSeenLateAndMergedNameTheirProbes) {
    // Probes go round a 2 x 2 grid; the window sees the motions of probes 1 and 5 only
    // (the others were merged into them), and the one of probe 5 a second time.
    const PointerGrid grid{10, 10, 2, 2};
    ProbeLog log(true);
    const auto t0 = ProbeLog::Steady::time_point{} + std::chrono::hours(1);
    for (int k = 0; k < 7; ++k)
        log.Sent(t0 + std::chrono::milliseconds(10 * k));
    auto seen = [&](std::size_t probe, int atMs) {
        const auto [x, y] = grid.At(probe);
        const auto cell = grid.CellOf(x, y);
        ASSERT_TRUE(cell.has_value());
        if (const auto waiting = log.FirstWaitingIn(*cell, grid.Size()))
            log.Handled(*waiting, t0 + std::chrono::milliseconds(atMs));
    };
    seen(1, 15);
    seen(5, 80);  // probe 1's cell again, four probes later: probes 2..5 came with it
    seen(5, 95);  // the same motion seen further down its delivery: nothing more
    const ProbeLog::Summary s = log.Summarise(t0, t0 + std::chrono::milliseconds(70));
    EXPECT_EQ(s.sent, 7u);
    EXPECT_EQ(s.answered, 6u);        // probe 6 was never seen
    EXPECT_DOUBLE_EQ(s.maxMs, 60.0);  // probe 2, sent at 20 ms, arrived at 80 ms
}

}  // namespace
