// The alert journal in SntTracks.db: what a row holds, written with the points in one
// transaction and each alert once, what an acknowledgement covers; and read back in
// pages: the filters, every order both ways, counts, a store missing or damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "ConsoleTestSupport.h"
#include "FaultyDisk.h"
#include "SqliteJournalReader.h"
#include "SqliteTrackStore.h"
#include "TrackDatabase.h"
#include "TrackDbReader.h"
#include "base/Cp1251.h"
#include "base/TextUtil.h"

using namespace trackstest;
using consoletest::ReadFile;
using consoletest::TempFolder;
using consoletest::WriteFile;

namespace {

DateTime Utc(int day, int hour, int minute = 0, int second = 0) {
    return DateTime::FromCalendar(2026, 12, day, hour, minute, second);
}

JournalAlert Alert(int32_t object, JournalKind kind, DateTime raised, std::string zone = {}) {
    JournalAlert a;
    a.objectNumber = object;
    a.objectName = W("Газель ") + std::to_string(object);
    a.messageTime = raised.AddMinutes(-1);
    a.receiveTime = raised.AddMinutes(179);
    a.raisedUtc = raised;
    a.kind = kind;
    a.zoneName = std::move(zone);
    a.text = W("Внимание!\r\nОбъект ") + std::to_string(object);
    return a;
}

JournalAck Ack(DateTime time, std::vector<int32_t> objects, std::string account = "dispatcher") {
    return JournalAck{time, std::move(account), std::move(objects)};
}

TrackPoint Point(int32_t object, DateTime messageTime) {
    TrackPoint p;
    p.objectNumber = object;
    p.messageTime = messageTime;
    p.receiveTime = messageTime.AddMinutes(180);
    p.latitude = 56.8;
    p.longitude = 60.6;
    return p;
}

// To the millisecond, as the store keeps times.
int64_t Ms(DateTime t) {
    return CTrackDatabase::UnixMs(t);
}

std::vector<int64_t> Ids(const AlertJournalSource::Page& page) {
    std::vector<int64_t> ids;
    for (const JournalAlert& a : page.rows)
        ids.push_back(a.id);
    return ids;
}

class JournalStoreTest : public testing::Test {
protected:
    std::string Alerts() { return One(path, "SELECT COUNT(*) FROM alerts"); }

    TempFolder dir;
    std::string path = dir.path() + "/SntTracks.db";
};

}  // namespace

// 6 Dec 2026 09:00:00 UTC is 1796547600000 ms since 1970; texts are UTF-8; the zone is
// NULL where there is none; the acknowledgement's time and account beside its alerts.
TEST_F(JournalStoreTest, RowsHoldTheAlertAndItsAcknowledgementInDocumentedUnits) {
    CSqliteTrackStore store(path);
    JournalAlert arrival = Alert(12, JournalKind::ForbiddenArrival, Utc(6, 9), W("Склад №1"));
    arrival.objectName = W("Газель & Ко");
    arrival.messageTime = Utc(6, 8, 59, 30);
    arrival.receiveTime = Utc(6, 11, 59, 45);
    arrival.text = W("Внимание!\r\nприбыл");
    ASSERT_TRUE(store.Append({}, {arrival, Alert(7, JournalKind::Alarm, Utc(6, 9, 0, 1))}).ok);
    ASSERT_TRUE(store.Append({}, {Ack(Utc(6, 9, 5), {12}, W("Диспетчер"))}).ok);

    const Rows rows = Query(path,
                            "SELECT raised, object, object_name, kind, zone, typeof(zone), text,"
                            " message_time, receive_time, ack_id IS NOT NULL, ack_time"
                            " FROM alerts ORDER BY object DESC");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"1796547600000", "12", "Газель & Ко", "5", "Склад №1",
                                        "text", "Внимание!\r\nприбыл", "1796547570000",
                                        "1796558385000", "1", "1796547900000"}));
    EXPECT_EQ(rows[1][3], "1");
    EXPECT_EQ(rows[1][5], "null");
    EXPECT_EQ(rows[1][9], "0");
    EXPECT_EQ(rows[1][10], "NULL");
    EXPECT_EQ(Query(path,
                    "SELECT k.time, k.account FROM acknowledgements k JOIN alerts a"
                    " ON a.ack_id = k.id"),
              (Rows{{"1796547900000", "Диспетчер"}}));
}

