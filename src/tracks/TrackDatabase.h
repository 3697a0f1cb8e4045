#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "persist/JournalEntry.h"
#include "persist/TrackPoint.h"

struct sqlite3;
struct sqlite3_stmt;

// One connection to the track database (SQLite 3, WAL journal): the schema of
// docs/tracks.md (the points and the alert journal), the insert of one commit's points
// and journal entries and the removal of old points. Every
// member returns an SQLite result code (SQLITE_OK, SQLITE_DONE...); ErrorText says more.
// Not thread-safe: the owner serialises the calls.
class CTrackDatabase {
public:
    // Milliseconds since 1970-01-01 00:00 of the value's own clock (an OLE date).
    static int64_t UnixMs(const DateTime& t);
    // The value of such milliseconds (exact to well below a millisecond).
    static DateTime FromUnixMs(int64_t ms);
    // How many points one statement of RemoveBefore removes at most: the writer of the
    // commit waits for no longer than one such step.
    static constexpr int kRemoveStep = 5000;

    CTrackDatabase() = default;
    ~CTrackDatabase();
    CTrackDatabase(const CTrackDatabase&) = delete;
    CTrackDatabase& operator=(const CTrackDatabase&) = delete;

    // Opens or creates the file (a UTF-8 path), switches it to WAL and makes the schema.
    // A file that is no database, or is damaged where the schema lies, gives
    // SQLITE_NOTADB or SQLITE_CORRUPT. `busyMs`: how long a locked file is waited for.
    int Open(const std::string& utf8Path, int busyMs);
    bool IsOpen() const { return db_ != nullptr; }
    void Close();
    // One transaction; a point whose object, message time and receive time are already
    // there is left out. Then the journal's entries in their order: an alert already
    // there (object, message time, receive time, kind) is left out; an acknowledgement
    // marks every alert of its vehicles not acknowledged yet, and is left out when there
    // is none.
    int Insert(const std::vector<TrackPoint>& points,
               const std::vector<JournalEntry>& journal = {});
    // The oldest message time kept (`any` false when there is none).
    int OldestMessageTime(int64_t& ms, bool& any);
    // Removes up to kRemoveStep points with a message time before `beforeMs`, in one
    // transaction; `removed` says how many.
    int RemoveStepBefore(int64_t beforeMs, int& removed);
    std::string ErrorText() const;

private:
    int InsertAlert(const JournalAlert& alert);
    int InsertAck(const JournalAck& ack);
    int Exec(const char* sql);
    int Prepare(const char* sql, sqlite3_stmt** statement);

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* oldest_ = nullptr;
    sqlite3_stmt* remove_ = nullptr;
    sqlite3_stmt* insertAlert_ = nullptr;
    sqlite3_stmt* insertAck_ = nullptr;
    sqlite3_stmt* dropAck_ = nullptr;
};
