// The spatial index behind FindZoneAt and the ordering of a loaded zone file, each held
// against the plain definition: the first zone in map order whose test accepts a point,
// and the exchange procedure over the file's zones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "zones/Geometry.h"
#include "zones/ZoneMap.h"

namespace {

constexpr double kCentreLat = 56.84;
constexpr double kCentreLon = 60.60;
constexpr double kSpan = 0.4;
constexpr double kPi = 3.141592653589793;

std::string Line(double lat, double lon, const std::string& f5) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "1\t%.6f\t%.6f\t0\t", lat, lon);
    return buffer + f5 + "\r\n";
}

// A city of `count` zones: circles of a few radii (so many areas tie, some names repeat),
// polygons of 4-8 vertices, some repeated a little further north, some circles named
// like a polygon. Vertex lines come shuffled and interleaved with other zones' lines.
std::string CityFile(int count, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> where(-kSpan / 2, kSpan / 2);
    const int radii[] = {150, 300, 300, 450, 800};
    std::string bytes;
    std::vector<std::string> pending;  // vertex lines, written later and out of order
    for (int z = 0; z < count; ++z) {
        const double lat = kCentreLat + where(random);
        const double lon = kCentreLon + where(random);
        const std::string name = " Z" + std::to_string(z);
        if (z % 2 == 0) {
            const int r = radii[random() % 5];
            if (z % 10 == 0)
                bytes += Line(lat, lon, " C" + std::to_string(z % 50));  // names repeat
            else
                bytes += Line(lat, lon, name + " (R" + std::to_string(r) + ")");
            continue;
        }
        const int n = 4 + static_cast<int>(random() % 5);
        const double metres = 100 + static_cast<double>(random() % 350);
        const int copies = z % 7 == 1 ? 2 : 1;
        for (int c = 0; c < copies; ++c) {
            const std::string polygon = c == 0 ? name : name + "b";
            const double shift = c * 0.01;
            for (int k = n; k >= 1; --k) {
                const double angle = 2 * kPi * k / n;
                const double vLat = lat + shift + metres * std::cos(angle) / 111195.0;
                const double vLon = lon + metres * std::sin(angle) / (111195.0 * 0.5475);
                pending.push_back(Line(vLat, vLon, polygon + " (N" + std::to_string(k) + ")"));
            }
        }
        if (pending.size() > 40 || z + 2 >= count) {
            std::shuffle(pending.begin(), pending.end(), random);
            for (const std::string& vertex : pending)
                bytes += vertex;
            pending.clear();
        }
        if (z % 11 == 3)
            bytes += Line(lat, lon, name + " (R300)");  // a circle named like a polygon
    }
    for (const std::string& line : pending)
        bytes += line;
    return bytes;
}

int First(const CZoneMap& map, const std::string& name) {
    for (int i = 0; i < map.ZoneCount(); ++i) {
        if (map.Zone(i).name == name)
            return i;
    }
    return -1;
}

// The answer of the linear scan for a million points, computed zone by zone: every zone,
// in map order, claims the points not yet claimed that its test accepts, among those in
// a box at least twice the zone's size. That is the scan's definition with a filter
// plain enough to check by eye.
std::vector<int> ScanByZones(const CZoneMap& map, const std::vector<std::pair<double, double>>& p) {
    constexpr int kBuckets = 256;
    const double lat0 = kCentreLat - kSpan;
    const double lon0 = kCentreLon - kSpan;
    const double size = 2 * kSpan / kBuckets;
    const auto bucketOf = [&](double v, double origin) {
        return std::clamp(static_cast<int>((v - origin) / size), 0, kBuckets - 1);
    };
    std::vector<std::vector<int>> buckets(kBuckets * kBuckets);
    for (std::size_t k = 0; k < p.size(); ++k)
        buckets[bucketOf(p[k].first, lat0) * kBuckets + bucketOf(p[k].second, lon0)].push_back(
            static_cast<int>(k));

    std::vector<int> answer(p.size(), -1);
    for (int i = 0; i < map.ZoneCount(); ++i) {
        const ZoneRecord& z = map.Zone(i);
        double minLat, maxLat, minLon, maxLon;
        if (z.kind == Circle) {
            const double dLat = 2 * z.radiusMetres / 111000.0;
            const double dLon = 2 * z.radiusMetres / (111000.0 * std::cos(58.0 * kPi / 180));
            minLat = z.latitude - dLat;
            maxLat = z.latitude + dLat;
            minLon = z.longitude - dLon;
            maxLon = z.longitude + dLon;
        } else {
            minLat = maxLat = z.polygon.vertexLatitudes[0];
            minLon = maxLon = z.polygon.vertexLongitudes[0];
            for (int v = 0; v < z.polygon.vertexCount; ++v) {
                minLat = std::min(minLat, z.polygon.vertexLatitudes[v] - 0.001);
                maxLat = std::max(maxLat, z.polygon.vertexLatitudes[v] + 0.001);
                minLon = std::min(minLon, z.polygon.vertexLongitudes[v] - 0.001);
                maxLon = std::max(maxLon, z.polygon.vertexLongitudes[v] + 0.001);
            }
        }
        for (int a = bucketOf(minLat, lat0); a <= bucketOf(maxLat, lat0); ++a) {
            for (int b = bucketOf(minLon, lon0); b <= bucketOf(maxLon, lon0); ++b) {
                for (const int k : buckets[a * kBuckets + b]) {
                    if (answer[k] < 0 && ZoneContains(z, p[k].first, p[k].second))
                        answer[k] = i;
                }
            }
        }
    }
    return answer;
}

