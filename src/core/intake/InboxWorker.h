#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "intake/IntakeTarget.h"
#include "persist/InboxLedger.h"
#include "persist/StateCommitter.h"
#include "platform/Clock.h"
#include "platform/DirectoryWatch.h"
#include "platform/FileSystem.h"
#include "platform/ManualResetEvent.h"

// The road of a message from the inbox into the store and onto the disk: one listing per
// pass, each file's records applied in memory under the store lock a piece at a time
// (CInboxPieceReader), and a group commit (CStateCommitter) of what a batch changed
// before the batch's inbox files are deleted.
//
// What was taken of each file is kept in the inbox ledger (CInboxLedger), which the
// group commit writes with the data files: a file is deleted only while it is still the
// version read, what is written to it later is applied on a later pass (only what is
// new), a file that cannot be deleted is never applied twice, not after a restart
// either, and a file too large to be a message file is set aside unread. The dispatcher
// is told once of a file set aside and of an inbox that cannot be cleaned.
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
    // No message file is larger: a record is an 80-byte header and a text of about a
    // kilobyte, and even a backlog of many thousands of records stays far below. A larger
    // file (a corrupt or sparse one under a message name) is set aside unread.
    static constexpr int64_t kMaxInboxFileBytes = 16 << 20;

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
    // The ledger as the next commit is to write it: the commit's encoder, called inside
    // this worker's commit with the store lock held.
    std::string EncodeLedgerLocked() const { return ledger_.Encode(); }

private:
    using SteadyTime = std::chrono::steady_clock::time_point;

    // One pass over the inbox. Returns without taking files while saves fail.
    void Pass();
    enum class Taken { No, Yes, SaveFailed };
    // Reads, checks and applies what is new in one file, committing when the batch is
    // full (then batchStart starts again); SaveFailed when that commit failed.
    Taken TakeFile(const std::string& path, SteadyTime now, SteadyTime& batchStart);
    // Where reading of a file that changed since it was read goes on: after the applied
    // bytes when they are still the same, else from its start.
    void ResumeAfterChange(const std::string& path, const FileSystem::FileStamp& stamp,
                           const CInboxLedger::Entry& known, CInboxLedger::Entry& entry);
    void SetAside(const std::string& path, const FileSystem::FileStamp& stamp,
                  bool alreadyReported);
    // Files applied and committed whose deletion was refused.
    void NoteUndeletable(const std::vector<std::string>& paths);
    bool Settled(const std::string& path, const FileSystem::FileStamp& stamp, SteadyTime now);
    bool BatchFullLocked(SteadyTime batchStart) const;
    // With mutex_ held, after the recovery: the ledger the data files on the disk go with.
    void LoadLedgerOnce();
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
    // The ledger as the store in memory stands (changed together with the store, under
    // the store lock) and as the last commit wrote it.
    CInboxLedger ledger_;
    CInboxLedger committedLedger_;
    bool ledgerLoaded_ = false;
    // Told to the dispatcher once the commit that records them has succeeded.
    std::vector<std::string> noticesAfterCommit_;
    // Incomplete files seen, with their stamp and since when it has not changed.
    struct Unsettled {
        FileSystem::FileStamp stamp;
        SteadyTime since;
    };
    std::map<std::string, Unsettled> unsettled_;
    SteadyTime lastAttempt_{};
    bool reportedFailing_ = false;
};
