// Reading routes back: the query's order and bounds, a store that is missing, damaged or
// being written, and the GPX export read by a parser of its own (Python's).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "ConsoleTestSupport.h"
#include "SqliteTrackReader.h"
#include "SqliteTrackStore.h"
#include "TrackDbReader.h"
#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "persist/GpxWriter.h"

using namespace trackstest;
using consoletest::Exists;
using consoletest::ReadFile;
using consoletest::TempFolder;
using consoletest::WriteFile;

namespace {

DateTime Utc(int hour, int minute, int second = 0, int ms = 0) {
    return DateTime::FromCalendar(2026, 12, 6, hour, minute, second).AddDays(ms / 86400000.0);
}

TrackPoint Point(int32_t object, DateTime messageTime, double latitude = 56.8,
                 std::string zone = {}) {
    TrackPoint p;
    p.objectNumber = object;
    p.messageTime = messageTime;
    p.receiveTime = messageTime.AddMinutes(300);
    p.latitude = latitude;
    p.longitude = 60.6;
    p.speedKmh = 47.5;
    p.computedSpeedKmh = 45;
    p.zoneName = std::move(zone);
    return p;
}

// "time latitude zone" per point.
std::vector<std::string> Texts(const TrackSource::Read& read) {
    EXPECT_TRUE(read.problem.empty()) << Cp1251::ToUtf8(read.problem);
    std::vector<std::string> texts;
    for (const TrackPoint& p : read.points)
        texts.push_back(CGpxWriter::IsoUtc(p.messageTime) + TextUtil::Format(" %g ", p.latitude) +
                        Cp1251::ToUtf8(p.zoneName));
    return texts;
}

class TrackReadTest : public testing::Test {
protected:
    TempFolder dir;
    std::string path = dir.path() + "/SntTracks.db";
    CSqliteTrackReader reader{path};
};

}  // namespace

// In message time order (then receive time) whatever order the commits brought them in;
// the period is fromUtc <= t < toUtc to the millisecond; only the vehicle asked for.
TEST_F(TrackReadTest, OneVehiclesPointsOfThePeriodInTimeOrder) {
    CSqliteTrackStore store(path);
    TrackPoint late = Point(12, Utc(10, 1), 56.9);
    late.receiveTime = late.receiveTime.AddMinutes(1);
    ASSERT_TRUE(store.Append({Point(12, Utc(10, 0)), Point(12, Utc(10, 2)), late}).ok);
    ASSERT_TRUE(store
                    .Append({Point(12, Utc(10, 1, 59, 999), 56.7, W("Склад №1")),
                             Point(12, Utc(9, 59, 59, 999)), Point(12, Utc(10, 1), 56.1),
                             Point(7, Utc(10, 0, 30)), Point(13, Utc(10, 1, 30))})
                    .ok);

    const TrackSource::Read read = reader.Points(12, Utc(10, 0), Utc(10, 2));
    EXPECT_EQ(Texts(read),
              (std::vector<std::string>{"2026-12-06T10:00:00Z 56.8 ", "2026-12-06T10:01:00Z 56.1 ",
                                        "2026-12-06T10:01:00Z 56.9 ",
                                        "2026-12-06T10:01:59.999Z 56.7 Склад №1"}));
    ASSERT_EQ(read.points.size(), 4u);
    const TrackPoint& p = read.points[3];
    EXPECT_EQ(p.objectNumber, 12);
    EXPECT_EQ(CGpxWriter::IsoUtc(p.receiveTime), "2026-12-06T15:01:59.999Z");
    EXPECT_EQ(p.longitude, 60.6);
    EXPECT_EQ(p.speedKmh, 47.5);
    EXPECT_EQ(p.computedSpeedKmh, 45);

    // Consecutive periods: each point once.
    EXPECT_EQ(reader.Points(12, Utc(0, 0), Utc(10, 0)).points.size(), 1u);
    EXPECT_EQ(reader.Points(12, Utc(10, 2), Utc(23, 0)).points.size(), 1u);
    EXPECT_TRUE(reader.Points(99, Utc(0, 0), Utc(23, 0)).points.empty());
}

