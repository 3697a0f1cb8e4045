#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// What the inbox worker needs of whoever owns the store, and no more: the store lock,
// where the inbox is and whose files to take, a place for a file's records, the time for
// a log entry, and the things it reports. The console implements it.
class IntakeTarget {
public:
    virtual ~IntakeTarget() = default;

    // The store lock. The worker holds it while it applies a piece of a file's records
    // and records in its ledger how far the file is applied, so that a commit never sees
    // half of a piece and always knows where each file stands.
    virtual std::unique_lock<std::mutex> LockStore() = 0;
    // ---- with the store lock held ----
    // The inbox folder as the settings hold it.
    virtual std::string InboxFolderLocked() const = 0;
    // The numbers of the shown objects, in store order.
    virtual std::vector<int32_t> ShownNumbersLocked() const = 0;
    // Applies every record of a piece of a file (whole records) and queues their log
    // entries and the files they changed for the next commit.
    virtual void ApplyInboxBytesLocked(std::string_view bytes, const std::string& path) = 0;
    // The time stamp a log entry written now begins with.
    virtual std::string LogTimeLocked() const = 0;
    // ---- without the store lock ----
    // Before the worker takes a file or commits: true once the program folder is this
    // copy's (the single-instance lock is held) and a commit a crash left unfinished has
    // been finished. While false, nothing may be written, renamed or removed there.
    virtual bool PrepareToWrite() = 0;
    // The data files could not be written (`failing`), or can be again.
    virtual void SaveFailureChanged(bool failing) = 0;
    // A commit older than the state in the store has been carried out: the state must
    // be read from the disk again. What was applied since is dropped (its files are read
    // again), and `discardedCounted` of its records had been counted as messages.
    virtual void ReloadCommittedState(int discardedCounted) = 0;
    // A notice for the dispatcher about the inbox itself (Windows-1251): a file set aside,
    // an inbox that cannot be cleaned.
    virtual void ReportIntakeNotice(const std::string& text) = 0;
};
