// The journal window over a journal of a million alerts: the time from opening the window
// to its first page shown, and from each change of the filter or the order to the new
// rows shown (the count and the first page read on the model's thread, the table painted).
//
//   xvfb-run -a bench_journal_window [--alerts 1000000] [--runs 5] [--db PATH]
//   QT_QPA_PLATFORM=offscreen bench_journal_window
//
// The store (SntTracks.db with the journal's schema, made by the track database itself)
// is filled with multi-row inserts in one transaction: alerts over 90 days up to the
// bench's "now", 1,000 vehicles, every kind, zones for the zone events, nine in ten
// acknowledged within two hours. It goes to a fresh folder under $SENTREL_BENCH_DIR
// (default /tmp), removed at the end; with --db PATH it is made there once and kept.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "BenchSupport.h"
#include "SqliteJournalReader.h"
#include "TrackDatabase.h"
#include "journal/JournalModel.h"
#include "journal/JournalWindow.h"
#include "platform/Clock.h"

namespace {

// "Now" of the bench: the journal ends here (local = UTC, no offset).
const DateTime kNow = DateTime::FromCalendar(2026, 12, 6, 12, 0, 0);
constexpr int kVehicles = 1000;

bool Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        return false;
    }
    return true;
}

struct AlertRow {
    int64_t id, raised, ackId, ackTime;
    int object, kind;
    std::string zone;  // empty: NULL
};

// Multi-row inserts of the rows gathered, in one statement.
bool InsertAlerts(sqlite3* db, const std::vector<AlertRow>& rows) {
    std::string sql =
        "INSERT INTO alerts (id, raised, object, object_name, kind, zone, text, message_time,"
        " receive_time, ack_id, ack_time) VALUES ";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        sql += i == 0 ? "(?,?,?,?,?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?,?,?,?,?)";
    }
    sqlite3_stmt* s = nullptr;
    if (!Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), db, "prepare")) {
        return false;
    }
    int at = 0;
    for (const AlertRow& r : rows) {
        const std::string name = "Машина " + std::to_string(r.object);
        const std::string text = "Тревога на объекте " + std::to_string(r.object) + "-" + name;
        sqlite3_bind_int64(s, ++at, r.id);
        sqlite3_bind_int64(s, ++at, r.raised);
        sqlite3_bind_int(s, ++at, r.object);
        sqlite3_bind_text(s, ++at, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, ++at, r.kind);
        if (r.zone.empty()) {
            sqlite3_bind_null(s, ++at);
        } else {
            sqlite3_bind_text(s, ++at, r.zone.c_str(), -1, SQLITE_TRANSIENT);
        }
        sqlite3_bind_text(s, ++at, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, ++at, r.raised - 2000);
        sqlite3_bind_int64(s, ++at, r.raised - 1000);
        if (r.ackId > 0) {
            sqlite3_bind_int64(s, ++at, r.ackId);
            sqlite3_bind_int64(s, ++at, r.ackTime);
        } else {
            sqlite3_bind_null(s, ++at);
            sqlite3_bind_null(s, ++at);
        }
    }
    const bool ok = Check(sqlite3_step(s), db, "insert alerts");
    sqlite3_finalize(s);
    if (!ok) {
        return false;
    }
    // The acknowledgements of these rows, one each.
    std::string acks = "INSERT INTO acknowledgements (id, time, account) VALUES ";
    bool any = false;
    for (const AlertRow& r : rows) {
        if (r.ackId > 0) {
            acks += (any ? ",(" : "(") + std::to_string(r.ackId) + "," + std::to_string(r.ackTime) +
                    ",'dispatcher')";
            any = true;
        }
    }
    return !any || Check(sqlite3_exec(db, acks.c_str(), nullptr, nullptr, nullptr), db,
                         "insert acknowledgements");
}

bool MakeJournal(const std::string& path, int alerts) {
    {
        CTrackDatabase schema;
        if (schema.Open(path, 1000) != SQLITE_OK) {
            std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), schema.ErrorText().c_str());
            return false;
        }
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        return false;
    }
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
    constexpr std::size_t kRowsPerInsert = 50;
    std::mt19937 random(7);
    const int64_t endMs = CTrackDatabase::UnixMs(kNow);
    const int64_t spanMs = 90LL * 86400000;
    const int64_t stepMs = spanMs / alerts;
    int64_t acks = 0;
    std::vector<AlertRow> batch;
    for (int i = 0; i < alerts; ++i) {
        AlertRow r{};
        r.id = i + 1;
        r.raised = endMs - spanMs + i * stepMs + static_cast<int64_t>(random() % 1000);
        r.object = static_cast<int>(random() % kVehicles) + 1;
        r.kind = static_cast<int>(random() % 6) + 1;
        if (r.kind >= 3) {
            r.zone = "Район " + std::to_string(random() % 200);
        }
        if (r.raised < endMs - 3600000 && random() % 10 != 0) {
            r.ackId = ++acks;
            r.ackTime = r.raised + 5000 + static_cast<int64_t>(random() % 7200000);
        }
        batch.push_back(std::move(r));
        if (batch.size() == kRowsPerInsert || i + 1 == alerts) {
            if (!InsertAlerts(db, batch)) {
                sqlite3_close(db);
                return false;
            }
            batch.clear();
        }
    }
    const bool ok = Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
    return ok;
}

