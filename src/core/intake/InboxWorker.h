#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "intake/IntakeTarget.h"
#include "persist/StateCommitter.h"
#include "platform/Clock.h"
#include "platform/DirectoryWatch.h"
#include "platform/FileSystem.h"
#include "platform/ManualResetEvent.h"

// The road of a message from the inbox into the store and onto the disk: one listing per
// pass, each file's records applied in memory under the store lock, and a group commit
// (CStateCommitter) of what a batch changed before the batch's inbox files are deleted.
//
// A pass starts when the polling period ends or, sooner, when the inbox folder changes
// or the window asks for a save. A file still being written is left for a later pass:
// one whose records are not all there yet (IsCompleteInboxFile) is taken only when it
// has not changed for kSettleMs, measured from its modification time or from when this
// worker first saw it as it is now. While the data files cannot be written, no new file
// is taken and the commit is tried again about once a second; the window is told once.
class CInboxWorker {
public:
    // A batch is committed when it holds this many files, has been collecting this long,
    // or its log entries reach this size.
    static constexpr std::size_t kBatchFiles = 1000;
    static constexpr int kBatchMs = 50;
    static constexpr std::size_t kBatchLogBytes = 1 << 20;
    // Saves the window asks for (layout, operator commands) are gathered this long.
    static constexpr int kSaveDelayMs = 200;
    static constexpr int kSettleMs = 5000;
    static constexpr int kRetryMs = 1000;

    // `stop` ends Run; the records go to `target`, the batches to `committer`; `clock`
    // says which day it is (the order of a backlog over a month end).
    CInboxWorker(IntakeTarget& target, CStateCommitter& committer, const Clock& clock,
                 const ManualResetEvent& stop);
    CInboxWorker(const CInboxWorker&) = delete;
    CInboxWorker& operator=(const CInboxWorker&) = delete;

    // The worker thread's loop; returns once the stop event is set,
    // after committing what it applied.
    void Run(int periodMs);
    // Any thread: start the next pass now.
    void Wake() { wake_.Set(); }
    // One pass and the commit of everything pending (tests, and the console's
    // synchronous PollOnce).
    void PassAndCommit();
    // Writes everything pending now; false when it could not be written.
    bool Commit();
    // The store is being replaced: what was applied and not committed will be read again
    // from its files. Call with the worker stopped, without the store lock.
    void DiscardBatch();
    // Inbox files already committed that could not be deleted (found at start-up); any
    // thread, with or without the store lock.
    void AddUndeletable(const std::vector<std::string>& paths);

private:
    using SteadyTime = std::chrono::steady_clock::time_point;

    // One pass over the inbox. Returns without taking files while saves fail.
    void Pass();
    enum class Taken { No, Yes, BatchFull };
    // Reads, checks and applies one file; BatchFull when the batch is to be committed.
    Taken TakeFile(const std::string& path, SteadyTime now, SteadyTime batchStart);
    bool Settled(const std::string& path, const FileSystem::FileStamp& stamp, SteadyTime now);
    bool BatchFullLocked(SteadyTime batchStart) const;
    void CommitLocked();  // with mutex_ held

    IntakeTarget& target_;
    CStateCommitter& committer_;
    const Clock& clock_;
    const ManualResetEvent& stop_;
    ManualResetEvent wake_;
    CDirectoryWatch watch_;
    std::string watchedFolder_;

    // Guards everything below; taken before the store lock, never under it.
    std::mutex mutex_;
    // Applied, waiting for the commit that deletes them: not read again meanwhile.
    std::map<std::string, FileSystem::FileStamp> batch_;
    // Committed but not deleted, with their stamp when read: applied again only once
    // they have changed.
    std::map<std::string, FileSystem::FileStamp> undeletable_;
    // Incomplete files seen, with their stamp and since when it has not changed.
    struct Unsettled {
        FileSystem::FileStamp stamp;
        SteadyTime since;
    };
    std::map<std::string, Unsettled> unsettled_;
    SteadyTime lastAttempt_{};
    // Handed in by AddUndeletable, taken over by the next pass.
    std::mutex handedInMutex_;
    std::vector<std::string> handedIn_;
    bool reportedFailing_ = false;
};
