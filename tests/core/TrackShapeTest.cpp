// What the replay draws and lists from a route: the zone visits of a period and the line
// thinned for a zoom level.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "persist/TrackVisit.h"
#include "zones/PolylineThinning.h"

namespace {

DateTime Minute(int m) {
    return DateTime::FromCalendar(2026, 12, 6, 9, m, 0);
}

// "zone first-last out@minute(or -) [<] [>]" per visit; < began before, > lasts beyond.
std::string Visits(const std::vector<const char*>& zones) {
    std::vector<TrackPoint> points(zones.size());
    for (std::size_t i = 0; i < zones.size(); ++i) {
        points[i].messageTime = Minute(static_cast<int>(i));
        points[i].zoneName = zones[i];
    }
    std::string text;
    for (const TrackVisit& v : TrackVisit::FromPoints(points)) {
        EXPECT_TRUE(v.firstInside == points[v.firstPoint].messageTime);
        EXPECT_TRUE(v.lastInside == points[v.lastPoint].messageTime);
        text += v.zoneName + " " + std::to_string(v.firstPoint) + "-" +
                std::to_string(v.lastPoint) + " out@" +
                (v.firstOutside.IsNever() ? "-"
                                          : std::to_string(static_cast<int>(std::lround(
                                                (v.firstOutside - Minute(0)) * 1440)))) +
                (v.beganBeforePeriod ? " <" : "") + (v.lastsBeyondPeriod ? " >" : "") + "; ";
    }
    return text;
}

}  // namespace

TEST(TrackVisitTest, RunsOfOneZoneNameAreVisits) {
    // Outside, B straight into A: each ends the visit before it.
    EXPECT_EQ(Visits({"A", "A", "", "B", "B", "A", "A"}),
              "A 0-1 out@2 <; B 3-4 out@5; A 5-6 out@- >; ");
    EXPECT_EQ(Visits({"", "C", ""}), "C 1-1 out@2; ");
    EXPECT_EQ(Visits({"C"}), "C 0-0 out@- < >; ");
    EXPECT_EQ(Visits({"", ""}), "");
    EXPECT_EQ(Visits({}), "");
}

TEST(PolylineThinningTest, StraightAndStandingCollapseTurnsStay) {
    EXPECT_EQ(PolylineThinning::Keep({{0, 0}, {0, 0}, {0, 0}}, 0),
              (std::vector<std::size_t>{0, 1, 2}));
    // A straight drive with jitter below the tolerance: its two ends.
    std::vector<ProjectedPoint> straight;
    for (int i = 0; i <= 100; ++i)
        straight.push_back({i * 10.0, (i % 2) * 0.8});
    EXPECT_EQ(PolylineThinning::Keep(straight, 2), (std::vector<std::size_t>{0, 100}));
    // Out and back half the way along the same road: the far end lies on the line through
    // the ends, but beyond them; it is where the vehicle turned.
    std::vector<ProjectedPoint> outAndBack = straight;
    for (int i = 99; i >= 50; --i)
        outAndBack.push_back({i * 10.0, 0});
    EXPECT_EQ(PolylineThinning::Keep(outAndBack, 2), (std::vector<std::size_t>{0, 100, 150}));
}

// 8,640 fixes: drives with turns, and stops with GPS jitter. Every point left out lies
// within the tolerance of the segment between the kept points around it.
TEST(PolylineThinningTest, ADayOfDrivingAndStandingStaysWithinTolerance) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::vector<ProjectedPoint> points;
    ProjectedPoint at{0, 0};
    double heading = 0;
    for (int i = 0; i < 8640; ++i) {
        if ((i / 300) % 3 == 2) {
            points.push_back({at.x + 4 * unit(random), at.y + 4 * unit(random)});
            continue;
        }
        heading += 0.3 * unit(random);
        at = {at.x + 120 * std::cos(heading), at.y + 120 * std::sin(heading)};
        points.push_back(at);
    }
    for (const double tolerance : {1.0, 20.0, 200.0}) {
        SCOPED_TRACE(tolerance);
        const std::vector<std::size_t> kept = PolylineThinning::Keep(points, tolerance);
        ASSERT_EQ(kept.front(), 0u);
        ASSERT_EQ(kept.back(), points.size() - 1);
        for (std::size_t k = 1; k < kept.size(); ++k) {
            ASSERT_LT(kept[k - 1], kept[k]);
            for (std::size_t i = kept[k - 1] + 1; i < kept[k]; ++i)
                ASSERT_LE(PolylineThinning::DistanceToSegment(points[i], points[kept[k - 1]],
                                                              points[kept[k]]),
                          tolerance + 1e-9);
        }
        // Above the jitter the stops (a third of the day) go.
        EXPECT_LT(kept.size(), tolerance > 8 ? 5760u : 8640u);
    }
}
