#include <gtest/gtest.h>

#include "alerts/VisitHistory.h"
#include "base/TextUtil.h"

namespace {

DateTime At(int day, int hour, int minute = 0, int second = 0) {
    return DateTime::FromCalendar(2024, 3, day, hour, minute, second);
}

}  // namespace

TEST(VisitHistoryTest, HundredthVisitDropsTheOldest) {
    VisitHistory h;
    const DateTime now = At(20, 12);
    for (int k = 0; k < 100; ++k) {
        h.StartVisit(TextUtil::Format("Z%d", k), k, At(1, 0, k), now);
        h.EndVisit(At(1, 1, k), true);
    }
    EXPECT_EQ(h.visitCount, 99);
    EXPECT_EQ(h.zoneNames.size(), 99u);
    EXPECT_EQ(h.arrivalTimes.size(), 99u);
    EXPECT_EQ(h.ZoneName(0), "Z99");
    EXPECT_EQ(h.ZoneIndex(0), 99);
    EXPECT_EQ(h.ZoneName(98), "Z1");  // Z0, the oldest, is gone
    EXPECT_EQ(h.ArrivalTime(98), At(1, 0, 1));
    EXPECT_EQ(h.DepartureTime(98), At(1, 1, 1));
    EXPECT_EQ(h.ZoneName(99), "");
}

TEST(VisitHistoryTest, StartOpensAndEndClosesTheNewestVisit) {
    VisitHistory h;
    h.lastVisitClosed = 1;
    h.StartVisit("A", 3, At(5, 10), At(5, 11));
    EXPECT_EQ(h.visitCount, 1);
    EXPECT_EQ(h.lastVisitClosed, 0);
    EXPECT_EQ(h.DepartureTime(0), At(5, 11));  // departure starts as the local "now"

    h.StartVisit("B", 4, At(5, 12), At(5, 13));
    EXPECT_TRUE(h.EndVisit(At(5, 14), false));
    EXPECT_EQ(h.lastVisitClosed, 0);
    EXPECT_EQ(h.DepartureTime(0), At(5, 14));
    EXPECT_EQ(h.DepartureTime(1), At(5, 11));  // older visits untouched
    EXPECT_TRUE(h.EndVisit(At(5, 15), true));
    EXPECT_EQ(h.lastVisitClosed, 1);
    EXPECT_EQ(h.ZoneName(1), "A");
}

TEST(VisitHistoryTest, EndVisitOnEmptyHistoryChangesNothing) {
    VisitHistory h;
    EXPECT_FALSE(h.EndVisit(At(1, 1), true));
    EXPECT_EQ(h.visitCount, 0);
    EXPECT_EQ(h.lastVisitClosed, 0);
    EXPECT_TRUE(h.departureTimes.empty());
}

TEST(VisitHistoryTest, ReadersOutsideTheVisitsGiveEmptyValues) {
    VisitHistory h;
    h.StartVisit("A", 2, At(5, 10), At(5, 11));
    for (int i : {-1, 1, 100}) {
        EXPECT_EQ(h.ZoneName(i), "");
        EXPECT_EQ(h.ZoneIndex(i), -1);
        EXPECT_FALSE(h.ArrivalTime(i).IsValid());
        EXPECT_FALSE(h.DepartureTimeShown(i).IsValid());
        EXPECT_FALSE(h.HasEnded(i));
        EXPECT_EQ(h.Duration(i), 0.0);
    }
    h.SwapVisits(0, 5);  // ignored
    EXPECT_EQ(h.ZoneName(0), "A");
}

TEST(VisitHistoryTest, EndedDurationAndShownTimes) {
    VisitHistory h;
    h.displayOffsetMinutes = -180;
    h.StartVisit("A", 1, At(5, 9), At(5, 9));
    h.EndVisit(At(6, 12, 20), true);
    EXPECT_TRUE(h.HasEnded(0));
    EXPECT_NEAR(h.Duration(0), 1.0 + 3.0 / 24 + 20.0 / 1440, 1e-9);
    EXPECT_EQ(h.ArrivalTimeShown(0), At(5, 12));
    EXPECT_EQ(h.DepartureTimeShown(0), At(6, 15, 20));
    EXPECT_EQ(h.ArrivalTime(0), At(5, 9));  // stored value unchanged

    // A departure before the arrival is an open visit: not ended, no duration.
    h.StartVisit("B", 2, At(7, 10), At(7, 9));
    EXPECT_FALSE(h.HasEnded(0));
    EXPECT_EQ(h.Duration(0), 0.0);
    // Equal times count as ended, with a zero duration.
    h.EndVisit(At(7, 10), true);
    EXPECT_TRUE(h.HasEnded(0));
    EXPECT_EQ(h.Duration(0), 0.0);
}

TEST(VisitHistoryTest, SwapVisitsExchangesAllFourFields) {
    VisitHistory h;
    h.StartVisit("A", 1, At(1, 1), At(1, 2));
    h.StartVisit("B", 2, At(2, 1), At(2, 2));
    h.StartVisit("C", 3, At(3, 1), At(3, 2));
    h.SwapVisits(0, 2);
    EXPECT_EQ(h.ZoneName(0), "A");
    EXPECT_EQ(h.ZoneIndex(0), 1);
    EXPECT_EQ(h.ArrivalTime(0), At(1, 1));
    EXPECT_EQ(h.DepartureTime(0), At(1, 2));
    EXPECT_EQ(h.ZoneName(2), "C");
    EXPECT_EQ(h.ZoneIndex(2), 3);
    EXPECT_EQ(h.ArrivalTime(2), At(3, 1));
    EXPECT_EQ(h.DepartureTime(2), At(3, 2));
    EXPECT_EQ(h.ZoneName(1), "B");

    h.Clear();
    EXPECT_EQ(h.visitCount, 0);
    EXPECT_TRUE(h.zoneNames.empty());
    EXPECT_EQ(h.ZoneName(0), "");
}
