// The GPX export: the document as GPX 1.1 describes it, byte for byte; names in UTF-8 and
// escaped; times in UTC; written whole or not at all.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ConsoleTestSupport.h"
#include "base/Cp1251.h"
#include "persist/GpxWriter.h"

using consoletest::Exists;
using consoletest::ReadFile;
using consoletest::TempFolder;
using consoletest::WriteFile;

namespace {

TrackPoint At(double latitude, double longitude, DateTime utc, double speedKmh,
              std::string zone = {}) {
    TrackPoint p;
    p.objectNumber = 12;
    p.messageTime = utc;
    p.receiveTime = utc.AddMinutes(300);
    p.latitude = latitude;
    p.longitude = longitude;
    p.speedKmh = speedKmh;
    p.computedSpeedKmh = 99;
    p.zoneName = std::move(zone);
    return p;
}

}  // namespace

TEST(GpxWriterTest, DocumentIsGpx11WithOneTrackPerVehicle) {
    CGpxWriter gpx;
    const DateTime nine = DateTime::FromCalendar(2026, 12, 6, 9, 0, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    gpx.AddTrack(12, W("Газель & <Ко>"),
                 {At(56.83825, 60.60572, nine, 36, W("Склад №1")),
                  At(-33.8688, -151.2093, nine.AddDays(10.25 / 86400), 0),
                  At(-90, 180, nine.AddMinutes(3), 1.8),
                  // No coordinates GPX can carry: left out.
                  At(nan, 60.6, nine.AddMinutes(1), 10), At(91, 60.6, nine.AddMinutes(2), 10)});
    gpx.AddTrack(7, "", {});
    // The reported speed in km/h in the description, in m/s (36 km/h = 10 m/s) in the
    // extension; the computed speed and the receive time are not exported.
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Sentrel\" xmlns=\"http://www.topografix.com/GPX/1/1\""
        " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
        "  <trk>\n"
        "    <name>12 Газель &amp; &lt;Ко&gt;</name>\n"
        "    <number>12</number>\n"
        "    <trkseg>\n"
        "      <trkpt lat=\"56.8382500\" lon=\"60.6057200\">\n"
        "        <time>2026-12-06T09:00:00Z</time>\n"
        "        <desc>36.0 км/ч, Склад №1</desc>\n"
        "        <extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>10.000</gpxtpx:speed>"
        "</gpxtpx:TrackPointExtension></extensions>\n"
        "      </trkpt>\n"
        "      <trkpt lat=\"-33.8688000\" lon=\"-151.2093000\">\n"
        "        <time>2026-12-06T09:00:10.250Z</time>\n"
        "        <desc>0.0 км/ч</desc>\n"
        "        <extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>0.000</gpxtpx:speed>"
        "</gpxtpx:TrackPointExtension></extensions>\n"
        "      </trkpt>\n"
        "      <trkpt lat=\"-90.0000000\" lon=\"-180.0000000\">\n"
        "        <time>2026-12-06T09:03:00Z</time>\n"
        "        <desc>1.8 км/ч</desc>\n"
        "        <extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>0.500</gpxtpx:speed>"
        "</gpxtpx:TrackPointExtension></extensions>\n"
        "      </trkpt>\n"
        "    </trkseg>\n"
        "  </trk>\n"
        "  <trk>\n"
        "    <name>7</name>\n"
        "    <number>7</number>\n"
        "    <trkseg>\n"
        "    </trkseg>\n"
        "  </trk>\n"
        "</gpx>\n";
    EXPECT_EQ(gpx.Text(), expected);
}

TEST(GpxWriterTest, TextsAreEscapedAndTimesAreUtcIso8601) {
    // Control characters have no place in XML 1.0; a tab passes.
    EXPECT_EQ(CGpxWriter::Escape("a&b<c>d\"e'f\x01g\th\x1f"),
              "a&amp;b&lt;c&gt;d&quot;e&apos;f?g\th?");
    EXPECT_EQ(CGpxWriter::IsoUtc(DateTime::FromCalendar(1969, 12, 31, 23, 59, 59)),
              "1969-12-31T23:59:59Z");
    EXPECT_EQ(CGpxWriter::IsoUtc(DateTime::FromCalendar(2024, 2, 29, 23, 59, 59)),
              "2024-02-29T23:59:59Z");
    // Milliseconds when there are any; a hair below a whole second is that second.
    EXPECT_EQ(CGpxWriter::IsoUtc(DateTime::FromCalendar(2100, 3, 1).AddDays(0.999 / 86400)),
              "2100-03-01T00:00:00.999Z");
    EXPECT_EQ(CGpxWriter::IsoUtc(DateTime::FromCalendar(2027, 1, 1).AddDays(-1e-10)),
              "2027-01-01T00:00:00Z");
}

TEST(GpxWriterTest, SaveReplacesTheFileWholeOrLeavesItAlone) {
    TempFolder dir;
    CGpxWriter gpx;
    gpx.AddTrack(12, W("Газель"),
                 {At(56.8, 60.6, DateTime::FromCalendar(2026, 12, 6, 9, 0, 0), 40)});
    // (A Cyrillic file name: the track tests, where the test's own reads take UTF-8.)
    const std::string path = dir.path() + "/route 12.gpx";
    WriteFile(path, "old");
    std::string problem = "x";
    ASSERT_TRUE(gpx.Save(path, problem));
    EXPECT_TRUE(problem.empty());
    EXPECT_TRUE(ReadFile(path) == gpx.Text());

    const std::string nowhere = dir.path() + "/missing/route.gpx";
    EXPECT_FALSE(gpx.Save(nowhere, problem));
    EXPECT_EQ(problem, W("Не удалось записать файл ") + nowhere);
    EXPECT_FALSE(Exists(nowhere));
}