TEST(ZoneIndex, AMillionPointsOverTenThousandZonesGetTheScansAnswer) {
    CZoneMap map;
    ASSERT_TRUE(map.LoadFromBytes(CityFile(10000, 5)));
    ASSERT_GT(map.ZoneCount(), 10000);

    std::mt19937 random(11);
    std::uniform_real_distribution<double> where(-kSpan * 0.6, kSpan * 0.6);
    std::vector<std::pair<double, double>> points(1000000);
    for (auto& p : points)
        p = {kCentreLat + where(random), kCentreLon + where(random)};
    // Points on the edges of the tests: centres, vertices, and just beside both.
    for (int i = 0; i < map.ZoneCount(); i += 3) {
        const ZoneRecord& z = map.Zone(i);
        const std::size_t k = static_cast<std::size_t>(i) * 37 % points.size();
        if (z.kind == Polygon) {
            const int v = i % z.polygon.vertexCount;
            const double nudge = (i % 4 - 1.5) * 1e-12;
            points[k] = {z.polygon.vertexLatitudes[v] + nudge, z.polygon.vertexLongitudes[v]};
        } else {
            const double along = z.radiusMetres / 111195.0 * (1 + (i % 5 - 2) * 1e-13);
            points[k] = {z.latitude + (i % 2 == 0 ? along : 0), z.longitude};
        }
    }

    const std::vector<int> expected = ScanByZones(map, points);
    int hits = 0;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const int found = map.FindZoneAt(points[k].first, points[k].second);
        ASSERT_EQ(found, expected[k])
            << "point " << k << " at " << points[k].first << ", " << points[k].second;
        hits += found >= 0 ? 1 : 0;
    }
    EXPECT_GT(hits, 500000);
    EXPECT_LT(hits, 1000000);

    // And the real scan, point by point, for a share of them.
    for (std::size_t k = 0; k < points.size(); k += 1000)
        ASSERT_EQ(map.FindZoneAtByScan(points[k].first, points[k].second), expected[k]) << k;
}

ZoneRecord MakeCircle(const std::string& name, double lat, double lon, int32_t radius) {
    ZoneRecord z;
    z.name = name;
    z.kind = ::Circle;
    z.latitude = lat;
    z.longitude = lon;
    z.radiusMetres = radius;
    const double area = std::trunc(kPi * radius * static_cast<double>(radius));
    z.areaSquareMetres = area >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(area);
    z.unclampedArea = area;
    return z;
}

ZoneRecord MakePolygon(const std::string& name, std::vector<std::pair<double, double>> vertices,
                       bool project) {
    ZoneRecord z;
    z.name = name;
    z.kind = ::Polygon;
    // Not projected: only the vertex lists, so Contains projects on the fly.
    z.polygon.vertexCount = static_cast<int32_t>(vertices.size());
    for (const auto& [lat, lon] : vertices) {
        z.polygon.vertexLatitudes.push_back(lat);
        z.polygon.vertexLongitudes.push_back(lon);
    }
    if (project)
        z.polygon.Project();
    const double area = project ? z.polygon.Area() : 1000;
    z.areaSquareMetres = area >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(area);
    z.unclampedArea = area;
    const auto [lat, lon] = z.polygon.Centroid();
    z.latitude = lat;
    z.longitude = lon;
    return z;
}