struct Step {
    const char* name;
    std::function<void(CJournalWindow&)> change;
};

// Until the model has the count and the first page of what is in force, and the table
// has painted them.
double WaitShown(CJournalWindow& window, QElapsedTimer& timer) {
    while (!window.Model()->Settled()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    window.Table()->viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
}

void Report(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %8.1f ms   max %8.1f ms\n", name, ms[ms.size() / 2], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Only the steps timed ask the store: the window's own look for changes is left out.
    CJournalWindow::SetLookInterval(0);
    int alerts = 1000000;
    int runs = 5;
    std::string dbPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--alerts") == 0) {
            alerts = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--db") == 0) {
            dbPath = argv[i + 1];
        }
    }
    std::unique_ptr<bench::TempFolder> folder;
    if (dbPath.empty()) {
        folder = std::make_unique<bench::TempFolder>();
        dbPath = folder->path() + "/SntTracks.db";
    }
    if (FileSystem::FileSize(dbPath) <= 0) {
        QElapsedTimer made;
        made.start();
        if (!MakeJournal(dbPath, alerts)) {
            return 1;
        }
        std::printf("made %s: %d alerts in %.1f s\n", dbPath.c_str(), alerts,
                    made.elapsed() / 1000.0);
    }
    FixedClock clock(kNow, 0);
    auto journal = std::make_shared<CSqliteJournalReader>(dbPath);
    CJournalWindow::Input input;
    for (int n = 1; n <= kVehicles; ++n) {
        AddressBookEntry entry;
        entry.number = n;
        entry.id = std::to_string(n);
        entry.name = "Machine";
        input.objects.push_back(entry);
    }
    const std::vector<Step> steps = {
        {"filter: only unacknowledged", [](CJournalWindow& w) { w.SetOnlyUnacknowledged(true); }},
        {"filter: all again", [](CJournalWindow& w) { w.SetOnlyUnacknowledged(false); }},
        {"filter: period yesterday", [](CJournalWindow& w) { w.YesterdayButton()->click(); }},
        {"filter: + one vehicle",
         [](CJournalWindow& w) { w.Vehicles()->item(41)->setCheckState(Qt::Checked); }},
        {"filter: one vehicle, all time",
         [](CJournalWindow& w) { w.PeriodBox()->setChecked(false); }},
        {"filter: every vehicle, alarms left out",
         [](CJournalWindow& w) {
             w.Vehicles()->item(41)->setCheckState(Qt::Unchecked);
             w.KindBox(JournalKind::Alarm)->setChecked(false);
         }},
        {"order: reaction, ascending",
         [](CJournalWindow& w) {
             w.Table()->horizontalHeader()->setSortIndicator(CJournalModel::kReaction,
                                                             Qt::AscendingOrder);
         }},
        {"order: vehicle, descending",
         [](CJournalWindow& w) {
             w.Table()->horizontalHeader()->setSortIndicator(CJournalModel::kObject,
                                                             Qt::DescendingOrder);
         }},
        {"order: zone, ascending",
         [](CJournalWindow& w) {
             w.Table()->horizontalHeader()->setSortIndicator(CJournalModel::kZone,
                                                             Qt::AscendingOrder);
         }},
        {"order: time, newest first; alarms back",
         [](CJournalWindow& w) {
             w.KindBox(JournalKind::Alarm)->setChecked(true);
             w.Table()->horizontalHeader()->setSortIndicator(CJournalModel::kTime,
                                                             Qt::DescendingOrder);
         }},
    };
    std::vector<double> opening;
    std::vector<std::vector<double>> changes(steps.size());
    int64_t rows = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        CJournalWindow window(input, journal, nullptr, clock);
        // The window's own size, whatever the (virtual) screen: the same rows painted.
        window.resize(1320, 640);
        window.show();
        opening.push_back(WaitShown(window, timer));
        rows = window.Model()->Total();
        for (std::size_t s = 0; s < steps.size(); ++s) {
            timer.restart();
            steps[s].change(window);
            changes[s].push_back(WaitShown(window, timer));
        }
    }
    std::printf("journal of %lld alerts, %d runs\n", static_cast<long long>(rows), runs);
    Report("open: first page shown", opening);
    for (std::size_t s = 0; s < steps.size(); ++s) {
        Report(steps[s].name, changes[s]);
    }
    return 0;
}
