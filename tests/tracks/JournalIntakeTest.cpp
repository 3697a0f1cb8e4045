// The console keeping the alert journal with its commits: each alert raised stamped by
// its clock, in SntTracks.db with the commit's points; acknowledgements covering the
// alerts raised before them, of this run and earlier ones, written or still waiting;
// alerts waiting while the store refuses; the hand-over count at start.
#include <gtest/gtest.h>

#include "ConsoleTestSupport.h"
#include "SqliteJournalReader.h"
#include "SqliteTrackStore.h"
#include "TrackDbReader.h"
#include "platform/Platform.h"

using namespace consoletest;
using namespace trackstest;

namespace {

class JournalIntakeTest : public testing::Test {
protected:
    void SetUp() override { folder.SaveSettingsFile(); }
    void TearDown() override { console.reset(); }

    void Start() {
        console = std::make_unique<CConsole>(folder.paths, clock, sound, view);
        console->AttachTrackSink(std::make_unique<CSqliteTrackStore>(db),
                                 std::chrono::milliseconds(0));
        StartLikeTheWindow(*console);
    }
    ObjectRecord& Object(int32_t number) {
        return console->store.Object(console->store.FindObjectByNumber(number));
    }
    void DropFix(int32_t object, int minute, Spot spot) {
        folder.Drop(TextUtil::Format("0609%02d00.%03d", minute, object),
                    Bytes(Last(Fix(object, spot, At(9, minute), W("Свежее")))));
    }
    void DropAlarm(int32_t object, int minute) {
        const InboxRecordHeader h =
            Header(object, InboxRecordHeader::kAlarmFlag, At(9, minute), At(12, minute));
        folder.Drop(TextUtil::Format("0609%02d00.%03d", minute, object),
                    Bytes(Last(Record(h, "SOS"))));
    }
    // object:kind:acknowledging account ("-" for none), in the order written.
    std::vector<std::string> Journal() {
        std::vector<std::string> rows;
        for (const auto& r : Query(db,
                                   "SELECT a.object, a.kind, ifnull(k.account, '-')"
                                   " FROM alerts a LEFT JOIN acknowledgements k"
                                   " ON k.id = a.ack_id ORDER BY a.id"))
            rows.push_back(r[0] + ":" + r[1] + ":" + r[2]);
        return rows;
    }
    bool InboxEmpty() { return std::filesystem::is_empty(folder.inbox); }

    ProgramFolder folder;
    std::string db = folder.paths.tracksPath;
    // Local time 12:00, three hours ahead of UTC.
    FixedClock clock{TestNow(), -180};
    FakeSound sound;
    RecordingView view;
    std::unique_ptr<CConsole> console;
};

}  // namespace

// The alarm of a vehicle whose pop-up is off is kept all the same, with the text the
// pop-up would have shown; a vehicle with its alerts off raises none.
TEST_F(JournalIntakeTest, AlertsRaisedAreKeptWithTheCommitStampedByTheConsolesClock) {
    Start();
    EnableAllAlerts(Object(12));
    Object(12).zoneAssignment.Append(0, Destination);
    Object(7).alertSettings.values[AlertSettings::kAlarmAlert] = 1;
    DropFix(12, 0, kOutside);
    DropFix(12, 1, kInA);
    DropAlarm(7, 2);
    DropAlarm(5, 3);  // not shown in the list: its files are not read
    console->PollOnce();
    EXPECT_EQ(view.popups().size(), 1u);  // 12's arrival; 7's alarm has no pop-up

    const Rows rows =
        Query(db,
              "SELECT object, object_name, kind, ifnull(zone, '-'), raised, message_time,"
              " receive_time, text FROM alerts ORDER BY id");
    ASSERT_EQ(rows.size(), 2u);
    // 12:00 local is 09:00 UTC: 1796547600000 ms since 1970.
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{
                  "12", "Truck", "3", Cp1251::ToUtf8(console->zoneMap->NameOf(0)), "1796547600000",
                  "1796547660000", "1796558460000", Cp1251::ToUtf8(view.popups()[0].text)}));
    EXPECT_EQ(rows[1][0], "7");
    EXPECT_EQ(rows[1][1], "Bus");
    EXPECT_EQ(rows[1][2], "1");
    EXPECT_EQ(rows[1][3], "-");
    EXPECT_TRUE(rows[1][7].starts_with("Тревога на объекте Bus-7\r\n")) << rows[1][7];
    EXPECT_EQ(One(db, "SELECT COUNT(*) FROM points"), "2");
    EXPECT_EQ(console->runStartUtc(), TestNow().AddMinutes(-180));
}

// "Сбросить оповещения" for 12: every alert of 12 not acknowledged yet — of the run
// before, and one the store has not taken yet — under the program's account; 7's
// alerts stay open; an alert raised after it is not covered. The hand-over count at the
// second start is the first run's alerts not acknowledged.
TEST_F(JournalIntakeTest, AcknowledgementCoversEarlierRunsAndAlertsNotWrittenYet) {
    Start();
    Object(12).alertSettings.values[AlertSettings::kAlarmAlert] = 1;
    Object(7).alertSettings.values[AlertSettings::kAlarmAlert] = 1;
    DropAlarm(12, 0);
    DropAlarm(7, 1);
    console->PollOnce();
    ASSERT_EQ(Journal(), (std::vector<std::string>{"12:1:-", "7:1:-"}));
    console.reset();

    clock.Set(TestNow().AddMinutes(30));
    Start();
    EXPECT_EQ(console->runStartUtc(), TestNow().AddMinutes(30 - 180));
    CSqliteJournalReader reader(db);
    AlertJournalSource::Filter handOver;
    handOver.onlyUnacknowledged = true;
    handOver.toUtc = console->runStartUtc();
    EXPECT_EQ(reader.CountRows(handOver).rows, 2);

    {
        // Another program holds the store: 12's new alarm waits in memory.
        WriteLock other(db);
        ASSERT_TRUE(other.held());
        DropAlarm(12, 5);
        console->PollOnce();
        ASSERT_TRUE(InboxEmpty());
        EXPECT_TRUE(console->AcknowledgeAlerts({12}));
        ASSERT_TRUE(console->FlushSaves());
        EXPECT_EQ(Journal().size(), 2u);
    }
    DropAlarm(12, 6);
    console->PollOnce();
    const std::string account = Cp1251::ToUtf8(Platform::CurrentAccountName());
    ASSERT_FALSE(account.empty());
    EXPECT_EQ(Journal(),
              (std::vector<std::string>{"12:1:" + account, "7:1:-", "12:1:" + account, "12:1:-"}));
    EXPECT_EQ(One(db, "SELECT COUNT(*) FROM acknowledgements"), "1");
    // Acknowledged at 12:30 local, 09:30 UTC.
    EXPECT_EQ(One(db, "SELECT time FROM acknowledgements"), "1796549400000");
    EXPECT_EQ(reader.CountRows(handOver).rows, 1);

    // Acknowledging a vehicle with nothing open leaves no acknowledgement behind.
    console->AcknowledgeAlerts({5});
    ASSERT_TRUE(console->FlushSaves());
    EXPECT_EQ(One(db, "SELECT COUNT(*) FROM acknowledgements"), "1");
}