// Zones where degrees are awkward: across the date line, given beyond +-180, near a
// pole, huge, without a finite centre, polygons past 180 or not projected, zero radius.
TEST(ZoneIndex, AwkwardZonesAndPointsAgreeWithTheScan) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    CZoneMap map;
    map.AppendZone(MakeCircle("dateline east", 10.0, 179.999, 800));
    map.AppendZone(MakeCircle("dateline west", -10.0, -179.9995, 5000));
    map.AppendZone(MakeCircle("given as 359.99", 20.0, 359.99, 3000));
    map.AppendZone(MakeCircle("given as -540", 0.5, -540.0, 3000));
    map.AppendZone(MakeCircle("near the pole", 89.6, 12.0, 30000));
    map.AppendZone(MakeCircle("far north", 88.0, -100.0, 200000));
    map.AppendZone(MakeCircle("largest", -30.0, 140.0, 1000000));
    map.AppendZone(MakeCircle("radius zero", 1.0, 1.0, 0));
    map.AppendZone(MakeCircle("tiny", 1.0, 1.0, 1));
    map.AppendZone(MakeCircle("no number", nan, 3.0, 100));
    map.AppendZone(MakePolygon("past 180", {{5.0, 179.9}, {5.2, 180.3}, {5.4, 179.95}}, true));
    map.AppendZone(
        MakePolygon("hemispheres", {{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}}, true));
    map.AppendZone(MakePolygon("wide", {{40.0, -20.0}, {70.0, 10.0}, {45.0, 60.0}}, true));
    map.AppendZone(MakePolygon("raw", {{-45.0, 170.0}, {-44.0, 171.0}, {-45.5, 172.0}}, false));
    map.AppendZone(
        MakePolygon("bow tie", {{30.0, 30.0}, {30.1, 30.1}, {30.0, 30.1}, {30.1, 30.0}}, true));
    map.AppendZone(MakePolygon("polar", {{85.0, 0.0}, {86.0, 120.0}, {87.0, -120.0}}, true));
    map.AppendZone(MakeCircle("infinite centre", inf, 0.0, 900000));
    map.AppendZone(MakeCircle("given as 20000.5", -60.0, 20000.5, 50000));
    map.SortByArea();

    std::vector<std::pair<double, double>> points;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < 100000; ++k)
        points.push_back({90.0 * unit(random), 180.0 * unit(random)});
    // Around every zone, from well outside to its very edge.
    for (const ZoneRecord& z : map.Zones()) {
        const double lat = std::isfinite(z.latitude) ? z.latitude : 0.0;
        const double lon = std::isfinite(z.longitude) ? z.longitude : 0.0;
        const double reach = z.kind == ::Circle ? std::max(1, z.radiusMetres) / 111195.0 : 2.0;
        for (int k = 0; k < 4000; ++k) {
            const double scale = reach * std::pow(10.0, -6.0 * std::fabs(unit(random)));
            points.push_back(
                {std::clamp(lat + 1.5 * scale * unit(random), -90.0, 90.0),
                 lon + 1.5 * scale * unit(random) / std::max(0.05, std::cos(lat * kPi / 180))});
        }
        for (int v = 0; v < z.polygon.vertexCount; ++v)
            points.push_back({z.polygon.vertexLatitudes[v], z.polygon.vertexLongitudes[v]});
    }
    for (const double lon : {-180.0, 180.0, 200.0, -540.0, 359.99, nan, inf})
        points.push_back({20.0, lon});
    points.push_back({95.0, 0.0});
    points.push_back({nan, 1.0});
    points.push_back({-90.0, 0.0});
    points.push_back({90.0, 0.0});

    for (const auto& [lat, lon] : points) {
        ASSERT_EQ(map.FindZoneAt(lat, lon), map.FindZoneAtByScan(lat, lon)) << lat << ", " << lon;
    }
    // The awkward ones were met, not just passed by.
    EXPECT_EQ(map.FindZoneAt(10.0, -179.9995), First(map, "dateline east"));
    EXPECT_EQ(map.FindZoneAt(20.0, -0.01), First(map, "given as 359.99"));
    EXPECT_EQ(map.FindZoneAt(0.5, 179.99), First(map, "given as -540"));
    EXPECT_EQ(map.FindZoneAt(5.2, 180.2), map.FindZoneAtByScan(5.2, 180.2));
    EXPECT_EQ(map.FindZoneAt(-44.9, 171.0), First(map, "raw"));
    EXPECT_EQ(map.FindZoneAt(89.8, 12.0), First(map, "near the pole"));
    EXPECT_EQ(map.FindZoneAt(-60.1, -159.5), First(map, "given as 20000.5"));
    EXPECT_EQ(map.FindZoneAt(1.0, 1.0), First(map, "tiny"));
    // A coordinate that is not a number puts nothing in a circle, either way round.
    EXPECT_EQ(map.FindZoneAt(nan, 1.0), -1);
    EXPECT_EQ(map.FindZoneAt(-25.0, 145.0), First(map, "largest"));
}

