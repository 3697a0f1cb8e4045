#include "SqliteTrackReader.h"

#include <sqlite3.h>

#include <utility>

#include "ReadOnlyConnection.h"
#include "TrackDatabase.h"
#include "base/Cp1251.h"
#include "platform/FileSystem.h"

namespace {

const char* const kWhat = "Маршрут";

}  // namespace

CSqliteTrackReader::CSqliteTrackReader(std::string path) : path_(std::move(path)) {}

TrackSource::Read CSqliteTrackReader::Points(int32_t object, DateTime fromUtc, DateTime toUtc) {
    Read read;
    // No store yet: no points. Opening it read-only would not make one, but SQLite would
    // call that "cannot open".
    if (!FileSystem::FileExists(path_))
        return read;
    CReadOnlyConnection c;
    int rc = c.Open(path_, kBusyMs);
    if (rc == SQLITE_OK) {
        // The unique index (object, message_time, receive_time) gives the order.
        rc = c.Prepare(
            "SELECT message_time, receive_time, latitude, longitude, speed,"
            " computed_speed, zone FROM points WHERE object = ?1"
            " AND message_time >= ?2 AND message_time < ?3"
            " ORDER BY message_time, receive_time");
    }
    if (rc != SQLITE_OK) {
        read.problem = c.Problem(W(kWhat), rc);
        return read;
    }
    sqlite3_stmt* const select = c.Statement();
    sqlite3_bind_int(select, 1, object);
    sqlite3_bind_int64(select, 2, CTrackDatabase::UnixMs(fromUtc));
    sqlite3_bind_int64(select, 3, CTrackDatabase::UnixMs(toUtc));
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
        TrackPoint p;
        p.objectNumber = object;
        p.messageTime = CTrackDatabase::FromUnixMs(sqlite3_column_int64(select, 0));
        p.receiveTime = CTrackDatabase::FromUnixMs(sqlite3_column_int64(select, 1));
        p.latitude = sqlite3_column_double(select, 2);
        p.longitude = sqlite3_column_double(select, 3);
        p.speedKmh = sqlite3_column_double(select, 4);
        p.computedSpeedKmh = sqlite3_column_int(select, 5);
        if (const unsigned char* zone = sqlite3_column_text(select, 6))
            p.zoneName = Cp1251::FromUtf8(reinterpret_cast<const char*>(zone));
        read.points.push_back(std::move(p));
    }
    if (rc != SQLITE_DONE) {
        // Damaged where the route lies (or gone unreadable): nothing rather than part.
        read.points.clear();
        read.problem = c.Problem(W(kWhat), rc);
    }
    return read;
}