// No store yet: no points, no problem, no file made. A file that is no database, or one
// damaged where the route lies: no points, a problem, and the file left as it was
// (setting it aside is the writer's business).
TEST_F(TrackReadTest, MissingOrDamagedStoreReadsAsNoPoints) {
    EXPECT_TRUE(Texts(reader.Points(12, Utc(0, 0), Utc(23, 0))).empty());
    EXPECT_FALSE(Exists(path));

    WriteFile(path, std::string(8192, 'x'));
    TrackSource::Read read = reader.Points(12, Utc(0, 0), Utc(23, 0));
    EXPECT_TRUE(read.points.empty());
    EXPECT_TRUE(TextUtil::StartsWith(read.problem, W("Маршрут не прочитан из поврежденной базы")))
        << Cp1251::ToUtf8(read.problem);
    EXPECT_TRUE(ReadFile(path) == std::string(8192, 'x'));

    ASSERT_TRUE(std::filesystem::remove(path));
    {
        CSqliteTrackStore store(path);
        std::vector<TrackPoint> many;
        for (int k = 0; k < 3000; ++k)
            many.push_back(Point(12, Utc(0, 0).AddMinutes(k * 0.4)));
        ASSERT_TRUE(store.Append(many).ok);
    }
    // Every page after the first written over (the header and the schema stay).
    std::string bytes = ReadFile(path);
    for (std::size_t at = 4096; at < bytes.size(); ++at)
        bytes[at] = static_cast<char>(0xA5 ^ (at * 7));
    WriteFile(path, bytes);
    read = reader.Points(12, Utc(0, 0), Utc(23, 0));
    EXPECT_TRUE(read.points.empty());
    EXPECT_FALSE(read.problem.empty());
    EXPECT_TRUE(ReadFile(path) == bytes);
}

// Another program holding the write lock does not hold the reader up; a store whose
// writer has closed (no WAL files beside it) reads as well.
TEST_F(TrackReadTest, ReadsBesideTheWriterAndAfterIt) {
    {
        CSqliteTrackStore store(path);
        ASSERT_TRUE(store.Append({Point(12, Utc(9, 0)), Point(12, Utc(9, 1))}).ok);
        WriteLock other(path);
        ASSERT_TRUE(other.held());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Texts(reader.Points(12, Utc(0, 0), Utc(23, 0))).size(), 2u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
    ASSERT_FALSE(Exists(path + "-wal"));
    EXPECT_EQ(Texts(reader.Points(12, Utc(0, 0), Utc(23, 0))).size(), 2u);
}

// The export of stored routes, read back by Python's XML parser: names (Cyrillic, and
// characters XML must escape), coordinates, times and speeds as the store keeps them.
TEST_F(TrackReadTest, GpxOfStoredRoutesReadsBackWithAnotherParser) {
    {
        CSqliteTrackStore store(path);
        std::vector<TrackPoint> points;
        for (int k = 0; k < 40; ++k) {
            TrackPoint p = Point(12, Utc(8, 0).AddMinutes(k * 0.25 + k * 1e-6),
                                 56.8382512 + k * 0.0001234567, k % 7 == 0 ? W("Склад №1") : "");
            p.longitude = -60.6057291 - k * 0.0000765;
            p.speedKmh = k * 1.7;
            points.push_back(p);
        }
        points.push_back(Point(7, Utc(8, 0), 10.5, W("Депо \"Юг\" & <Север>")));
        ASSERT_TRUE(store.Append(points).ok);
    }
    CGpxWriter gpx;
    gpx.AddTrack(12, W("Газель \"Ласточка\" & <К°> 'А'"),
                 reader.Points(12, Utc(0, 0), Utc(23, 0)).points);
    gpx.AddTrack(7, W("Борт №7"), reader.Points(7, Utc(0, 0), Utc(23, 0)).points);
    std::string problem;
    ASSERT_TRUE(gpx.Save(dir.path() + "/" + W("Маршрут.gpx"), problem)) << problem;

    const std::string out = dir.path() + "/parsed.txt";
    const std::string command = std::string("python3 '") + SENTREL_GPX_SCRIPT + "' '" + dir.path() +
                                "/Маршрут.gpx' > '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::vector<std::string>> lines;
    std::istringstream parsed(ReadFile(out));
    for (std::string line; std::getline(parsed, line);) {
        std::istringstream split(line);
        lines.emplace_back();
        for (std::string field; std::getline(split, field, '\t');)
            lines.back().push_back(field);
    }

    // The stored rows, read as any SQLite tool reads them.
    const Rows rows = Query(path,
                            "SELECT latitude, longitude, message_time, speed, zone FROM points"
                            " ORDER BY object DESC, message_time");
    ASSERT_EQ(rows.size(), 41u);
    ASSERT_EQ(lines.size(), 43u);
    EXPECT_EQ(lines[0],
              (std::vector<std::string>{"trk", "12 Газель \"Ласточка\" & <К°> 'А'", "12"}));
    EXPECT_EQ(lines[41], (std::vector<std::string>{"trk", "7 Борт №7", "7"}));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        SCOPED_TRACE(k);
        const std::vector<std::string>& line = lines[k < 40 ? k + 1 : 42];
        const std::vector<std::string>& row = rows[k];
        ASSERT_EQ(line.size(), 6u);
        EXPECT_NEAR(std::stod(line[1]), std::stod(row[0]), 1e-7);
        EXPECT_NEAR(std::stod(line[2]), std::stod(row[1]), 1e-7);
        EXPECT_EQ(line[3], row[2]);
        EXPECT_NEAR(std::stod(line[4]) * 3.6, std::stod(row[3]), 0.001 * 3.6);
        const std::string speed = TextUtil::Format("%.1f км/ч", std::stod(row[3]));
        EXPECT_EQ(line[5], row[4] == "NULL" ? speed : speed + ", " + row[4]);
    }
}