// The points and the journal of a commit go in together or not at all, and a commit
// applied again (after a crash) adds nothing a second time.
TEST_F(JournalStoreTest, PointsAndAlertsShareTheTransactionAndRepeatsAreIgnored) {
    FaultyDisk disk;
    {
        CSqliteTrackStore store(path);
        const std::vector<TrackPoint> points{Point(12, Utc(6, 9)), Point(7, Utc(6, 9))};
        const std::vector<JournalEntry> journal{
            Alert(12, JournalKind::DestinationDeparture, Utc(6, 9), "A"),
            Alert(12, JournalKind::ForbiddenDeparture, Utc(6, 9), "A"),
            Alert(12, JournalKind::DestinationArrival, Utc(6, 9), "B")};
        ASSERT_TRUE(store.Append({Point(1, Utc(6, 8))}).ok);
        disk.full = true;
        EXPECT_FALSE(store.Append(points, journal).ok);
        disk.full = false;
        EXPECT_EQ(One(path, "SELECT COUNT(*) FROM points"), "1");
        EXPECT_EQ(Alerts(), "0");

        ASSERT_TRUE(store.Append(points, journal).ok);
        EXPECT_EQ(One(path, "SELECT COUNT(*) FROM points"), "3");
        EXPECT_EQ(Alerts(), "3");
        // Again, with the raise stamped later (the record applied once more at the next
        // start): the same alert.
        std::vector<JournalEntry> again = journal;
        std::get<JournalAlert>(again[0]).raisedUtc = Utc(6, 10);
        ASSERT_TRUE(store.Append(points, again).ok);
        EXPECT_EQ(One(path, "SELECT COUNT(*) FROM points"), "3");
        EXPECT_EQ(Alerts(), "3");
        EXPECT_EQ(One(path, "SELECT MAX(raised) FROM alerts"), "1796547600000");
    }
    EXPECT_EQ(One(path, "PRAGMA integrity_check"), "ok");
}

// An acknowledgement covers every alert of its vehicles not acknowledged yet and written
// before it: of earlier commits and earlier in its own, not after it, not of others; one
// that covers nothing is not kept.
TEST_F(JournalStoreTest, AcknowledgementCoversTheUnacknowledgedAlertsWrittenBeforeIt) {
    {
        CSqliteTrackStore earlierRun(path);
        ASSERT_TRUE(earlierRun
                        .Append({}, {Alert(12, JournalKind::Alarm, Utc(5, 9)),
                                     Alert(7, JournalKind::Alarm, Utc(5, 9))})
                        .ok);
    }
    CSqliteTrackStore store(path);
    ASSERT_TRUE(
        store
            .Append({}, {Alert(12, JournalKind::PowerOn, Utc(6, 9)),
                         Ack(Utc(6, 9, 1), {12, 99}, "first"),
                         Alert(12, JournalKind::Alarm, Utc(6, 9, 2)),
                         Ack(Utc(6, 9, 3), {99}, "nothing"), Ack(Utc(6, 9, 4), {12}, "second")})
            .ok);
    ASSERT_TRUE(store.Append({}, {Ack(Utc(6, 9, 5), {12}, "again")}).ok);
    EXPECT_EQ(Query(path,
                    "SELECT a.object, a.kind, k.account FROM alerts a"
                    " LEFT JOIN acknowledgements k ON k.id = a.ack_id ORDER BY a.id"),
              (Rows{{"12", "1", "first"},
                    {"7", "1", "NULL"},
                    {"12", "2", "first"},
                    {"12", "1", "second"}}));
    EXPECT_EQ(One(path, "SELECT group_concat(account) FROM acknowledgements"), "first,second");
}

