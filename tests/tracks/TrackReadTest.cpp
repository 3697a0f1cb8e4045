// Reading routes back: the query's order and bounds, a store that is missing, damaged or
// being written, and the GPX export read by a parser of its own (Python's).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

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

std::vector<std::string> Times(const std::vector<TrackPoint>& points) {
    std::vector<std::string> times;
    for (const TrackPoint& p : points)
        times.push_back(CGpxWriter::IsoUtc(p.messageTime));
    return times;
}

class TrackReadTest : public testing::Test {
protected:
    TempFolder dir;
    std::string path = dir.path() + "/SntTracks.db";
};

}  // namespace

// In message time order whatever order the commits brought them in; the period is
// fromUtc <= t < toUtc to the millisecond; other vehicles' points are not in it.
TEST_F(TrackReadTest, OneVehiclesPointsOfThePeriodInTimeOrder) {
    CSqliteTrackStore store(path);
    TrackPoint late = Point(12, Utc(10, 1, 0), 56.9);
    late.receiveTime = late.receiveTime.AddMinutes(1);
    ASSERT_TRUE(store.Append({Point(12, Utc(10, 0)), Point(12, Utc(10, 2)), late}).ok);
    ASSERT_TRUE(store
                    .Append({Point(12, Utc(10, 1, 59, 999), 56.7, W("Склад №1")),
                             Point(12, Utc(9, 59, 59, 999)), Point(12, Utc(10, 1, 0), 56.8),
                             Point(7, Utc(10, 0, 30)), Point(13, Utc(10, 1, 30))})
                    .ok);

    CSqliteTrackReader reader(path);
    const TrackSource::Read read = reader.Points(12, Utc(10, 0), Utc(10, 2));
    EXPECT_TRUE(read.problem.empty()) << read.problem;
    EXPECT_EQ(Times(read.points),
              (std::vector<std::string>{"2026-12-06T10:00:00Z", "2026-12-06T10:01:00Z",
                                        "2026-12-06T10:01:00Z", "2026-12-06T10:01:59.999Z"}));
    // Two points of one message time: by receive time.
    ASSERT_EQ(read.points.size(), 4u);
    EXPECT_EQ(read.points[1].latitude, 56.8);
    EXPECT_EQ(read.points[2].latitude, 56.9);
    // Everything the row holds comes back as it went in.
    const TrackPoint& last = read.points[3];
    EXPECT_EQ(last.objectNumber, 12);
    EXPECT_EQ(CTrackDatabase::UnixMs(last.receiveTime),
              CTrackDatabase::UnixMs(Utc(10, 1, 59, 999).AddMinutes(300)));
    EXPECT_EQ(last.latitude, 56.7);
    EXPECT_EQ(last.longitude, 60.6);
    EXPECT_EQ(last.speedKmh, 47.5);
    EXPECT_EQ(last.computedSpeedKmh, 45);
    EXPECT_EQ(last.zoneName, W("Склад №1"));
    EXPECT_TRUE(read.points[0].zoneName.empty());

    // Consecutive periods: each point once.
    EXPECT_EQ(reader.Points(12, Utc(0, 0), Utc(10, 0)).points.size(), 1u);
    EXPECT_EQ(reader.Points(12, Utc(10, 2), Utc(23, 0)).points.size(), 1u);
    EXPECT_TRUE(reader.Points(12, Utc(10, 2), Utc(10, 2)).points.empty());
    EXPECT_TRUE(reader.Points(99, Utc(0, 0), Utc(23, 0)).points.empty());
}

// No store yet: no points, no problem, and no file made. A file that is no database, or
// one damaged where the route lies: no points, a problem, and the file left as it was
// (setting it aside is the writer's business).
TEST_F(TrackReadTest, MissingOrDamagedStoreReadsAsNoPoints) {
    CSqliteTrackReader reader(path);
    TrackSource::Read read = reader.Points(12, Utc(0, 0), Utc(23, 0));
    EXPECT_TRUE(read.points.empty());
    EXPECT_TRUE(read.problem.empty());
    EXPECT_FALSE(Exists(path));

    const std::string garbage(8192, 'x');
    WriteFile(path, garbage);
    read = reader.Points(12, Utc(0, 0), Utc(23, 0));
    EXPECT_TRUE(read.points.empty());
    EXPECT_TRUE(TextUtil::StartsWith(read.problem, W("Маршрут не прочитан из поврежденной базы")))
        << Cp1251::ToUtf8(read.problem);
    EXPECT_TRUE(ReadFile(path) == garbage);

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
    ASSERT_GT(bytes.size(), 3 * 4096u);
    for (std::size_t at = 4096; at < bytes.size(); ++at)
        bytes[at] = static_cast<char>(0xA5 ^ (at * 7));
    WriteFile(path, bytes);
    read = reader.Points(12, Utc(0, 0), Utc(23, 0));
    EXPECT_TRUE(read.points.empty());
    EXPECT_FALSE(read.problem.empty());
    EXPECT_TRUE(ReadFile(path) == bytes);
}

