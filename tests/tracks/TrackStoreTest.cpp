// The track store on its own: what a row holds, each point once, a damaged file set aside,
// a locked file and a full disk refused without harm, old days removed.
#include <gtest/gtest.h>

#include <filesystem>

#include "ConsoleTestSupport.h"
#include "FaultyDisk.h"
#include "SqliteTrackStore.h"
#include "TrackDbReader.h"
#include "base/Cp1251.h"

using namespace trackstest;
using consoletest::ReadFile;
using consoletest::TempFolder;
using consoletest::WriteFile;

namespace {

TrackPoint Point(int32_t object, DateTime messageTime, double latitude = 56.8,
                 std::string zone = {}) {
    TrackPoint p;
    p.objectNumber = object;
    p.messageTime = messageTime;
    p.receiveTime = messageTime.AddMinutes(180);
    p.latitude = latitude;
    p.longitude = 60.6;
    p.speedKmh = 47.5;
    p.computedSpeedKmh = 45;
    p.zoneName = std::move(zone);
    return p;
}

DateTime Utc(int day, int hour, int minute = 0, int second = 0) {
    return DateTime::FromCalendar(2026, 12, day, hour, minute, second);
}

// Files in the folder whose name starts with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class TrackStoreTest : public testing::Test {
protected:
    std::string Count() { return One(path, "SELECT COUNT(*) FROM points"); }

    TempFolder dir;
    std::string path = dir.path() + "/SntTracks.db";
};

}  // namespace

TEST_F(TrackStoreTest, RowHoldsThePointInDocumentedUnits) {
    CSqliteTrackStore store(path);
    TrackPoint inZone = Point(12, Utc(6, 9), 56.83825, W("Склад №1"));
    inZone.receiveTime = Utc(6, 12);
    inZone.longitude = 60.60572;
    inZone.speedKmh = 47.5;
    inZone.computedSpeedKmh = 51;
    TrackPoint outside = Point(7, Utc(6, 9, 0, 30));
    outside.receiveTime = Utc(6, 12, 0, 30);
    outside.speedKmh = 0;
    outside.computedSpeedKmh = 0;
    const TrackSink::Written w = store.Append({inZone, outside});
    ASSERT_TRUE(w.ok) << w.problem;
    EXPECT_TRUE(w.setAsidePath.empty());

    // Milliseconds since 1970-01-01 00:00: 6 Dec 2026 09:00:00 is 1796547600000.
    const Rows rows = Query(path,
                            "SELECT object, message_time, receive_time, latitude, longitude, speed,"
                            " computed_speed, zone, typeof(zone) FROM points ORDER BY object DESC");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"12", "1796547600000", "1796558400000", "56.83825",
                                                 "60.60572", "47.5", "51", "Склад №1", "text"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"7", "1796547630000", "1796558430000", "56.8",
                                                 "60.6", "0.0", "0", "NULL", "null"}));
    // Any SQLite tool reads the times with the usual functions.
    EXPECT_EQ(One(path,
                  "SELECT datetime(message_time / 1000, 'unixepoch') FROM points"
                  " WHERE object = 12"),
              "2026-12-06 09:00:00");
    EXPECT_EQ(One(path, "PRAGMA journal_mode"), "wal");
    // Queries by object and time use an index.
    const Rows plan = Query(path,
                            "EXPLAIN QUERY PLAN SELECT * FROM points WHERE object = 12 AND "
                            "message_time BETWEEN 0 AND 1796547600000");
    ASSERT_FALSE(plan.empty());
    EXPECT_NE(plan.back().back().find("points_by_object_time"), std::string::npos)
        << plan.back().back();
}

// A batch applied again (a crash before its journal, a failed commit tried again) brings
// the same points: each is kept once. A point that differs in a time is another point.
TEST_F(TrackStoreTest, SamePointAppendedAgainIsKeptOnce) {
    CSqliteTrackStore store(path);
    const std::vector<TrackPoint> batch = {Point(12, Utc(6, 9)), Point(7, Utc(6, 9)),
                                           Point(12, Utc(6, 9, 1))};
    ASSERT_TRUE(store.Append(batch).ok);
    ASSERT_TRUE(store.Append(batch).ok);
    std::vector<TrackPoint> overlapping = {batch[2], Point(12, Utc(6, 9, 2))};
    TrackPoint resent = batch[0];
    resent.receiveTime = resent.receiveTime.AddMinutes(1);
    overlapping.push_back(resent);
    ASSERT_TRUE(store.Append(overlapping).ok);
    EXPECT_EQ(Count(), "5");

    // Another run of the program appends to the same file.
    CSqliteTrackStore again(path);
    ASSERT_TRUE(again.Append(batch).ok);
    EXPECT_EQ(Count(), "5");
}