class JournalReadTest : public JournalStoreTest {
protected:
    // Eleven alerts of three vehicles over three days, some acknowledged, with ties in
    // every key, written as three commits.
    void Fill() {
        CSqliteTrackStore store(path);
        ASSERT_TRUE(store
                        .Append({}, {Alert(12, JournalKind::Alarm, Utc(5, 23, 30)),
                                     Alert(7, JournalKind::DestinationArrival, Utc(6, 0), "B"),
                                     Alert(12, JournalKind::ForbiddenArrival, Utc(6, 1), "A"),
                                     Alert(3, JournalKind::PowerOn, Utc(6, 1)),
                                     Ack(Utc(6, 2), {12}, "ivanov")})
                        .ok);
        ASSERT_TRUE(store
                        .Append({}, {Alert(7, JournalKind::DestinationDeparture, Utc(6, 3), "B"),
                                     Alert(3, JournalKind::ForbiddenArrival, Utc(6, 12), "A"),
                                     Ack(Utc(6, 12, 30), {3}, "petrov"),
                                     Alert(12, JournalKind::Alarm, Utc(6, 23, 59, 59)),
                                     Alert(3, JournalKind::ForbiddenDeparture, Utc(7, 0), "A")})
                        .ok);
        ASSERT_TRUE(store
                        .Append({}, {Alert(7, JournalKind::Alarm, Utc(7, 0)),
                                     Ack(Utc(7, 0, 10), {7}, "ivanov"),
                                     Alert(12, JournalKind::PowerOn, Utc(7, 5)),
                                     Alert(3, JournalKind::PowerOn, Utc(7, 6))})
                        .ok);
    }

    std::vector<JournalAlert> All() {
        return reader.Rows({}, AlertJournalSource::Order::Raised, false, 0, 1000).rows;
    }

    CSqliteJournalReader reader{path};
};

TEST_F(JournalReadTest, RowsComeBackAsWritten) {
    Fill();
    const std::vector<JournalAlert> all = All();
    ASSERT_EQ(all.size(), 11u);
    const JournalAlert& a = all[2];  // 12's forbidden arrival, acknowledged by ivanov
    EXPECT_EQ(a.objectNumber, 12);
    EXPECT_EQ(a.objectName, W("Газель 12"));
    EXPECT_EQ(a.kind, JournalKind::ForbiddenArrival);
    EXPECT_EQ(a.zoneName, "A");
    EXPECT_EQ(a.text, W("Внимание!\r\nОбъект 12"));
    EXPECT_EQ(Ms(a.raisedUtc), Ms(Utc(6, 1)));
    EXPECT_EQ(Ms(a.messageTime), Ms(Utc(6, 0, 59)));
    EXPECT_EQ(Ms(a.receiveTime), Ms(Utc(6, 3, 59)));
    EXPECT_TRUE(a.acknowledged);
    EXPECT_EQ(Ms(a.acknowledgedUtc), Ms(Utc(6, 2)));
    EXPECT_EQ(a.acknowledgedAccount, "ivanov");
    // 3's power-on, covered by the acknowledgement of 3 in the next commit.
    EXPECT_EQ(Ms(all[3].acknowledgedUtc), Ms(Utc(6, 12, 30)));
    EXPECT_EQ(all[3].acknowledgedAccount, "petrov");
    EXPECT_FALSE(all[6].acknowledged);  // 12's alarm after ivanov's acknowledgement
    EXPECT_TRUE(all[6].acknowledgedUtc.IsNever());
    EXPECT_EQ(all[6].acknowledgedAccount, "");
}

