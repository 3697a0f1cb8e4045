// The console writing every applied position to SntTracks.db with its commits: what goes
// in, each point once when batches are applied again, and a store that cannot be
// written — locked, on a full disk, damaged — leaving the live intake as it is.
#include <gtest/gtest.h>

#include "ConsoleTestSupport.h"
#include "FaultyDisk.h"
#include "SqliteTrackStore.h"
#include "TrackDbReader.h"

using namespace consoletest;
using namespace trackstest;

namespace {

class TrackIntakeTest : public testing::Test {
protected:
    void SetUp() override { folder.SaveSettingsFile(); }
    void TearDown() override { console.reset(); }

    void Start() {
        console = std::make_unique<CConsole>(folder.paths, clock, sound, view);
        // Tried again at every commit: the tests need not wait for it.
        console->AttachTrackSink(std::make_unique<CSqliteTrackStore>(db),
                                 std::chrono::milliseconds(0));
        StartLikeTheWindow(*console);
    }
    // A file of one fix of `object` at `minute` past 9 (UTC), stamped in its name.
    void DropFix(int32_t object, int minute, Spot spot = kOutside) {
        folder.Drop(TextUtil::Format("0609%02d00.%03d", minute, object),
                    Bytes(Last(Fix(object, spot, At(9, minute), W("Свежее")))));
    }
    std::string PointCount() { return One(db, "SELECT COUNT(*) FROM points"); }
    bool InboxEmpty() { return std::filesystem::is_empty(folder.inbox); }
    ObjectRecord& Object(int32_t number) {
        return console->store.Object(console->store.FindObjectByNumber(number));
    }

    // First: the store's connection closes before the disk under it goes.
    FaultyDisk disk;
    ProgramFolder folder;
    std::string db = folder.paths.tracksPath;
    FixedClock clock{TestNow(), 0};
    FakeSound sound;
    RecordingView view;
    std::unique_ptr<CConsole> console;
};

}  // namespace

TEST_F(TrackIntakeTest, EveryAppliedPositionIsKeptWithItsZoneAndSpeeds) {
    Start();
    DropFix(12, 0, kOutside);
    DropFix(12, 1, kInA);
    DropFix(7, 2, kInB);
    // Not a position: not kept.
    InboxRecordHeader alarm = Header(7, InboxRecordHeader::kAlarmFlag, At(9, 3), At(12, 3));
    folder.Drop("06090300.007", Bytes(Last(Record(alarm, "SOS"))));
    console->PollOnce();
    ASSERT_TRUE(InboxEmpty());

    const Rows rows = Query(db,
                            "SELECT object, datetime(message_time / 1000, 'unixepoch'),"
                            " datetime(receive_time / 1000, 'unixepoch'), latitude, speed,"
                            " computed_speed, zone FROM points ORDER BY message_time");
    ASSERT_EQ(rows.size(), 3u);
    const std::string zoneA = Cp1251::ToUtf8(console->zoneMap->NameOf(0));
    const std::string zoneB = Cp1251::ToUtf8(console->zoneMap->NameOf(1));
    EXPECT_EQ(rows[0], (std::vector<std::string>{"12", "2026-12-06 09:00:00", "2026-12-06 12:00:00",
                                                 "55.05", "40.0", "0", "NULL"}));
    // The second fix of Truck is 5.6 km on within a minute: the speed computed from it is
    // what the list shows.
    EXPECT_EQ(rows[1][0], "12");
    EXPECT_EQ(rows[1][3], "55.0");
    EXPECT_EQ(rows[1][5], std::to_string(Object(12).computedSpeedKmh));
    EXPECT_GT(Object(12).computedSpeedKmh, 300);
    EXPECT_EQ(rows[1][6], zoneA);
    EXPECT_EQ(rows[2][0], "7");
    EXPECT_EQ(rows[2][6], zoneB);
}

