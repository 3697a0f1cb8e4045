#include "SqliteTrackStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <utility>

#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "platform/FileSystem.h"

namespace {

constexpr int64_t kDayMs = 86400000;

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// "20261206-154501" of the local time now.
std::string LocalStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

CSqliteTrackStore::CSqliteTrackStore(std::string path) : path_(std::move(path)) {}

CSqliteTrackStore::~CSqliteTrackStore() {
    StopRetention();
}

bool CSqliteTrackStore::IsDamage(int rc) {
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

std::string CSqliteTrackStore::Problem(int rc, const std::string& detail) {
    std::string text;
    switch (rc) {
        case SQLITE_FULL:
            text = W("на диске нет места");
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            text = W("база занята другой программой");
            break;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
        case SQLITE_AUTH:
            text = W("нет доступа к файлу базы");
            break;
        case SQLITE_IOERR:
            text = W("ошибка чтения или записи на диске");
            break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            text = W("база повреждена, и отложить ее под другим именем не удалось");
            break;
        default:
            text = W("ошибка SQLite");
            break;
    }
    text += " (";
    text += detail.empty() ? sqlite3_errstr(rc) : detail;
    text += ")";
    return text;
}

bool CSqliteTrackStore::SetAsideLocked(std::string& setAsidePath) {
    db_.Close();
    const std::string base = path_ + ".damaged-" + LocalStamp();
    std::string aside = base;
    for (int n = 2; FileSystem::FileExists(aside) || FileSystem::FileExists(aside + "-wal"); ++n)
        aside = base + "-" + std::to_string(n);
    if (!FileSystem::RenameOver(path_, aside))
        return false;
    // The WAL may hold the last transactions: it goes with the file, under the name SQLite
    // looks for beside it.
    for (const char* suffix : {"-wal", "-shm"}) {
        if (FileSystem::FileExists(path_ + suffix))
            FileSystem::RenameOver(path_ + suffix, aside + suffix);
    }
    setAsidePath = aside;
    return true;
}

int CSqliteTrackStore::OpenLocked(std::string& setAsidePath) {
    if (db_.IsOpen())
        return SQLITE_OK;
    const std::string utf8 = Cp1251::ToUtf8(path_);
    int rc = db_.Open(utf8, kBusyMs);
    if (IsDamage(rc) && SetAsideLocked(setAsidePath))
        rc = db_.Open(utf8, kBusyMs);
    return rc;
}

TrackSink::Written CSqliteTrackStore::Append(const std::vector<TrackPoint>& points,
                                             const std::vector<JournalEntry>& journal) {
    Written written;
    std::lock_guard<std::mutex> lock(mutex_);
    written.setAsidePath = std::exchange(setAsideUnreported_, std::string());
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        rc = OpenLocked(written.setAsidePath);
        if (rc == SQLITE_OK)
            rc = db_.Insert(points, journal);
        if (rc == SQLITE_OK) {
            written.ok = true;
            return written;
        }
        // Damaged where the insert reached it: set aside, and the points and the journal's
        // entries go to a fresh one.
        if (!IsDamage(rc) || attempt > 0 || !SetAsideLocked(written.setAsidePath))
            break;
    }
    written.problem = Problem(rc, db_.ErrorText());
    // A full disk or a lock pass; after anything else the file is opened anew.
    if (rc != SQLITE_FULL && rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
        db_.Close();
    return written;
}

void CSqliteTrackStore::StartRetention(int days) {
    {
        // A damaged file is found, and set aside, at the start.
        std::lock_guard<std::mutex> lock(mutex_);
        OpenLocked(setAsideUnreported_);
    }
    if (days <= 0 || retention_.joinable())
        return;
    retention_ = std::thread([this, days] { RetentionLoop(days); });
}

void CSqliteTrackStore::StopRetention() {
    {
        std::lock_guard<std::mutex> lock(retentionMutex_);
        stopRetention_ = true;
    }
    retentionWake_.notify_all();
    if (retention_.joinable())
        retention_.join();
}

void CSqliteTrackStore::RetentionLoop(int days) {
    std::unique_lock<std::mutex> lock(retentionMutex_);
    while (!stopRetention_) {
        lock.unlock();
        const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
        const int64_t removed = RemoveOldestDay(days, nowMs);
        lock.lock();
        // Day after day with a rest in between, then once an hour.
        retentionWake_.wait_for(
            lock, std::chrono::milliseconds(removed > 0 ? kRetentionRestMs : kRetentionPeriodMs),
            [this] { return stopRetention_; });
    }
}

int64_t CSqliteTrackStore::RemoveOldestDay(int days, int64_t nowMs) {
    if (days <= 0)
        return 0;
    const int64_t cutoff = nowMs - int64_t{days} * kDayMs;
    int64_t before;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int64_t oldest = 0;
        bool any = false;
        if (OpenLocked(setAsideUnreported_) != SQLITE_OK ||
            db_.OldestMessageTime(oldest, any) != SQLITE_OK)
            return -1;
        if (!any || oldest >= cutoff)
            return 0;
        before = std::min(cutoff, (FloorDiv(oldest, kDayMs) + 1) * kDayMs);
    }
    int64_t total = 0;
    for (;;) {
        // The lock for one step only: the commit's points wait no longer than that.
        std::lock_guard<std::mutex> lock(mutex_);
        int removed = 0;
        if (OpenLocked(setAsideUnreported_) != SQLITE_OK ||
            db_.RemoveStepBefore(before, removed) != SQLITE_OK)
            return total > 0 ? total : -1;
        total += removed;
        if (removed < CTrackDatabase::kRemoveStep)
            return total;
    }
}
