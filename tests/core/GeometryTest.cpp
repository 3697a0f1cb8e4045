#include <gtest/gtest.h>

#include <cmath>

#include "base/Cp1251.h"
#include "zones/Geometry.h"
#include "zones/ZoneMap.h"
#include "zones/ZonePolygon.h"

namespace {

// R * pi / 180 for R = 6371006.84, worked out apart from the code.
constexpr double kMetresPerDegree = 111195.04602507957;

ZonePolygon MakePolygon(std::initializer_list<std::pair<double, double>> vertices) {
    ZonePolygon p;
    int n = 0;
    for (const auto& [lat, lon] : vertices)
        p.SetVertex(++n, lat, lon);
    p.Project();
    return p;
}

ZoneRecord CircleZone(const char* name, double lat, double lon, int32_t radius) {
    ZoneRecord z;
    z.name = name;
    z.kind = Circle;
    z.latitude = lat;
    z.longitude = lon;
    z.radiusMetres = radius;
    return z;
}

TEST(Geometry, DistancesAgreeWithAnIndependentHaversine) {
    EXPECT_NEAR(GreatCircleDistance(0, 0, 1, 0), kMetresPerDegree, 1e-6);
    EXPECT_NEAR(GreatCircleDistance(-45.5, -120, -44.5, -120), kMetresPerDegree, 1e-6);
    // Reference values from the haversine formula on the same sphere.
    EXPECT_NEAR(GreatCircleDistance(55.7558, 37.6173, 59.9343, 30.3351), 633020.8617980712, 1e-3);
    EXPECT_NEAR(GreatCircleDistance(-33.8688, 151.2093, -37.8136, 144.9631), 713428.2466664389,
                1e-3);
    EXPECT_NEAR(GreatCircleDistance(40.7128, -74.006, -22.9068, -43.1729), 7759052.550929714, 1e-3);
    // Across the date line and the equator.
    EXPECT_NEAR(GreatCircleDistance(10, -170, -10, 170), 3137044.481570973, 1e-3);
    EXPECT_DOUBLE_EQ(GreatCircleDistance(-10, 170, 10, -170),
                     GreatCircleDistance(10, -170, -10, 170));
}

TEST(Geometry, IdenticalPointsAreZeroApart) {
    EXPECT_EQ(GreatCircleDistance(55.75, 37.62, 55.75, 37.62), 0.0);
    EXPECT_EQ(GreatCircleDistance(-89.9, -179.9, -89.9, -179.9), 0.0);

    CZoneMap map;
    map.AppendZone(CircleZone("A", -33.5, -70.25, 300));
    EXPECT_EQ(map.FormatDistanceKm(0, -33.5, -70.25), "0.00 \xEA\xEC");
    EXPECT_EQ(map.FormatDistanceKm(0, -32.5, -70.25), "111.20 \xEA\xEC");
    EXPECT_EQ(map.FormatDistanceKm(1, -33.5, -70.25), "---");
}

TEST(Geometry, ClassifyEdgeCountsTheNorthernEndOnly) {
    const ProjectedPoint a{0, 0}, b{10, 10};
    EXPECT_EQ(ClassifyEdge({-5, 5}, a, b), 1);   // west of a rising edge
    EXPECT_EQ(ClassifyEdge({-5, 5}, b, a), 1);   // and of the same edge falling
    EXPECT_EQ(ClassifyEdge({5, -5}, a, b), 2);   // east of it
    EXPECT_EQ(ClassifyEdge({-5, 10}, a, b), 1);  // level with the northern end
    EXPECT_EQ(ClassifyEdge({-5, 0}, a, b), 2);   // level with the southern end
    EXPECT_EQ(ClassifyEdge({5, 5}, a, b), 0);
    EXPECT_EQ(ClassifyEdge({10, 10}, a, b), 0);
    EXPECT_EQ(ClassifyEdge({11, 11}, a, b), 2);            // on the line, past the end
    EXPECT_EQ(ClassifyEdge({-1, 6}, {0, 5}, {10, 5}), 2);  // level edges never count
    EXPECT_EQ(ClassifyEdge({-1, 4}, {0, 5}, {10, 5}), 2);
    EXPECT_EQ(ClassifyEdge({-1, 5}, {0, 5}, {10, 5}), 2);
}

TEST(Geometry, PointAtExactlyTheRadiusIsOutside) {
    // Near the equator one step of latitude moves the distance by about one step of a
    // metre count, so some point lies at a whole number of metres as computed.
    const double centreLat = 0.0, centreLon = -45.0;
    double lat = 0;
    int radius = 0;
    for (int r = 1000; r < 1200 && radius == 0; ++r) {
        double probe = -r / kMetresPerDegree;
        for (int step = 0; step < 4000; ++step) {
            const double d = GreatCircleDistance(centreLat, centreLon, probe, centreLon);
            if (d == r) {
                lat = probe;
                radius = r;
                break;
            }
            probe = std::nextafter(probe, d < r ? -1.0 : 1.0);
        }
    }
    ASSERT_NE(radius, 0) << "no point at a whole number of metres found";

    CZoneMap map;
    map.AppendZone(CircleZone("C", centreLat, centreLon, radius));
    EXPECT_EQ(map.FindZoneAt(lat, centreLon), -1);
    double closer = lat;
    while (GreatCircleDistance(centreLat, centreLon, closer, centreLon) >= radius)
        closer = std::nextafter(closer, 0.0);
    EXPECT_LT(closer - lat, 1e-15);  // a few steps of a double, far below a millimetre
    ASSERT_LT(GreatCircleDistance(centreLat, centreLon, closer, centreLon), radius);
    EXPECT_EQ(map.FindZoneAt(closer, centreLon), 0);
}

TEST(ZonePolygon, EdgesAndVerticesAreInside) {
    const ZonePolygon sq = MakePolygon({{55.0, 37.0}, {55.0, 37.1}, {55.1, 37.1}, {55.1, 37.0}});
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(sq.Contains(sq.vertexLatitudes[i], sq.vertexLongitudes[i])) << "vertex " << i;
    }
    EXPECT_TRUE(sq.Contains(55.0, 37.05));  // southern edge
    EXPECT_TRUE(sq.Contains(55.05, 37.0));  // western edge, the meridian of vertex 1
    EXPECT_TRUE(sq.Contains(55.05, 37.05));
    EXPECT_FALSE(sq.Contains(55.0, 37.2));  // on the southern edge's line, past its end
    EXPECT_FALSE(sq.Contains(54.99, 37.05));
    EXPECT_FALSE(sq.Contains(55.05, 36.99));
    EXPECT_FALSE(sq.Contains(55.05, 37.11));
    EXPECT_FALSE(ZonePolygon{}.Contains(55.0, 37.0));
}