// A commit that failed after its points were written, then a store read again and the
// files applied anew: each point is kept once, as each record is logged once.
TEST_F(TrackIntakeTest, BatchesAppliedAgainKeepEachPointOnce) {
    Start();
    const std::string journal = folder.BlockCommits();
    for (int k = 0; k < 5; ++k)
        DropFix(k % 2 == 0 ? 12 : 7, k);
    console->PollOnce();
    EXPECT_FALSE(InboxEmpty());
    EXPECT_EQ(PointCount(), "5");  // written before the journal failed
    console->ReloadState();        // what was applied is forgotten, read again below
    std::filesystem::remove_all(journal);
    ASSERT_TRUE(console->FlushSaves());
    DropFix(12, 10);
    console->PollOnce();
    EXPECT_TRUE(InboxEmpty());
    EXPECT_EQ(PointCount(), "6");
    EXPECT_EQ(One(db, "SELECT COUNT(*) FROM (SELECT DISTINCT object, message_time FROM points)"),
              "6");
    EXPECT_EQ(Count(folder.Log(), "(" + W("Свежее") + ")"), 6u);
}

TEST_F(TrackIntakeTest, LockedStoreLeavesIntakeAloneAndTheGapIsLogged) {
    Start();
    DropFix(12, 0);
    console->PollOnce();
    ASSERT_EQ(PointCount(), "1");

    WriteLock other(db);
    ASSERT_TRUE(other.held());
    DropFix(12, 1);
    DropFix(7, 2);
    console->PollOnce();
    DropFix(12, 3);
    console->PollOnce();
    // The live intake went on: files taken, state saved, counters counted.
    EXPECT_TRUE(InboxEmpty());
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 3));
    EXPECT_EQ(console->runMessageCount, 4);
    EXPECT_TRUE(view.saveFailures().empty() || !view.saveFailures().back());
    // Told once, in Russian.
    ASSERT_EQ(view.intakeNotices().size(), 1u);
    EXPECT_NE(view.intakeNotices()[0].find(W("Не удается записать маршруты в базу")),
              std::string::npos);
    EXPECT_NE(view.intakeNotices()[0].find(W("база занята другой программой")), std::string::npos);
    EXPECT_EQ(Count(folder.Log(), W("Маршруты не записываются")), 1u);

    other.Release();
    DropFix(7, 4);
    console->PollOnce();
    EXPECT_EQ(PointCount(), "2");
    // The gap: three points, from the first to the last message time lost.
    EXPECT_NE(
        folder.Log().find(db + W(" Пропуск в маршрутах: не записано точек 3, время "
                                 "сообщений (UTC) с 06.12.2026 9:01:00 по 06.12.2026 9:03:00")),
        std::string::npos)
        << Cp1251::ToUtf8(folder.Log());
    EXPECT_EQ(view.intakeNotices().size(), 1u);
}

// A full disk under the store only: the data files are written as ever; the program stops
// with the gap still open, and the log gets it then.
TEST_F(TrackIntakeTest, FullDiskGapStillOpenIsLoggedAtTheStop) {
    Start();
    disk.full = true;
    DropFix(12, 5);
    DropFix(7, 6);
    console->PollOnce();
    EXPECT_TRUE(InboxEmpty());
    ASSERT_EQ(view.intakeNotices().size(), 1u);
    EXPECT_NE(view.intakeNotices()[0].find(W("на диске нет места")), std::string::npos);
    console.reset();
    EXPECT_NE(folder.Log().find(W("не записано точек 2, время сообщений (UTC) с 06.12.2026 "
                                  "9:05:00 по 06.12.2026 9:06:00")),
              std::string::npos)
        << Cp1251::ToUtf8(folder.Log());
    disk.full = false;
    EXPECT_EQ(PointCount(), "0");
}

TEST_F(TrackIntakeTest, DamagedStoreIsSetAsideAndAFreshOneTakesThePoints) {
    const std::string damaged = "SQLite format 3" + std::string(5000, '\x07');
    WriteFile(db, damaged);
    Start();
    DropFix(12, 0);
    console->PollOnce();
    EXPECT_TRUE(InboxEmpty());
    EXPECT_EQ(PointCount(), "1");
    std::string aside;
    for (const auto& entry : std::filesystem::directory_iterator(folder.dir.path())) {
        if (entry.path().filename().string().rfind("SntTracks.db.damaged-", 0) == 0)
            aside = entry.path().string();
    }
    ASSERT_FALSE(aside.empty());
    EXPECT_TRUE(ReadFile(aside) == damaged);
    ASSERT_EQ(view.intakeNotices().size(), 1u);
    EXPECT_NE(view.intakeNotices()[0].find(W("повреждена")), std::string::npos);
    EXPECT_NE(view.intakeNotices()[0].find(aside), std::string::npos);
    EXPECT_NE(folder.Log().find(W("База маршрутов повреждена: она отложена под именем ") + aside),
              std::string::npos);
}
