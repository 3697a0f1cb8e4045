// What the replay draws and lists from a route: the zone visits of a period and the line
// thinned for a zoom level.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "persist/TrackVisit.h"
#include "zones/PolylineThinning.h"

namespace {

std::vector<TrackPoint> InZones(const std::vector<const char*>& zones) {
    std::vector<TrackPoint> points;
    for (std::size_t i = 0; i < zones.size(); ++i) {
        TrackPoint p;
        p.objectNumber = 12;
        p.messageTime = DateTime::FromCalendar(2026, 12, 6, 9, static_cast<int>(i), 0);
        p.zoneName = zones[i];
        points.push_back(p);
    }
    return points;
}

DateTime Minute(int m) {
    return DateTime::FromCalendar(2026, 12, 6, 9, m, 0);
}

// Every point left out lies within the tolerance of the segment between the kept points
// on either side of it; the first and the last are kept; the indexes ascend.
void ExpectFaithful(const std::vector<ProjectedPoint>& points, const std::vector<std::size_t>& kept,
                    double tolerance) {
    ASSERT_GE(kept.size(), 2u);
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), points.size() - 1);
    for (std::size_t k = 1; k < kept.size(); ++k) {
        ASSERT_LT(kept[k - 1], kept[k]);
        for (std::size_t i = kept[k - 1] + 1; i < kept[k]; ++i) {
            ASSERT_LE(PolylineThinning::DistanceToSegment(points[i], points[kept[k - 1]],
                                                          points[kept[k]]),
                      tolerance + 1e-9)
                << "point " << i;
        }
    }
}

}  // namespace

TEST(TrackVisitTest, RunsOfOneZoneNameAreVisits) {
    // A, A, outside, B, B straight into A, A up to the end.
    const std::vector<TrackPoint> points = InZones({"A", "A", "", "B", "B", "A", "A"});
    const std::vector<TrackVisit> visits = TrackVisit::FromPoints(points);
    ASSERT_EQ(visits.size(), 3u);
    EXPECT_EQ(visits[0].zoneName, "A");
    EXPECT_EQ(visits[0].firstInside, Minute(0));
    EXPECT_EQ(visits[0].lastInside, Minute(1));
    EXPECT_EQ(visits[0].firstOutside, Minute(2));
    EXPECT_TRUE(visits[0].beganBeforePeriod);
    EXPECT_FALSE(visits[0].lastsBeyondPeriod);

    EXPECT_EQ(visits[1].zoneName, "B");
    EXPECT_EQ(visits[1].firstPoint, 3u);
    EXPECT_EQ(visits[1].lastPoint, 4u);
    EXPECT_EQ(visits[1].firstOutside, Minute(5));
    EXPECT_FALSE(visits[1].beganBeforePeriod);
    EXPECT_FALSE(visits[1].lastsBeyondPeriod);

    EXPECT_EQ(visits[2].zoneName, "A");
    EXPECT_EQ(visits[2].firstInside, Minute(5));
    EXPECT_EQ(visits[2].lastInside, Minute(6));
    EXPECT_TRUE(visits[2].firstOutside.IsNever());
    EXPECT_FALSE(visits[2].beganBeforePeriod);
    EXPECT_TRUE(visits[2].lastsBeyondPeriod);

    EXPECT_TRUE(TrackVisit::FromPoints({}).empty());
    EXPECT_TRUE(TrackVisit::FromPoints(InZones({"", "", ""})).empty());
    const std::vector<TrackVisit> whole = TrackVisit::FromPoints(InZones({"C"}));
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_TRUE(whole[0].beganBeforePeriod && whole[0].lastsBeyondPeriod);
}

TEST(PolylineThinningTest, StraightAndStandingCollapseTurnsStay) {
    // Too short to thin, or no tolerance: everything.
    EXPECT_EQ(PolylineThinning::Keep({{0, 0}, {5, 5}}, 10), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(PolylineThinning::Keep({{0, 0}, {0, 0}, {0, 0}}, 0),
              (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_TRUE(PolylineThinning::Keep({}, 10).empty());

    // A straight drive with jitter below the tolerance: its two ends.
    std::vector<ProjectedPoint> straight;
    for (int i = 0; i <= 100; ++i)
        straight.push_back({i * 10.0, (i % 2) * 0.8});
    EXPECT_EQ(PolylineThinning::Keep(straight, 2), (std::vector<std::size_t>{0, 100}));

    // Out and back along the same road: the far end is no point *on a line* between the
    // ends, it is where the vehicle turned.
    std::vector<ProjectedPoint> outAndBack;
    for (int i = 0; i <= 100; ++i)
        outAndBack.push_back({i * 10.0, 0});
    for (int i = 99; i >= 0; --i)
        outAndBack.push_back({i * 10.0, 0});
    EXPECT_EQ(PolylineThinning::Keep(outAndBack, 2), (std::vector<std::size_t>{0, 100, 200}));

    // A right angle: the corner stays.
    std::vector<ProjectedPoint> corner;
    for (int i = 0; i <= 50; ++i)
        corner.push_back({i * 10.0, 0});
    for (int i = 1; i <= 50; ++i)
        corner.push_back({500, i * 10.0});
    EXPECT_EQ(PolylineThinning::Keep(corner, 1), (std::vector<std::size_t>{0, 50, 100}));
}

TEST(PolylineThinningTest, ADayOfDrivingAndStandingStaysWithinTolerance) {
    // 8,640 fixes: drives of random headings, stops with GPS jitter, at 10 s intervals.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::vector<ProjectedPoint> points;
    ProjectedPoint at{0, 0};
    double heading = 0;
    for (int i = 0; i < 8640; ++i) {
        const bool standing = (i / 300) % 3 == 2;
        if (standing) {
            points.push_back({at.x + 4 * unit(random), at.y + 4 * unit(random)});
        } else {
            heading += 0.3 * unit(random);
            at.x += 120 * std::cos(heading);
            at.y += 120 * std::sin(heading);
            points.push_back(at);
        }
    }
    for (const double tolerance : {1.0, 20.0, 200.0}) {
        const std::vector<std::size_t> kept = PolylineThinning::Keep(points, tolerance);
        SCOPED_TRACE(tolerance);
        ExpectFaithful(points, kept, tolerance);
        // Above the jitter a third of the day stands still: its clusters go.
        if (tolerance > 8) {
            EXPECT_LT(kept.size(), points.size() * 3 / 4);
        }
    }
    EXPECT_LT(PolylineThinning::Keep(points, 200).size(), 1000u);
}
