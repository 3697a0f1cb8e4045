#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TrackDatabase.h"
#include "persist/TrackSink.h"

// The track store: every applied position, and the alert journal, in the SQLite database
// SntTracks.db in the program folder (docs/tracks.md). The group commit appends each
// batch's points and journal entries in one transaction (CTrackDatabase::Insert); a background
// thread removes points older than the retention a day at a time, in steps of its own transactions,
// taking this store's lock for one step only and the console's store lock never.
//
// A database that cannot be written leaves the caller to go on without it (Append
// says why). A damaged one (not a database, or damaged where it is read) is set aside
// under SntTracks.db.damaged-YYYYMMDD-HHMMSS, its WAL beside it, and a fresh one is
// started; nothing is ever deleted.
//
// Threads: Append on the inbox worker (inside the commit), StartRetention once, the
// retention on its own thread; one connection, guarded by mutex_.
class CSqliteTrackStore : public TrackSink {
public:
    // How long a database locked by another program is waited for, per statement.
    static constexpr int kBusyMs = 1000;
    // The retention looks again this often, and rests this long after each day removed.
    static constexpr int kRetentionPeriodMs = 60 * 60 * 1000;
    static constexpr int kRetentionRestMs = 200;

    // `path`: the database file (Windows-1251, as every path of the core).
    explicit CSqliteTrackStore(std::string path);
    ~CSqliteTrackStore() override;
    CSqliteTrackStore(const CSqliteTrackStore&) = delete;
    CSqliteTrackStore& operator=(const CSqliteTrackStore&) = delete;

    using TrackSink::Append;
    Written Append(const std::vector<TrackPoint>& points,
                   const std::vector<JournalEntry>& journal) override;
    void StartRetention(int days) override;
    std::string Location() const override { return path_; }

    // One day of the retention: the points of the oldest day kept (UTC calendar day of
    // the message time) that are older than `days` days before `nowMs` (milliseconds
    // since 1970 UTC) are removed, a step at a time. Returns how many were removed, -1
    // when the database refused; 0 when nothing is that old.
    int64_t RemoveOldestDay(int days, int64_t nowMs);
    // Stops the retention thread and waits for it.
    void StopRetention();

private:
    // With mutex_ held. Opens the database when it is not open; SQLITE_OK or the code.
    int OpenLocked(std::string& setAsidePath);
    // With mutex_ held: a damaged database is closed and renamed; false when it could
    // not be set aside.
    bool SetAsideLocked(std::string& setAsidePath);
    static bool IsDamage(int rc);
    static std::string Problem(int rc, const std::string& detail);
    void RetentionLoop(int days);

    const std::string path_;
    std::mutex mutex_;
    CTrackDatabase db_;
    // A damaged file set aside outside Append (at the start, by the retention): told
    // with the next Append.
    std::string setAsideUnreported_;

    std::mutex retentionMutex_;
    std::condition_variable retentionWake_;
    bool stopRetention_ = false;
    std::thread retention_;
};