TEST_F(TrackStoreTest, FileThatIsNoDatabaseIsSetAsideNotDeleted) {
    const std::string garbage(8192, 'x');
    WriteFile(path, garbage);
    {
        CSqliteTrackStore store(path);
        const TrackSink::Written w = store.Append({Point(12, Utc(6, 9))});
        ASSERT_TRUE(w.ok) << w.problem;
        const std::vector<std::string> aside =
            FilesStartingWith(dir.path(), "SntTracks.db.damaged-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(dir.path() + "/" + aside[0], w.setAsidePath);
        // SntTracks.db.damaged-YYYYMMDD-HHMMSS, its bytes untouched.
        EXPECT_EQ(aside[0].size(), std::string("SntTracks.db.damaged-20261206-090000").size());
        EXPECT_TRUE(ReadFile(w.setAsidePath) == garbage);
        EXPECT_EQ(Count(), "1");
    }

    // Found at the start: set aside then (within the same second: a name of its own),
    // told with the next points.
    WriteFile(path, garbage);
    CSqliteTrackStore next(path);
    next.StartRetention(0);
    EXPECT_EQ(FilesStartingWith(dir.path(), "SntTracks.db.damaged-").size(), 2u);
    const TrackSink::Written told = next.Append({Point(12, Utc(6, 9))});
    EXPECT_TRUE(told.ok);
    EXPECT_FALSE(told.setAsidePath.empty());
    EXPECT_TRUE(ReadFile(told.setAsidePath) == garbage);
    EXPECT_TRUE(next.Append({Point(12, Utc(6, 10))}).setAsidePath.empty());
    EXPECT_EQ(Count(), "2");
}

// A database whose pages are damaged behind a sound header: found when the insert reaches
// them, set aside with its WAL, the points go to a fresh one.
TEST_F(TrackStoreTest, DamagedPagesAreFoundByTheInsertAndSetAside) {
    {
        CSqliteTrackStore store(path);
        std::vector<TrackPoint> many;
        for (int k = 0; k < 3000; ++k)
            many.push_back(Point(k % 50, Utc(5, 0).AddMinutes(k)));
        ASSERT_TRUE(store.Append(many).ok);
    }
    // Every page after the first written over (the header and the schema stay).
    std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 3 * 4096u);
    for (std::size_t at = 4096; at < bytes.size(); ++at)
        bytes[at] = static_cast<char>(0xA5 ^ (at * 7));
    WriteFile(path, bytes);

    CSqliteTrackStore store(path);
    const TrackSink::Written w = store.Append({Point(49, Utc(5, 23)), Point(3, Utc(6, 1))});
    ASSERT_TRUE(w.ok) << w.problem;
    ASSERT_FALSE(w.setAsidePath.empty());
    EXPECT_TRUE(ReadFile(w.setAsidePath) == bytes);
    EXPECT_EQ(Count(), "2");
}

TEST_F(TrackStoreTest, LockedDatabaseRefusesAndTakesPointsOnceFree) {
    CSqliteTrackStore store(path);
    ASSERT_TRUE(store.Append({Point(12, Utc(6, 9))}).ok);
    WriteLock other(path);
    ASSERT_TRUE(other.held());
    const TrackSink::Written w = store.Append({Point(12, Utc(6, 9, 1))});
    EXPECT_FALSE(w.ok);
    EXPECT_NE(w.problem.find(W("занята")), std::string::npos) << Cp1251::ToUtf8(w.problem);
    EXPECT_TRUE(w.setAsidePath.empty());
    other.Release();
    ASSERT_TRUE(store.Append({Point(12, Utc(6, 9, 2))}).ok);
    EXPECT_EQ(Count(), "2");
    EXPECT_TRUE(FilesStartingWith(dir.path(), "SntTracks.db.damaged-").empty());
}

