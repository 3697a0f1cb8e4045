#include "SqliteTrackReader.h"

#include <sqlite3.h>

#include <utility>

#include "TrackDatabase.h"
#include "base/Cp1251.h"
#include "platform/FileSystem.h"

namespace {

// The statement and the connection, closed on every way out.
struct Connection {
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    ~Connection() {
        sqlite3_finalize(select);
        sqlite3_close_v2(db);
    }
};

std::string Problem(int rc, sqlite3* db) {
    std::string text = W("Маршрут не прочитан из ");
    switch (rc) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            text += W("поврежденной базы");
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            text += W("базы, занятой другой программой");
            break;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH:
            text += W("базы, к которой нет доступа");
            break;
        default:
            text += W("базы");
            break;
    }
    const char* detail = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    text += " (";
    text += Cp1251::FromUtf8(detail != nullptr ? detail : sqlite3_errstr(rc));
    text += ")";
    return text;
}

}  // namespace

CSqliteTrackReader::CSqliteTrackReader(std::string path) : path_(std::move(path)) {}

TrackSource::Read CSqliteTrackReader::Points(int32_t object, DateTime fromUtc, DateTime toUtc) {
    Read read;
    // No store yet: no points. Opening it read-only would not make one, but SQLite would
    // call that "cannot open".
    if (!FileSystem::FileExists(path_))
        return read;
    Connection c;
    int rc = sqlite3_open_v2(Cp1251::ToUtf8(path_).c_str(), &c.db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(c.db, 0);
        sqlite3_busy_timeout(c.db, kBusyMs);
        // The unique index (object, message_time, receive_time) gives the order.
        rc = sqlite3_prepare_v2(c.db,
                                "SELECT message_time, receive_time, latitude, longitude, speed,"
                                " computed_speed, zone FROM points WHERE object = ?1"
                                " AND message_time >= ?2 AND message_time < ?3"
                                " ORDER BY message_time, receive_time",
                                -1, &c.select, nullptr);
    }
    if (rc != SQLITE_OK) {
        read.problem = Problem(rc, c.db);
        return read;
    }
    sqlite3_bind_int(c.select, 1, object);
    sqlite3_bind_int64(c.select, 2, CTrackDatabase::UnixMs(fromUtc));
    sqlite3_bind_int64(c.select, 3, CTrackDatabase::UnixMs(toUtc));
    while ((rc = sqlite3_step(c.select)) == SQLITE_ROW) {
        TrackPoint p;
        p.objectNumber = object;
        p.messageTime = CTrackDatabase::FromUnixMs(sqlite3_column_int64(c.select, 0));
        p.receiveTime = CTrackDatabase::FromUnixMs(sqlite3_column_int64(c.select, 1));
        p.latitude = sqlite3_column_double(c.select, 2);
        p.longitude = sqlite3_column_double(c.select, 3);
        p.speedKmh = sqlite3_column_double(c.select, 4);
        p.computedSpeedKmh = sqlite3_column_int(c.select, 5);
        if (const unsigned char* zone = sqlite3_column_text(c.select, 6))
            p.zoneName = Cp1251::FromUtf8(reinterpret_cast<const char*>(zone));
        read.points.push_back(std::move(p));
    }
    if (rc != SQLITE_DONE) {
        // Damaged where the route lies (or gone unreadable): nothing rather than part.
        read.points.clear();
        read.problem = Problem(rc, c.db);
    }
    return read;
}
