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
    "CREATE INDEX IF NOT EXISTS points_by_time ON points(message_time);"
    // The alert journal. ack_time repeats the acknowledgement's time so that the journal
    // can be ordered by it, and by the reaction time, through an index.
    "CREATE TABLE IF NOT EXISTS acknowledgements ("
    " id INTEGER PRIMARY KEY,"
    " time INTEGER NOT NULL,"
    " account TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS alerts ("
    " id INTEGER PRIMARY KEY,"
    " raised INTEGER NOT NULL,"
    " object INTEGER NOT NULL,"
    " object_name TEXT NOT NULL,"
    " kind INTEGER NOT NULL,"
    " zone TEXT,"
    " text TEXT NOT NULL,"
    " message_time INTEGER NOT NULL,"
    " receive_time INTEGER NOT NULL,"
    " ack_id INTEGER REFERENCES acknowledgements(id),"
    " ack_time INTEGER);"
    "CREATE UNIQUE INDEX IF NOT EXISTS alerts_once"
    " ON alerts(object, message_time, receive_time, kind);"
    "CREATE INDEX IF NOT EXISTS alerts_by_raised ON alerts(raised);"
    "CREATE INDEX IF NOT EXISTS alerts_by_object ON alerts(object);"
    "CREATE INDEX IF NOT EXISTS alerts_by_kind ON alerts(kind);"
    "CREATE INDEX IF NOT EXISTS alerts_by_zone ON alerts(zone);"
    "CREATE INDEX IF NOT EXISTS alerts_by_ack ON alerts(ack_time IS NULL, ack_time);"
    "CREATE INDEX IF NOT EXISTS alerts_by_reaction"
    " ON alerts(ack_time IS NULL, ack_time - raised);"
    "CREATE INDEX IF NOT EXISTS alerts_unacknowledged ON alerts(raised) WHERE ack_id IS NULL;"
    "CREATE INDEX IF NOT EXISTS alerts_unacknowledged_by_object"
    " ON alerts(object, raised) WHERE ack_id IS NULL;";

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
    for (sqlite3_stmt** s : {&insert_, &oldest_, &remove_, &insertAlert_, &insertAck_, &dropAck_}) {
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
    if (rc == SQLITE_OK)
        rc = Prepare(
            "INSERT OR IGNORE INTO alerts (raised, object, object_name, kind, zone, text, "
            "message_time, receive_time) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
            &insertAlert_);
    if (rc == SQLITE_OK)
        rc = Prepare("INSERT INTO acknowledgements (time, account) VALUES (?1, ?2)", &insertAck_);
    if (rc == SQLITE_OK)
        rc = Prepare("DELETE FROM acknowledgements WHERE id = ?1", &dropAck_);
    if (rc != SQLITE_OK && db_ != nullptr) {
        // The code stays; the connection goes (ErrorText is gone with it).
        Close();
    }
    return rc;
}

int CTrackDatabase::InsertAlert(const JournalAlert& a) {
    sqlite3_reset(insertAlert_);
    sqlite3_bind_int64(insertAlert_, 1, UnixMs(a.raisedUtc));
    sqlite3_bind_int(insertAlert_, 2, a.objectNumber);
    sqlite3_bind_text(insertAlert_, 3, Cp1251::ToUtf8(a.objectName).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insertAlert_, 4, static_cast<int>(a.kind));
    if (a.zoneName.empty())
        sqlite3_bind_null(insertAlert_, 5);
    else
        sqlite3_bind_text(insertAlert_, 5, Cp1251::ToUtf8(a.zoneName).c_str(), -1,
                          SQLITE_TRANSIENT);
    sqlite3_bind_text(insertAlert_, 6, Cp1251::ToUtf8(a.text).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(insertAlert_, 7, UnixMs(a.messageTime));
    sqlite3_bind_int64(insertAlert_, 8, UnixMs(a.receiveTime));
    const int rc = sqlite3_step(insertAlert_);
    sqlite3_reset(insertAlert_);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int CTrackDatabase::InsertAck(const JournalAck& ack) {
    if (ack.objects.empty())
        return SQLITE_OK;
    sqlite3_reset(insertAck_);
    const int64_t time = UnixMs(ack.timeUtc);
    sqlite3_bind_int64(insertAck_, 1, time);
    sqlite3_bind_text(insertAck_, 2, Cp1251::ToUtf8(ack.account).c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(insertAck_);
    sqlite3_reset(insertAck_);
    if (rc != SQLITE_DONE)
        return rc;
    const int64_t id = sqlite3_last_insert_rowid(db_);
    // The numbers are integers of our own: written into the statement, which the partial
    // index of the alerts not acknowledged yet answers.
    std::string sql = "UPDATE alerts SET ack_id = " + std::to_string(id) +
                      ", ack_time = " + std::to_string(time) +
                      " WHERE ack_id IS NULL AND object IN (";
    for (std::size_t k = 0; k < ack.objects.size(); ++k) {
        if (k > 0)
            sql += ',';
        sql += std::to_string(ack.objects[k]);
    }
    sql += ')';
    rc = Exec(sql.c_str());
    if (rc != SQLITE_OK)
        return rc;
    if (sqlite3_changes(db_) > 0)
        return SQLITE_OK;
    // It covered nothing: an acknowledgement is never kept without its alerts.
    sqlite3_reset(dropAck_);
    sqlite3_bind_int64(dropAck_, 1, id);
    rc = sqlite3_step(dropAck_);
    sqlite3_reset(dropAck_);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int CTrackDatabase::Insert(const std::vector<TrackPoint>& points,
                           const std::vector<JournalEntry>& journal) {
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
    for (std::size_t k = 0; rc == SQLITE_OK && k < journal.size(); ++k) {
        if (const JournalAlert* alert = std::get_if<JournalAlert>(&journal[k]))
            rc = InsertAlert(*alert);
        else
            rc = InsertAck(std::get<JournalAck>(journal[k]));
    }
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