TEST_F(TrackStoreTest, FullDiskRefusesWithoutHarmToWhatIsKept) {
    FaultyDisk disk;
    {
        CSqliteTrackStore store(path);
        ASSERT_TRUE(store.Append({Point(12, Utc(6, 9))}).ok);
        disk.full = true;
        const TrackSink::Written w =
            store.Append({Point(12, Utc(6, 9, 0, 1)), Point(7, Utc(6, 9))});
        EXPECT_FALSE(w.ok);
        EXPECT_NE(w.problem.find(W("нет места")), std::string::npos) << Cp1251::ToUtf8(w.problem);
        disk.full = false;
        ASSERT_TRUE(store.Append({Point(12, Utc(6, 9, 0, 2))}).ok);
    }
    // Nothing half-written: the refused transaction left no row.
    EXPECT_EQ(One(path, "SELECT group_concat(message_time % 100000, ',') FROM points"), "0,2000");
    EXPECT_EQ(One(path, "PRAGMA integrity_check"), "ok");
    EXPECT_TRUE(FilesStartingWith(dir.path(), "SntTracks.db.damaged-").empty());
}

// Keeping 2 days on 6 Dec 12:00 keeps what is newer than 4 Dec 12:00. The removal takes
// the oldest day first, one day per call.
TEST_F(TrackStoreTest, RetentionRemovesOldDaysOneAtATimeAndKeepsTheRest) {
    CSqliteTrackStore store(path);
    std::vector<TrackPoint> points;
    for (int day = 1; day <= 6; ++day) {
        for (int object = 1; object <= 3; ++object) {
            points.push_back(Point(object, Utc(day, 6)));
            points.push_back(Point(object, Utc(day, 18)));
        }
    }
    // A terminal whose clock stood still long ago.
    points.push_back(Point(9, DateTime::FromCalendar(1999, 12, 31, 23, 0, 0)));
    ASSERT_TRUE(store.Append(points).ok);
    const int64_t now = 1796558400000;  // 6 Dec 2026 12:00 UTC

    EXPECT_EQ(store.RemoveOldestDay(0, now), 0);  // 0 keeps everything
    EXPECT_EQ(Count(), "37");
    EXPECT_EQ(store.RemoveOldestDay(2, now), 1);  // 31 Dec 1999
    EXPECT_EQ(store.RemoveOldestDay(2, now), 6);  // 1 Dec
    EXPECT_EQ(One(path, "SELECT MIN(message_time) FROM points"),
              std::to_string(1796342400000 - 2 * 86400000 + 6 * 3600000));  // 2 Dec 06:00
    EXPECT_EQ(store.RemoveOldestDay(2, now), 6);                            // 2 Dec
    EXPECT_EQ(store.RemoveOldestDay(2, now), 6);                            // 3 Dec
    EXPECT_EQ(store.RemoveOldestDay(2, now), 3);  // 4 Dec 06:00; 18:00 is within the days
    EXPECT_EQ(store.RemoveOldestDay(2, now), 0);
    EXPECT_EQ(Count(), "15");
    EXPECT_EQ(One(path,
                  "SELECT COUNT(*) FROM points WHERE message_time < 1796342400000 + "
                  "12 * 3600000"),
              "0");
}

TEST_F(TrackStoreTest, RetentionRunsInTheBackgroundOnceStarted) {
    CSqliteTrackStore store(path);
    const DateTime today = DateTime::FromLinear(25569.0 + static_cast<double>(std::time(nullptr)) /
                                                              86400.0);  // UTC now
    std::vector<TrackPoint> points;
    for (int k = 0; k < 2 * CTrackDatabase::kRemoveStep + 10; ++k)
        points.push_back(Point(k % 100, today.AddDays(-40).AddMinutes(k * 0.1)));
    points.push_back(Point(1, today.AddDays(-29)));
    points.push_back(Point(1, today.AddMinutes(-1)));
    ASSERT_TRUE(store.Append(points).ok);
    store.StartRetention(30);
    EXPECT_TRUE(consoletest::WaitUntil([&] { return Count() == "2"; }, 10000)) << Count();
    // The commit is not held up meanwhile, and the thread ends with the store.
    EXPECT_TRUE(store.Append({Point(2, today)}).ok);
}