TEST(ZonePolygon, AreaAndCentreInTheSouthWest) {
    // A convex quadrilateral; area (shoelace over the same flat projection) and centre
    // (the usual polygon centroid in degrees) computed separately.
    const ZonePolygon q =
        MakePolygon({{-10.0, -50.0}, {-10.0, -49.9}, {-9.9, -49.85}, {-9.95, -50.02}});
    EXPECT_EQ(q.Area(), 118728782.0);
    const auto [lat, lon] = q.Centroid();
    EXPECT_NEAR(lat, -9.958547008538817, 1e-9);
    EXPECT_NEAR(lon, -49.93615384611213, 1e-9);
    EXPECT_TRUE(q.Contains(lat, lon));
    EXPECT_FALSE(q.Contains(-9.9, -50.02));
    // The projection is anchored at vertex 1.
    EXPECT_EQ(q.northMetres[0], 0.0);
    EXPECT_NEAR(q.northMetres[2], 0.1 * kMetresPerDegree, 1e-6);
}

TEST(ZonePolygon, ShapesWithoutAreaAreCentredOnTheirVertices) {
    const ZonePolygon line = MakePolygon({{10.0, 10.0}, {10.0, 11.0}, {10.0, 12.0}});
    EXPECT_EQ(line.Area(), 0.0);
    EXPECT_EQ(line.Centroid(), std::make_pair(10.0, 11.0));
    EXPECT_TRUE(line.Contains(10.0, 11.5));

    EXPECT_EQ(MakePolygon({{10.0, 20.0}, {12.0, 24.0}}).Centroid(), std::make_pair(11.0, 22.0));
    EXPECT_EQ(MakePolygon({{-7.5, -3.25}}).Centroid(), std::make_pair(-7.5, -3.25));
    EXPECT_EQ(MakePolygon({{5.0, 5.0}, {5.0, 5.0}, {5.0, 5.0}}).Centroid(),
              std::make_pair(5.0, 5.0));
}

TEST(ZonePolygon, GrowingLeavesMissingVerticesAtZero) {
    ZonePolygon p;
    EXPECT_TRUE(p.IsComplete());
    p.SetVertex(3, 1.5, 2.5);
    EXPECT_EQ(p.vertexCount, 3);
    ASSERT_EQ(p.vertexLatitudes.size(), 3u);
    ASSERT_EQ(p.northMetres.size(), 3u);
    EXPECT_FALSE(p.IsComplete());
    p.SetVertex(1, 0.0, 1.0);  // one zero coordinate is a real vertex
    p.SetVertex(2, 1.0, 0.0);
    EXPECT_TRUE(p.IsComplete());
    p.SetVertex(2, 9.0, 9.0);  // later coordinates win
    EXPECT_EQ(p.vertexCount, 3);
    EXPECT_EQ(p.vertexLatitudes[1], 9.0);
    p.SetVertex(0, 4.0, 4.0);  // no vertex number 0
    EXPECT_EQ(p.vertexCount, 3);
}

}  // namespace