// Each filter alone and together; the period holds its start and not its end; the
// count always agrees with the rows.
TEST_F(JournalReadTest, FiltersAndCountsAgree) {
    Fill();
    using Filter = AlertJournalSource::Filter;
    const auto check = [&](const Filter& f, std::vector<int64_t> expected) {
        const AlertJournalSource::Count count = reader.CountRows(f);
        EXPECT_EQ(count.problem, "");
        EXPECT_EQ(count.rows, static_cast<int64_t>(expected.size()));
        EXPECT_EQ(Ids(reader.Rows(f, AlertJournalSource::Order::Raised, false, 0, 100)), expected);
    };
    check({}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    Filter day;  // 6 December, UTC
    day.fromUtc = Utc(6, 0);
    day.toUtc = Utc(7, 0);
    check(day, {2, 3, 4, 5, 6, 7});
    Filter from;
    from.fromUtc = Utc(7, 0);
    check(from, {8, 9, 10, 11});
    Filter to;
    to.toUtc = Utc(6, 1);
    check(to, {1, 2});
    Filter vehicles;
    vehicles.objects = {3, 7};
    check(vehicles, {2, 4, 5, 6, 8, 9, 11});
    Filter kinds;
    kinds.kinds = JournalKindBit(JournalKind::Alarm) | JournalKindBit(JournalKind::PowerOn);
    check(kinds, {1, 4, 7, 9, 10, 11});
    Filter none;
    none.kinds = 0;
    check(none, {});
    Filter open;
    open.onlyUnacknowledged = true;
    check(open, {7, 8, 10, 11});
    // The hand-over: not acknowledged and raised before a run began.
    Filter handOver;
    handOver.onlyUnacknowledged = true;
    handOver.toUtc = Utc(7, 1);
    check(handOver, {7, 8});
    Filter all4;
    all4.fromUtc = Utc(6, 0);
    all4.toUtc = Utc(7, 1);
    all4.objects = {12, 3};
    all4.kinds = JournalKindBit(JournalKind::Alarm) | JournalKindBit(JournalKind::PowerOn) |
                 JournalKindBit(JournalKind::ForbiddenDeparture);
    all4.onlyUnacknowledged = true;
    check(all4, {7, 8});
}

// Every order, both ways, against the same order worked out here; ties by the row's
// number in the same direction, so descending is ascending reversed. Pages of any size
// put together give the whole.
TEST_F(JournalReadTest, EveryOrderBothWaysAndPagesPutTogether) {
    Fill();
    using Order = AlertJournalSource::Order;
    const std::vector<JournalAlert> all = All();
    // A key per order; nullopt (not acknowledged) after every value.
    using Key = std::function<std::tuple<int, int64_t, std::string>(const JournalAlert&)>;
    const auto ms = Ms;
    const std::vector<std::pair<Order, Key>> orders{
        {Order::Raised, [&](const JournalAlert& a) { return std::tuple(0, ms(a.raisedUtc), ""); }},
        {Order::Object,
         [](const JournalAlert& a) { return std::tuple(0, int64_t{a.objectNumber}, ""); }},
        {Order::Kind,
         [](const JournalAlert& a) { return std::tuple(0, static_cast<int64_t>(a.kind), ""); }},
        {Order::Zone, [](const JournalAlert& a) { return std::tuple(0, int64_t{0}, a.zoneName); }},
        {Order::Acknowledged,
         [&](const JournalAlert& a) {
             return std::tuple(a.acknowledged ? 0 : 1, a.acknowledged ? ms(a.acknowledgedUtc) : 0,
                               "");
         }},
        {Order::Reaction,
         [&](const JournalAlert& a) {
             return std::tuple(a.acknowledged ? 0 : 1,
                               a.acknowledged ? ms(a.acknowledgedUtc) - ms(a.raisedUtc) : 0, "");
         }},
    };
    for (const auto& [order, key] : orders) {
        std::vector<JournalAlert> expected = all;
        std::stable_sort(expected.begin(), expected.end(),
                         [&](const JournalAlert& a, const JournalAlert& b) {
                             return std::tuple_cat(key(a), std::tuple(a.id)) <
                                    std::tuple_cat(key(b), std::tuple(b.id));
                         });
        std::vector<int64_t> ascending;
        for (const JournalAlert& a : expected)
            ascending.push_back(a.id);
        std::vector<int64_t> descending(ascending.rbegin(), ascending.rend());
        SCOPED_TRACE(static_cast<int>(order));
        EXPECT_EQ(Ids(reader.Rows({}, order, false, 0, 100)), ascending);
        EXPECT_EQ(Ids(reader.Rows({}, order, true, 0, 100)), descending);
        std::vector<int64_t> paged;
        for (int64_t offset = 0; offset < 12; offset += 4) {
            const std::vector<int64_t> page = Ids(reader.Rows({}, order, true, offset, 4));
            EXPECT_EQ(page.size(), offset < 8 ? 4u : 3u);
            paged.insert(paged.end(), page.begin(), page.end());
        }
        EXPECT_EQ(paged, descending);
    }
    // Worked out by hand: the waits were 9 0:10, 6 0:30, 3 1:00, 1 2:30, 4 11:30, 5 21:10,
    // 2 24:10; longest first after the four never acknowledged.
    EXPECT_EQ(Ids(reader.Rows({}, Order::Reaction, true, 0, 100)),
              (std::vector<int64_t>{11, 10, 8, 7, 2, 5, 4, 1, 3, 6, 9}));
    EXPECT_EQ(Ids(reader.Rows({}, Order::Acknowledged, false, 0, 100)),
              (std::vector<int64_t>{1, 3, 4, 6, 2, 5, 9, 7, 8, 10, 11}));
    EXPECT_TRUE(reader.Rows({}, Order::Raised, false, 11, 5).rows.empty());
    EXPECT_TRUE(reader.Rows({}, Order::Raised, false, 0, 0).rows.empty());
}

// A filter on kinds that leaves tens of thousands of rows is read another way than one
// that leaves a few: the same rows come back, in order, both ways.
TEST_F(JournalReadTest, KindsFilterLeavingManyRowsPagesLikeOneLeavingFew) {
    {
        CSqliteTrackStore store(path);
        std::vector<JournalEntry> many;
        for (int k = 0; k < 45000; ++k)
            many.push_back(Alert(k % 3 + 1, static_cast<JournalKind>(k % 2 + 1),
                                 Utc(1, 0).AddMinutes(k * 0.25)));
        ASSERT_TRUE(store.Append({}, many).ok);
    }
    AlertJournalSource::Filter alarms;
    alarms.kinds = JournalKindBit(JournalKind::Alarm);
    EXPECT_EQ(reader.CountRows(alarms).rows, 22500);
    // Alarms are the even rows: ids 1, 3, 5...; newest first and by vehicle.
    EXPECT_EQ(Ids(reader.Rows(alarms, AlertJournalSource::Order::Raised, true, 2, 3)),
              (std::vector<int64_t>{44995, 44993, 44991}));
    EXPECT_EQ(Ids(reader.Rows(alarms, AlertJournalSource::Order::Object, false, 0, 3)),
              (std::vector<int64_t>{1, 7, 13}));
    EXPECT_EQ(Ids(reader.Rows(alarms, AlertJournalSource::Order::Object, false, 22499, 5)),
              (std::vector<int64_t>{44997}));
    alarms.objects = {2};
    EXPECT_EQ(reader.CountRows(alarms).rows, 7500);
    EXPECT_EQ(Ids(reader.Rows(alarms, AlertJournalSource::Order::Raised, false, 0, 3)),
              (std::vector<int64_t>{5, 11, 17}));
}

// No store yet, one written before the journal existed: no rows and no problem, nothing
// made. A damaged one: no rows, a problem, the file as it was.
TEST_F(JournalReadTest, MissingOldOrDamagedStoreReadsAsNoRows) {
    const AlertJournalSource::Count none = reader.CountRows({});
    EXPECT_EQ(none.rows, 0);
    EXPECT_EQ(none.problem, "");
    EXPECT_TRUE(reader.Rows({}, AlertJournalSource::Order::Raised, true, 0, 200).rows.empty());
    EXPECT_FALSE(std::filesystem::exists(path));

    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE points (object INTEGER NOT NULL)", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    EXPECT_EQ(reader.CountRows({}).rows, 0);
    EXPECT_EQ(reader.CountRows({}).problem, "");
    EXPECT_EQ(reader.Rows({}, AlertJournalSource::Order::Zone, false, 0, 200).problem, "");
    ASSERT_TRUE(std::filesystem::remove(path));

    WriteFile(path, std::string(8192, 'x'));
    const AlertJournalSource::Count count = reader.CountRows({});
    EXPECT_EQ(count.rows, 0);
    EXPECT_TRUE(TextUtil::StartsWith(count.problem,
                                     W("Журнал оповещений не прочитан из поврежденной базы")))
        << Cp1251::ToUtf8(count.problem);
    const AlertJournalSource::Page page =
        reader.Rows({}, AlertJournalSource::Order::Raised, true, 0, 200);
    EXPECT_TRUE(page.rows.empty());
    EXPECT_FALSE(page.problem.empty());
    EXPECT_TRUE(ReadFile(path) == std::string(8192, 'x'));

    // Damaged beyond the schema's pages: nothing rather than a part.
    ASSERT_TRUE(std::filesystem::remove(path));
    {
        CSqliteTrackStore store(path);
        std::vector<JournalEntry> many;
        for (int k = 0; k < 3000; ++k)
            many.push_back(Alert(k % 50, JournalKind::Alarm, Utc(6, 0).AddMinutes(k * 0.4)));
        ASSERT_TRUE(store.Append({}, many).ok);
    }
    std::string bytes = ReadFile(path);
    for (std::size_t at = 3 * 4096; at < bytes.size(); ++at)
        bytes[at] = static_cast<char>(0xA5 ^ (at * 7));
    WriteFile(path, bytes);
    const AlertJournalSource::Page damaged =
        reader.Rows({}, AlertJournalSource::Order::Raised, true, 0, 200);
    EXPECT_TRUE(damaged.rows.empty());
    EXPECT_FALSE(damaged.problem.empty());
    EXPECT_FALSE(reader.CountRows({}).problem.empty());
}