// Only the first zone of a name is found, in map order, after the area sort as well.
TEST(ZoneIndex, NamesFindTheFirstZoneInMapOrder) {
    CZoneMap map;
    ASSERT_TRUE(map.LoadFromBytes(CityFile(3000, 9)));
    for (int i = 0; i < map.ZoneCount(); ++i)
        ASSERT_EQ(map.FindZoneByName(map.Zone(i).name), First(map, map.Zone(i).name)) << i;
    EXPECT_EQ(map.FindZoneByName("Z999999"), -1);
    EXPECT_EQ(map.FindZoneByName(""), First(map, ""));
}

// The loaded order is the one the exchange procedure gives over the file's zones, ties
// included: the zones are read by hand (AddEntry, polygons completed as Load does) and
// ordered by the procedure itself, then compared with what Load produced.
TEST(ZoneIndex, LoadOrdersZonesAsTheExchangeProcedure) {
    for (const uint32_t seed : {1u, 2u, 3u}) {
        const std::string bytes = CityFile(seed == 1 ? 2000 : 600, seed);
        CZoneMap loaded;
        ASSERT_TRUE(loaded.LoadFromBytes(bytes));

        CZoneMap raw;
        std::string line;
        for (const char c : bytes) {
            if (c == '\r') {
                ASSERT_TRUE(raw.ParseLine(line));
                line.clear();
            } else if (c != '\n') {
                line += c;
            }
        }
        std::vector<ZoneRecord> zones = raw.Zones();
        for (ZoneRecord& z : zones) {
            if (z.kind != ::Polygon)
                continue;
            z.polygon.Project();
            z.areaSquareMetres = static_cast<int32_t>(z.polygon.Area());
        }
        for (std::size_t v = 0; v < zones.size(); ++v) {
            for (std::size_t i = v; i < zones.size(); ++i) {
                if (zones[i].areaSquareMetres < zones[v].areaSquareMetres)
                    std::swap(zones[v], zones[i]);
            }
        }

        ASSERT_EQ(loaded.ZoneCount(), static_cast<int>(zones.size()));
        int ties = 0;
        for (std::size_t i = 0; i < zones.size(); ++i) {
            ASSERT_EQ(loaded.Zone(static_cast<int>(i)).name, zones[i].name)
                << "seed " << seed << " position " << i;
            ASSERT_EQ(loaded.Zone(static_cast<int>(i)).polygon.vertexLatitudes,
                      zones[i].polygon.vertexLatitudes);
            ASSERT_EQ(loaded.Zone(static_cast<int>(i)).areaSquareMetres, zones[i].areaSquareMetres);
            ties += i > 0 && zones[i].areaSquareMetres == zones[i - 1].areaSquareMetres ? 1 : 0;
        }
        EXPECT_GT(ties, 100);  // the procedure's unstable handling of ties was exercised
    }
}

