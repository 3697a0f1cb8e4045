// Reading the alert journal back as the journal window does: the number of rows a filter
// leaves, then one page of 200, from SntTracks.db holding a million alerts (a year of a
// thousand vehicles, about 2,700 alerts a day, the most of them acknowledged within ten
// minutes, those of the last two days and one in a hundred before them still open).
//
//   bench_journal_read [--alerts 1000000] [--vehicles 1000] [--runs 15] [--db PATH]
//
// The store is made with the program's schema (CSqliteTrackStore) and filled with
// multi-row inserts in one transaction. It goes to a fresh folder under
// $SENTREL_BENCH_DIR (default /tmp), removed at the end; with --db PATH it is made there
// and kept, and a later run with the same PATH only reads.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BenchArgs.h"
#include "BenchSupport.h"
#include "SqliteJournalReader.h"
#include "SqliteTrackStore.h"
#include "TrackDatabase.h"

namespace {

using bench::Arg;
using bench::Ms;
using bench::Steady;
using bench::TextArg;

constexpr int64_t kDayMs = 86400000;

bool Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "%s\n", error != nullptr ? error : "?");
    sqlite3_free(error);
    return false;
}

// A year of alerts ending at `endMs`, in the order they were raised.
bool Fill(const std::string& path, int alerts, int vehicles, int64_t endMs) {
    {
        // The program's schema, as the store makes it.
        CSqliteTrackStore store(path);
        if (!store.Append({}).ok)
            return false;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        return false;
    std::mt19937 random(7);
    const int64_t startMs = endMs - 365 * kDayMs;
    const int64_t step = (endMs - startMs) / alerts;
    const char* zones[] = {"'Склад №1'", "'Склад №2'", "'База'",  "'Аэропорт'",
                           "'Порт'",     "'Центр'",    "'Север'", "'Юг'"};
    bool ok = Exec(db, "BEGIN");
    std::string alertRows, ackRows;
    int64_t ackId = 0;
    for (int n = 0; ok && n < alerts; ++n) {
        const int64_t raised = startMs + n * step + static_cast<int64_t>(random() % step);
        const int object = static_cast<int>(random() % vehicles) + 1;
        const int kind = static_cast<int>(random() % 6) + 1;
        const bool zone = kind >= 3;
        const bool open = raised > endMs - 2 * kDayMs || random() % 100 == 0;
        std::string ack = "NULL, NULL";
        if (!open) {
            // One acknowledgement per alert keeps the bench simple; the reader joins them
            // the same way whatever they cover.
            const int64_t time = raised + static_cast<int64_t>(random() % 600000);
            ++ackId;
            ackRows += (ackRows.empty() ? "" : ",") + std::string("(") + std::to_string(ackId) +
                       "," + std::to_string(time) + ",'dispatcher" + std::to_string(ackId % 5) +
                       "')";
            ack = std::to_string(ackId) + "," + std::to_string(time);
        }
        alertRows += (alertRows.empty() ? "" : ",") + std::string("(") + std::to_string(raised) +
                     "," + std::to_string(object) + ",'Газель " + std::to_string(object) + "'," +
                     std::to_string(kind) + "," + (zone ? zones[object % 8] : "NULL") +
                     ",'Внимание!\r\nОбъект " + std::to_string(object) + " прибыл'," +
                     std::to_string(raised - 5000) + "," + std::to_string(raised + 10795000) + "," +
                     ack + ")";
        if ((n + 1) % 500 == 0 || n + 1 == alerts) {
            if (!ackRows.empty())
                ok = Exec(db, "INSERT INTO acknowledgements (id, time, account) VALUES " + ackRows);
            ok = ok && Exec(db,
                            "INSERT INTO alerts (raised, object, object_name, kind, zone, text,"
                            " message_time, receive_time, ack_id, ack_time) VALUES " +
                                alertRows);
            alertRows.clear();
            ackRows.clear();
        }
    }
    ok = ok && Exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

struct Case {
    const char* name;
    AlertJournalSource::Filter filter;
    AlertJournalSource::Order order = AlertJournalSource::Order::Raised;
    bool descending = true;
    int64_t offset = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int alerts = Arg(argc, argv, "--alerts", 1000000);
    const int vehicles = Arg(argc, argv, "--vehicles", 1000);
    const int runs = Arg(argc, argv, "--runs", 15);
    const char* dbArg = TextArg(argc, argv, "--db");

    bench::TempFolder folder;
    const std::string path = dbArg != nullptr ? dbArg : folder.path() + "/SntTracks.db";
    const DateTime end = DateTime::FromCalendar(2026, 12, 9);
    if (dbArg == nullptr || !FileSystem::FileExists(path)) {
        const Steady::time_point start = Steady::now();
        if (!Fill(path, alerts, vehicles, CTrackDatabase::UnixMs(end))) {
            std::fprintf(stderr, "could not make the store\n");
            return 1;
        }
        std::printf("store: %d alerts of %d vehicles written in %.1f s, %.0f MiB\n", alerts,
                    vehicles, Ms(Steady::now() - start) / 1000,
                    static_cast<double>(FileSystem::FileSize(path) +
                                        std::max<int64_t>(0, FileSystem::FileSize(path + "-wal"))) /
                        (1 << 20));
    }

    using Order = AlertJournalSource::Order;
    std::vector<Case> cases;
    cases.push_back({"no filter, newest first", {}});
    Case day{"one day (3 Dec), newest first", {}};
    day.filter.fromUtc = DateTime::FromCalendar(2026, 12, 3);
    day.filter.toUtc = DateTime::FromCalendar(2026, 12, 4);
    cases.push_back(day);
    Case vehicle{"one vehicle, newest first", {}};
    vehicle.filter.objects = {421};
    cases.push_back(vehicle);
    Case open{"only unacknowledged, newest first", {}};
    open.filter.onlyUnacknowledged = true;
    cases.push_back(open);
    Case handOver{"hand-over: unacknowledged before the run", {}};
    handOver.filter.onlyUnacknowledged = true;
    handOver.filter.toUtc = end.AddDays(-1);
    cases.push_back(handOver);
    cases.push_back({"deep page (offset 900,000)", {}, Order::Raised, true, 900000});
    Case kinds{"alarms and power-ons, by vehicle", {}, Order::Object, false};
    kinds.filter.kinds = JournalKindBit(JournalKind::Alarm) | JournalKindBit(JournalKind::PowerOn);
    cases.push_back(kinds);
    Case forbidden{"forbidden arrivals, newest first", {}};
    forbidden.filter.kinds = JournalKindBit(JournalKind::ForbiddenArrival);
    cases.push_back(forbidden);
    Case vehicleKind{"one vehicle's forbidden arrivals, newest first", {}};
    vehicleKind.filter.objects = {421};
    vehicleKind.filter.kinds = JournalKindBit(JournalKind::ForbiddenArrival);
    cases.push_back(vehicleKind);
    cases.push_back({"no filter, by zone", {}, Order::Zone, false});
    cases.push_back({"no filter, longest reaction first", {}, Order::Reaction, true});
    cases.push_back({"no filter, by acknowledgement", {}, Order::Acknowledged, false});
    Case vehicleReaction{"one vehicle, by reaction", {}, Order::Reaction, true};
    vehicleReaction.filter.objects = {421};
    cases.push_back(vehicleReaction);

    CSqliteJournalReader reader(path);
    std::printf("CountRows + Rows (200), %d runs each:                rows      median   slowest\n",
                runs);
    for (const Case& c : cases) {
        std::vector<double> times;
        int64_t rows = 0;
        for (int r = 0; r < runs; ++r) {
            const Steady::time_point start = Steady::now();
            const AlertJournalSource::Count count = reader.CountRows(c.filter);
            const AlertJournalSource::Page page =
                reader.Rows(c.filter, c.order, c.descending, c.offset, 200);
            times.push_back(Ms(Steady::now() - start));
            if (!count.problem.empty() || !page.problem.empty() ||
                (page.rows.empty() && count.rows > c.offset)) {
                std::fprintf(stderr, "%s: %s%s\n", c.name, Cp1251::ToUtf8(count.problem).c_str(),
                             Cp1251::ToUtf8(page.problem).c_str());
                return 1;
            }
            rows = count.rows;
        }
        std::sort(times.begin(), times.end());
        std::printf("  %-48s %8lld  %8.2f ms %8.2f ms\n", c.name, static_cast<long long>(rows),
                    times[times.size() / 2], times.back());
    }
    return 0;
}
