#include "TrackDatabase.h"

#include <sqlite3.h>

#include <cmath>

#include "base/Cp1251.h"

namespace {

// docs/tracks.md describes every column. The unique index is the one users query by
// (object, then time) and what keeps a point from being added twice.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS points ("
    " object INTEGER NOT NULL,"
    " message_time INTEGER NOT NULL,"
    " receive_time INTEGER NOT NULL,"
    " latitude REAL NOT NULL,"
    " longitude REAL NOT NULL,"
    " speed REAL NOT NULL,"
    " computed_speed INTEGER NOT NULL,"
    " zone TEXT);"
    "CREATE UNIQUE INDEX IF NOT EXISTS points_by_object_time"
    " ON points(object, message_time, receive_time);"
    "CREATE INDEX IF NOT EXISTS points_by_time ON points(message_time);";

// The OLE date of 1970-01-01 00:00.
constexpr double kUnixEpochDays = 25569.0;

}  // namespace

int64_t CTrackDatabase::UnixMs(const DateTime& t) {
    return std::llround((t.Linear() - kUnixEpochDays) * 86400000.0);
}

DateTime CTrackDatabase::FromUnixMs(int64_t ms) {
    return DateTime::FromLinear(static_cast<double>(ms) / 86400000.0 + kUnixEpochDays);
}

CTrackDatabase::~CTrackDatabase() {
    Close();
}

void CTrackDatabase::Close() {
    for (sqlite3_stmt** s : {&insert_, &oldest_, &remove_}) {
        sqlite3_finalize(*s);
        *s = nullptr;
    }
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

int CTrackDatabase::Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

int CTrackDatabase::Prepare(const char* sql, sqlite3_stmt** statement) {
    return sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr);
}

int CTrackDatabase::Open(const std::string& utf8Path, int busyMs) {
    Close();
    int rc =
        sqlite3_open_v2(utf8Path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db_, 0);
        sqlite3_busy_timeout(db_, busyMs);
        // journal_mode reads the header: a file that is no database says so here.
        // synchronous=FULL: a commit's points are on the disk before its journal and
        // before its inbox files go, also when the power fails. Every commit touches a
        // page of the object index per object it has points of: a WAL of 4000 pages
        // (16 MiB) before it is written back lets a page written by many commits go back
        // once, and 16 MiB of cache holds those pages of a thousand objects.
        rc = Exec(
            "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA wal_autocheckpoint=4000;"
            " PRAGMA cache_size=-16384;");
    }
    if (rc == SQLITE_OK)
        rc = Exec(kSchema);
    if (rc == SQLITE_OK)
        rc = Prepare(
            "INSERT OR IGNORE INTO points (object, message_time, receive_time, latitude, "
            "longitude, speed, computed_speed, zone) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
            &insert_);
    if (rc == SQLITE_OK)
        rc = Prepare("SELECT MIN(message_time) FROM points", &oldest_);
    if (rc == SQLITE_OK)
        rc = Prepare(
            "DELETE FROM points WHERE rowid IN (SELECT rowid FROM points WHERE message_time < ?1 "
            "LIMIT ?2)",
            &remove_);
    if (rc != SQLITE_OK && db_ != nullptr) {
        // The code stays; the connection goes (ErrorText is gone with it).
        Close();
    }
    return rc;
}

int CTrackDatabase::Insert(const std::vector<TrackPoint>& points) {
    int rc = Exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return rc;
    for (const TrackPoint& p : points) {
        sqlite3_reset(insert_);
        sqlite3_bind_int(insert_, 1, p.objectNumber);
        sqlite3_bind_int64(insert_, 2, UnixMs(p.messageTime));
        sqlite3_bind_int64(insert_, 3, UnixMs(p.receiveTime));
        sqlite3_bind_double(insert_, 4, p.latitude);
        sqlite3_bind_double(insert_, 5, p.longitude);
        // A reported speed that is no number is kept as 0 rather than refused.
        if (std::isfinite(p.speedKmh))
            sqlite3_bind_double(insert_, 6, p.speedKmh);
        else
            sqlite3_bind_double(insert_, 6, 0.0);
        sqlite3_bind_int(insert_, 7, p.computedSpeedKmh);
        if (p.zoneName.empty())
            sqlite3_bind_null(insert_, 8);
        else
            sqlite3_bind_text(insert_, 8, Cp1251::ToUtf8(p.zoneName).c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(insert_);
        if (rc != SQLITE_DONE)
            break;
        rc = SQLITE_OK;
    }
    sqlite3_reset(insert_);
    if (rc == SQLITE_OK)
        rc = Exec("COMMIT");
    if (rc != SQLITE_OK)
        Exec("ROLLBACK");
    return rc;
}

int CTrackDatabase::OldestMessageTime(int64_t& ms, bool& any) {
    sqlite3_reset(oldest_);
    int rc = sqlite3_step(oldest_);
    if (rc == SQLITE_ROW) {
        any = sqlite3_column_type(oldest_, 0) != SQLITE_NULL;
        ms = sqlite3_column_int64(oldest_, 0);
        rc = SQLITE_OK;
    }
    sqlite3_reset(oldest_);
    return rc;
}

int CTrackDatabase::RemoveStepBefore(int64_t beforeMs, int& removed) {
    removed = 0;
    sqlite3_reset(remove_);
    sqlite3_bind_int64(remove_, 1, beforeMs);
    sqlite3_bind_int(remove_, 2, kRemoveStep);
    int rc = sqlite3_step(remove_);
    if (rc == SQLITE_DONE) {
        removed = sqlite3_changes(db_);
        rc = SQLITE_OK;
    }
    sqlite3_reset(remove_);
    return rc;
}

std::string CTrackDatabase::ErrorText() const {
    return db_ != nullptr ? sqlite3_errmsg(db_) : std::string();
}