// Zones beyond the 32-bit area field keep the largest field value yet still nest: the
// smaller of two such circles comes first and holds the points they share.
TEST(ZoneIndex, ZonesAboveTheAreaLimitStillNest) {
    const std::string bytes =
        Line(10.0, 20.0, " Region (R900000)") + Line(10.0, 20.0, " Province (R60000)") +
        Line(10.0, 20.0, " District (R30000)") + Line(10.0, 20.0, " City (R20000)");
    CZoneMap map;
    ASSERT_TRUE(map.LoadFromBytes(bytes));
    ASSERT_EQ(map.ZoneCount(), 4);
    EXPECT_EQ(map.Zone(0).name, "City");
    EXPECT_EQ(map.Zone(1).name, "District");
    EXPECT_EQ(map.Zone(2).name, "Province");
    EXPECT_EQ(map.Zone(3).name, "Region");
    EXPECT_EQ(map.Zone(0).areaSquareMetres, 1256637061);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(map.Zone(i).areaSquareMetres, 2147483647);  // the field as written
    EXPECT_EQ(map.FindZoneAt(10.0, 20.0), 0);
    EXPECT_EQ(map.FindZoneAt(10.25, 20.0), 1);  // 27.8 km north: in District, not City
    EXPECT_EQ(map.FindZoneAt(10.5, 20.0), 2);
    EXPECT_EQ(map.FindZoneAt(15.0, 20.0), 3);
    EXPECT_EQ(map.FindZoneAt(20.0, 20.0), -1);
}

// A map changed by hand after its index was built answers by the scan, not from a stale
// index.
TEST(ZoneIndex, MapChangedAfterSortingIsNotAnsweredFromAStaleIndex) {
    CZoneMap map;
    map.AppendZone(MakeCircle("A", 50.0, 30.0, 500));
    map.SortByArea();
    EXPECT_EQ(map.FindZoneAt(50.0, 30.0), 0);
    EXPECT_EQ(map.FindZoneAt(51.0, 30.0), -1);
    map.AppendZone(MakeCircle("B", 51.0, 30.0, 500));
    EXPECT_EQ(map.FindZoneAt(51.0, 30.0), 1);
    EXPECT_EQ(map.FindZoneByName("B"), 1);
    map.AddEntry("52.0", "30.0", " C (R500)");
    EXPECT_EQ(map.FindZoneAt(52.0, 30.0), 2);
    map.Clear();
    EXPECT_EQ(map.FindZoneAt(50.0, 30.0), -1);
    EXPECT_EQ(map.FindZoneByName("A"), -1);
}

// Circles whose boxes in degrees are exactly one cell wide and start at a cell boundary,
// for several cell sizes, across both hemispheres: after rounding such a box reaches
// into three columns, and the middle one must know it as well as the two edges. The
// aim uses the index's own padding of a circle's box (one part in 1e9 and 1e-7 degrees); a small
// sweep around the aim meets the exact alignment.
TEST(ZoneIndex, BoxesAlignedToCellBoundariesAgreeWithTheScan) {
    using Geometry::kDegToRad;
    using Geometry::kEarthRadiusMetres;
    const double padRelative = 1e-9;
    const double padDegrees = 1e-7;
    int compared = 0;
    for (const int32_t radius : {1, 40, 450, 5000, 120000}) {
        for (const double lat : {0.0, 33.3, 56.84, -61.5}) {
            const double angle = radius / kEarthRadiusMetres;
            const double q = std::sin(angle) * (1 + padRelative) / std::cos(lat * kDegToRad);
            const double halfWidth = std::asin(q) / kDegToRad * (1 + padRelative) + padDegrees;
            const double columns = std::floor(360.0 / (2 * halfWidth));
            for (int k = 1; k <= 60; ++k) {
                // The box's west edge on a boundary between cells, spread over the globe.
                // The box's width is that of the rounded edges around the centre, so the aim
                // is taken again with it.
                const double cell = std::floor(columns * k / 61);
                double centre = cell * 2 * halfWidth - 180.0 + halfWidth;
                for (int again = 0; again < 3; ++again)
                    centre =
                        cell * ((centre + halfWidth) - (centre - halfWidth)) - 180.0 + halfWidth;
                for (int step = 0; step < 24; ++step)
                    centre = std::nextafter(centre, -1000.0);
                for (int step = 0; step < 48; ++step, centre = std::nextafter(centre, 1000.0)) {
                    CZoneMap map;
                    map.AppendZone(MakeCircle("C", lat, centre, radius));
                    map.SortByArea();
                    for (const double along : {-0.999, -0.5, -1e-9, 0.0, 1e-9, 0.5, 0.999}) {
                        const double lon = centre + along * halfWidth;
                        for (const double north : {0.0, 0.5}) {
                            const double pLat = lat + north * angle / kDegToRad;
                            ASSERT_EQ(map.FindZoneAt(pLat, lon), map.FindZoneAtByScan(pLat, lon))
                                << "radius " << radius << " at " << lat << ", " << centre
                                << " point " << pLat << ", " << lon;
                            ++compared;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 10000);
}

}  // namespace
