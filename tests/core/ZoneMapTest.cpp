#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "MakeTempFolder.h"
#include "zones/Geometry.h"
#include "zones/ZoneMap.h"

namespace {

constexpr int32_t kIntMax = 2147483647;

// One zone-file line: F1, latitude, longitude, F4, name field, CR LF.
std::string Line(const std::string& lat, const std::string& lon, const std::string& f5) {
    return "7\t" + lat + "\t" + lon + "\t0\t" + f5 + "\r\n";
}

TEST(ZoneMap, RadiusSuffixes) {
    CZoneMap map;
    map.AddEntry("55.5", "37.5", " Depot (R500)");
    map.AddEntry("1", "2", " Zero (R0)");
    map.AddEntry("1", "2", " Huge (R2000000)");
    map.AddEntry("1", "2", " Max (r1000000)");
    map.AddEntry("1", "2", " Edge (R26145)");
    map.AddEntry("1", "2", " Over (R26146)");
    map.AddEntry("1", "2", " Other (X500)");
    map.AddEntry("1", "2", " Plain");
    map.AddEntry("1", "2", " Open (R500");
    map.AddEntry("1", "2", " Empty (R)");
    ASSERT_EQ(map.ZoneCount(), 10);

    const auto expect = [&](int i, const char* name, int32_t radius, int32_t area) {
        SCOPED_TRACE(name);
        EXPECT_EQ(map.Zone(i).name, name);
        EXPECT_EQ(map.Zone(i).kind, Circle);
        EXPECT_EQ(map.Zone(i).radiusMetres, radius);
        EXPECT_EQ(map.Zone(i).areaSquareMetres, area);
        EXPECT_EQ(map.Zone(i).polygon.vertexCount, 0);
    };
    expect(0, "Depot", 500, 785398);
    expect(1, "Zero", 300, 282743);
    expect(2, "Huge", 300, 282743);
    // Areas beyond 32 bits keep the largest value rather than wrapping.
    expect(3, "Max", 1000000, kIntMax);
    expect(4, "Edge", 26145, 2147470294);
    expect(5, "Over", 26146, kIntMax);
    expect(6, "Other", 300, 282743);
    expect(7, "Plain", 300, 282743);
    expect(8, "Open", 300, 282743);
    expect(9, "Empty", 300, 282743);
    EXPECT_EQ(map.Zone(0).latitude, 55.5);
    EXPECT_EQ(map.Zone(0).longitude, 37.5);
}

TEST(ZoneMap, NameIsCutAtTheLastParenthesis) {
    CZoneMap map;
    map.AddEntry("1", "1", " AB(N3)");
    map.AddEntry("1", "1", " AB (N2)");
    map.AddEntry("1", "1", "AB(N1)");
    map.AddEntry("1", "1", " A(b) (R7)");
    map.AddEntry("1", "1", " two  (R7)");  // only one space goes
    map.AddEntry("1", "1", "(R9)");
    map.AddEntry("1", "1", "x");
    ASSERT_EQ(map.ZoneCount(), 6);
    EXPECT_EQ(map.Zone(0).name, "AB");
    EXPECT_EQ(map.Zone(0).kind, Polygon);
    EXPECT_EQ(map.Zone(0).polygon.vertexCount, 3);  // N2 joined the same zone
    EXPECT_EQ(map.Zone(1).name, "B");
    EXPECT_EQ(map.Zone(2).name, "A(b)");
    EXPECT_EQ(map.Zone(3).name, "two ");
    EXPECT_EQ(map.Zone(4).name, "");
    EXPECT_EQ(map.Zone(4).radiusMetres, 9);
    EXPECT_EQ(map.Zone(5).name, "");
}

TEST(ZoneMap, BadVertexNumbersBecomeCirclesNamedByTheWholeField) {
    CZoneMap map;
    map.AddEntry("3", "4", " Yard (N0)");
    map.AddEntry("3", "4", " Yard (N1001)");
    map.AddEntry("3", "4", " Yard (N1000)");
    ASSERT_EQ(map.ZoneCount(), 3);
    EXPECT_EQ(map.Zone(0).name, " Yard (N0)");
    EXPECT_EQ(map.Zone(0).kind, Circle);
    EXPECT_EQ(map.Zone(0).radiusMetres, 300);
    EXPECT_EQ(map.Zone(0).areaSquareMetres, 282743);
    EXPECT_EQ(map.Zone(1).name, " Yard (N1001)");
    EXPECT_EQ(map.Zone(2).name, "Yard");
    EXPECT_EQ(map.Zone(2).polygon.vertexCount, 1000);
}

TEST(ZoneMap, InterleavedPolygonLines) {
    const std::string file = Line("55.1", "37.0", " Yard (N3)") +   //
                             Line("50.0", "30.0", " Far (R100)") +  //
                             Line("55.0", "37.0", " Yard (N1)") +   //
                             "\r\n" +                               // empty lines are skipped
                             Line("55,75", "-37.5", " Comma") +     //
                             Line("55.0", "37.1", " Yard (N2)") +   //
                             Line("0", "0", " Depot (R500)");
    CZoneMap map;
    ASSERT_TRUE(map.LoadFromBytes(file));
    ASSERT_EQ(map.ZoneCount(), 4);
    // Ascending area: Far 31415, Comma 282743, Depot 785398, Yard about 40 km^2.
    EXPECT_EQ(map.Zone(0).name, "Far");
    EXPECT_EQ(map.Zone(1).name, "Comma");
    EXPECT_EQ(map.Zone(1).latitude, 55.0);  // a decimal comma ends the number
    EXPECT_EQ(map.Zone(1).longitude, -37.5);
    EXPECT_EQ(map.Zone(2).name, "Depot");
    const ZoneRecord& yard = map.Zone(3);
    EXPECT_EQ(yard.name, "Yard");
    EXPECT_EQ(yard.kind, Polygon);
    EXPECT_EQ(yard.radiusMetres, 0);
    ASSERT_EQ(yard.polygon.vertexCount, 3);
    EXPECT_EQ(yard.polygon.vertexLatitudes, (std::vector<double>{55.0, 55.0, 55.1}));
    EXPECT_EQ(yard.polygon.vertexLongitudes, (std::vector<double>{37.0, 37.1, 37.0}));
    // Half of 0.1 degree north by 0.1 degree east at cos(55 deg), the latitude of the
    // southern edge.
    EXPECT_EQ(yard.areaSquareMetres, 35459465);
    // The centre of a triangle is the mean of its corners.
    EXPECT_NEAR(yard.latitude, 55.0333333333333, 1e-9);
    EXPECT_NEAR(yard.longitude, 37.0333333333333, 1e-9);
    EXPECT_EQ(map.FindZoneAt(yard.latitude, yard.longitude), 3);
    EXPECT_EQ(map.FindZoneAt(55.0, 37.05), 3);  // on the southern edge
}

TEST(ZoneMap, RejectedFiles) {
    CZoneMap map;
    const std::string ok = Line("55", "37", " A");
    EXPECT_TRUE(map.LoadFromBytes(ok));
    EXPECT_FALSE(map.LoadFromBytes(""));
    EXPECT_FALSE(map.LoadFromBytes("\r\n\r\r"));
    EXPECT_FALSE(map.LoadFromBytes("7\t55\t37\t0\t A\n7\t56\t38\t0\t B\n"));  // LF only
    EXPECT_FALSE(map.LoadFromBytes(ok + "7\t55\t37\t A\r\n"));                // three TABs
    EXPECT_FALSE(map.LoadFromBytes(ok + "ab\r\n"));
    EXPECT_FALSE(map.LoadFromBytes("7\t55\t37\t0\t A"));  // a line without its CR
    EXPECT_FALSE(map.LoadFromBytes(Line("55", "37", " P (N1)") + Line("55", "38", " P (N2)") +
                                   Line("56", "38", " P (N4)")));  // vertex 3 missing
    EXPECT_FALSE(map.LoadFromBytes(Line("55", "37", " P (N1)") + Line("0", "0", " P (N2)") +
                                   Line("56", "38", " P (N3)")));  // a vertex at (0, 0)

    // Four TABs in four bytes is a line: an unnamed 300 m circle at (0, 0).
    ASSERT_TRUE(map.LoadFromBytes("\t\t\t\t\r"));
    EXPECT_EQ(map.ZoneCount(), 1);
    EXPECT_EQ(map.Zone(0).radiusMetres, 300);
}

TEST(ZoneMap, LineEnds) {
    CZoneMap map;
    // Bare CR ends a line as CR LF does; LF anywhere is dropped; the tail after the
    // last CR is lost.
    ASSERT_TRUE(map.LoadFromBytes("7\t55\t37\t0\t A\r7\t5\n6\t38\t0\t B\r\n7\t57\t39\t0\t C"));
    ASSERT_EQ(map.ZoneCount(), 2);
    EXPECT_EQ(map.Zone(0).name, "A");
    EXPECT_EQ(map.Zone(1).name, "B");
    EXPECT_EQ(map.Zone(1).latitude, 56.0);
    EXPECT_EQ(map.FindZoneByName("C"), -1);
}

TEST(ZoneMap, EqualAreasKeepTheExchangeOrder) {
    // Areas 502654, 282743, 282743, 31415 in file order. The exchange procedure leaves
    // the two 300 m circles in reverse file order: D, C, B, A.
    CZoneMap map;
    ASSERT_TRUE(map.LoadFromBytes(Line("1", "1", " A (R400)") + Line("1", "1", " B") +
                                  Line("1", "1", " C") + Line("1", "1", " D (R100)")));
    ASSERT_EQ(map.ZoneCount(), 4);
    EXPECT_EQ(map.Zone(0).name, "D");
    EXPECT_EQ(map.Zone(1).name, "C");
    EXPECT_EQ(map.Zone(2).name, "B");
    EXPECT_EQ(map.Zone(3).name, "A");
}

TEST(ZoneMap, SmallestNestedZoneWins) {
    // A 2 x 2 degree square (far above 2^31 m^2), a 20 km circle and a 300 m circle, the
    // biggest first in the file.
    const std::string file = Line("54", "36", " Region (N1)") + Line("54", "38", " Region (N2)") +
                             Line("56", "38", " Region (N3)") + Line("56", "36", " Region (N4)") +
                             Line("55", "37", " City (R20000)") + Line("55", "37", " Depot");
    CZoneMap map;
    ASSERT_TRUE(map.LoadFromBytes(file));
    ASSERT_EQ(map.ZoneCount(), 3);
    EXPECT_EQ(map.Zone(0).name, "Depot");
    EXPECT_EQ(map.Zone(1).name, "City");
    EXPECT_EQ(map.Zone(1).areaSquareMetres, 1256637061);
    EXPECT_EQ(map.Zone(2).name, "Region");
    EXPECT_EQ(map.Zone(2).areaSquareMetres, kIntMax);
    EXPECT_EQ(map.FindZoneAt(55.0, 37.0), 0);
    EXPECT_EQ(map.FindZoneAt(55.1, 37.0), 1);  // 11 km north
    EXPECT_EQ(map.FindZoneAt(55.5, 37.5), 2);
    EXPECT_EQ(map.FindZoneAt(54.0, 37.0), 2);  // on the southern edge
    EXPECT_EQ(map.FindZoneAt(53.9, 37.0), -1);
    EXPECT_EQ(map.FindZoneAt(-55.0, -37.0), -1);
}

TEST(ZoneMap, LoadReadsTheFile) {
    const std::string folder = MakeTempFolder("sentrel-zones");
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "/maps.mrk";
    {
        std::ofstream out(path, std::ios::binary);
        out << Line("55", "37", " \xD1\xEA\xEB\xE0\xE4 (R250)");  // "Склад"
    }
    CZoneMap map;
    EXPECT_TRUE(map.Load(path));
    ASSERT_EQ(map.ZoneCount(), 1);
    EXPECT_EQ(map.Zone(0).name, "\xD1\xEA\xEB\xE0\xE4");
    EXPECT_EQ(map.Zone(0).radiusMetres, 250);
    EXPECT_FALSE(map.Load(path + ".missing"));
    EXPECT_EQ(map.ZoneCount(), 0);
    std::filesystem::remove_all(folder);
}

// Random and truncated files must give false or a usable map, never a crash; run under
// AddressSanitizer this also catches any read past a buffer.
TEST(ZoneMap, RandomAndTruncatedFilesAreSafe) {
    const auto checkUsable = [](const CZoneMap& map) {
        for (int i = 0; i < map.ZoneCount(); ++i) {
            const ZoneRecord& z = map.Zone(i);
            ASSERT_GE(z.areaSquareMetres, 0);
            if (i > 0) {
                ASSERT_GE(z.areaSquareMetres, map.Zone(i - 1).areaSquareMetres);
            }
            if (z.kind == Polygon) {
                ASSERT_GE(z.polygon.vertexCount, 1);
                ASSERT_TRUE(z.polygon.IsComplete());
                ASSERT_EQ(z.polygon.northMetres.size(), std::size_t(z.polygon.vertexCount));
            }
            map.FindZoneAt(z.latitude, z.longitude);
            map.FormatDistanceKm(i, 1.0, 2.0);
        }
    };

    const std::string valid =
        Line("55.1", "37.0", " Yard (N3)") + Line("55.0", "37.0", " Yard (N1)") +
        Line("55.0", "37.1", " Yard (N2)") + Line("54", "36", " Dep\xEE (R2500)") +
        Line("1e400", "-1e400", " Inf (N1)") + Line("-5", "nan", " Odd (r-4)");
    CZoneMap map;
    ASSERT_TRUE(map.LoadFromBytes(valid));
    for (std::size_t n = 0; n <= valid.size(); ++n) {
        SCOPED_TRACE(n);
        if (map.LoadFromBytes(valid.substr(0, n)))
            checkUsable(map);
    }

    std::mt19937 rng(20240611);
    const auto pick = [&](const std::vector<std::string>& from) {
        return from[rng() % from.size()];
    };
    const std::string alphabet = "\t\t\t\t\r\r\n()()NnRr 0123456789-.,+e";
    const std::vector<std::string> numbers = {"55", "-37.5", "0", "1e400", "", " 12,5", "-", "."};
    const std::vector<std::string> fields = {
        " P (N1)", " P (N2)",  " P(N3)", " Q (n2)", " Q (N1)",   " C (R0)", " C (R", "(",
        ")",       " x (N-1)", "(N1)",   " P",      " (R99999)", "",        "\t("};
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        switch (round % 3) {
            case 0:  // noise, biased toward the bytes that matter to the reader
                bytes.resize(rng() % 300);
                for (char& c : bytes) {
                    c = rng() % 4 == 0 ? static_cast<char>(rng() % 256)
                                       : alphabet[rng() % alphabet.size()];
                }
                break;
            case 1:  // the valid file with a few bytes changed, added or dropped
                bytes = valid;
                for (int edits = 1 + static_cast<int>(rng() % 4); edits > 0; --edits) {
                    const std::size_t at = rng() % (bytes.size() + 1);
                    const char c = static_cast<char>(rng() % 256);
                    if (rng() % 3 == 0 && at < bytes.size()) {
                        bytes[at] = c;
                    } else if (rng() % 2 == 0) {
                        bytes.insert(at, 1, c);
                    } else if (at < bytes.size()) {
                        bytes.erase(at, 1);
                    }
                }
                break;
            default:  // well-formed lines with odd values
                for (int n = static_cast<int>(rng() % 8); n > 0; --n) {
                    bytes += Line(pick(numbers), pick(numbers), pick(fields));
                }
                break;
        }
        SCOPED_TRACE(round);
        if (map.LoadFromBytes(bytes)) {
            ++accepted;
            checkUsable(map);
        }
    }
    EXPECT_GT(accepted, 300);  // the rounds reach the code past a successful read
}

}  // namespace