// The reader neither waits for a writer nor is waited for: another program holding the
// write lock, the store's own appends going on. A store whose writer has closed (no WAL
// files beside it) reads as well.
TEST_F(TrackReadTest, ReadsBesideTheWriterAndAfterIt) {
    CSqliteTrackStore store(path);
    ASSERT_TRUE(store.Append({Point(12, Utc(9, 0)), Point(12, Utc(9, 1))}).ok);
    CSqliteTrackReader reader(path);
    {
        WriteLock other(path);
        ASSERT_TRUE(other.held());
        const auto start = std::chrono::steady_clock::now();
        const TrackSource::Read read = reader.Points(12, Utc(0, 0), Utc(23, 0));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
        EXPECT_TRUE(read.problem.empty()) << Cp1251::ToUtf8(read.problem);
        EXPECT_EQ(read.points.size(), 2u);
    }
    ASSERT_TRUE(store.Append({Point(12, Utc(9, 2))}).ok);
    EXPECT_EQ(reader.Points(12, Utc(0, 0), Utc(23, 0)).points.size(), 3u);

    std::thread appender([&] {
        for (int k = 0; k < 50; ++k)
            store.Append({Point(12, Utc(11, 0).AddMinutes(k))});
    });
    for (int k = 0; k < 50; ++k) {
        const TrackSource::Read read = reader.Points(12, Utc(0, 0), Utc(23, 0));
        EXPECT_TRUE(read.problem.empty()) << Cp1251::ToUtf8(read.problem);
        EXPECT_GE(read.points.size(), 3u);
    }
    appender.join();
    EXPECT_EQ(reader.Points(12, Utc(0, 0), Utc(23, 0)).points.size(), 53u);
}

TEST(TrackReadClosedTest, StoreClosedByItsWriterReads) {
    TempFolder dir;
    const std::string path = dir.path() + "/SntTracks.db";
    {
        CSqliteTrackStore store(path);
        ASSERT_TRUE(store.Append({Point(12, Utc(9, 0))}).ok);
    }
    ASSERT_FALSE(Exists(path + "-wal"));
    CSqliteTrackReader reader(path);
    const TrackSource::Read read = reader.Points(12, Utc(0, 0), Utc(23, 0));
    EXPECT_TRUE(read.problem.empty()) << Cp1251::ToUtf8(read.problem);
    EXPECT_EQ(read.points.size(), 1u);
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
    CSqliteTrackReader reader(path);
    CGpxWriter gpx;
    const std::string name12 = W("Газель \"Ласточка\" & <К°> 'А'");
    gpx.AddTrack(12, name12, reader.Points(12, Utc(0, 0), Utc(23, 0)).points);
    gpx.AddTrack(7, W("Борт №7"), reader.Points(7, Utc(0, 0), Utc(23, 0)).points);
    std::string problem;
    ASSERT_TRUE(gpx.Save(dir.path() + "/" + W("Маршрут.gpx"), problem)) << problem;

    const std::string out = dir.path() + "/parsed.txt";
    const std::string command = std::string("python3 '") + SENTREL_GPX_SCRIPT + "' '" + dir.path() +
                                "/Маршрут.gpx' > '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::istringstream parsed(ReadFile(out));
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(parsed, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        lines.push_back(fields);
    }

    // The stored rows, read as any SQLite tool reads them.
    const Rows rows12 = Query(path,
                              "SELECT latitude, longitude, message_time, speed, zone FROM points"
                              " WHERE object = 12 ORDER BY message_time");
    const Rows rows7 = Query(path,
                             "SELECT latitude, longitude, message_time, speed, zone"
                             " FROM points WHERE object = 7");
    ASSERT_EQ(rows12.size(), 40u);
    ASSERT_EQ(lines.size(), 1 + rows12.size() + 1 + rows7.size());
    EXPECT_EQ(lines[0],
              (std::vector<std::string>{"trk", "12 Газель \"Ласточка\" & <К°> 'А'", "12"}));
    EXPECT_EQ(lines[41], (std::vector<std::string>{"trk", "7 Борт №7", "7"}));
    auto expectPoint = [](const std::vector<std::string>& line,
                          const std::vector<std::string>& row) {
        ASSERT_EQ(line.size(), 6u);
        EXPECT_EQ(line[0], "pt");
        EXPECT_NEAR(std::stod(line[1]), std::stod(row[0]), 1e-7);
        EXPECT_NEAR(std::stod(line[2]), std::stod(row[1]), 1e-7);
        EXPECT_EQ(line[3], row[2]);
        EXPECT_NEAR(std::stod(line[4]) * 3.6, std::stod(row[3]), 0.001 * 3.6);
        const std::string speed = TextUtil::Format("%.1f км/ч", std::stod(row[3]));
        EXPECT_EQ(line[5], row[4] == "NULL" ? speed : speed + ", " + row[4]);
    };
    for (std::size_t k = 0; k < rows12.size(); ++k) {
        SCOPED_TRACE(k);
        expectPoint(lines[1 + k], rows12[k]);
    }
    expectPoint(lines[42], rows7[0]);
}
