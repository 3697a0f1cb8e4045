#include "intake/InboxWorker.h"

#include <algorithm>
#include <set>

#include "intake/InboxScanner.h"
#include "model/InboxFile.h"

namespace {

int MillisecondsBetween(std::chrono::steady_clock::time_point from,
                        std::chrono::steady_clock::time_point to) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

}  // namespace

CInboxWorker::CInboxWorker(IntakeTarget& target, CStateCommitter& committer, const ::Clock& clock,
                           const ManualResetEvent& stop)
    : target_(target), committer_(committer), clock_(clock), stop_(stop) {}

void CInboxWorker::Run(int periodMs) {
    using Clock = std::chrono::steady_clock;
    // Since when saves the window asked for have been waiting (none: max()).
    SteadyTime savesWaitingSince = SteadyTime::max();
    for (;;) {
        if (stop_.IsSet())
            break;
        // Reset before the listing: a file that arrives during the pass wakes the next.
        wake_.Reset();
        const std::string folder = [&] {
            auto lock = target_.LockStore();
            return CInboxScanner::ListedFolder(target_.InboxFolderLocked());
        }();
        if (folder != watchedFolder_ || !watch_.IsRunning()) {
            watch_.Stop();
            watchedFolder_ = folder;
            watch_.Start(folder, [this] { Wake(); });
        }
        Pass();
        const SteadyTime lastPass = Clock::now();

        // Only the window's saves are left: they are gathered for a moment, so a window
        // dragged across the screen is written once, not once per pixel.
        if (committer_.AnythingDirty()) {
            if (savesWaitingSince == SteadyTime::max())
                savesWaitingSince = lastPass;
            if (MillisecondsBetween(savesWaitingSince, lastPass) >= kSaveDelayMs) {
                Commit();
                savesWaitingSince = SteadyTime::max();
            }
        } else {
            savesWaitingSince = SteadyTime::max();
        }

        int waitMs = periodMs;
        if (savesWaitingSince != SteadyTime::max())
            waitMs = std::min(waitMs, std::max(0, kSaveDelayMs - MillisecondsBetween(
                                                                     savesWaitingSince, lastPass)));
        if (committer_.failing())
            waitMs = std::min(waitMs, kRetryMs);
        // A notice, the window's save request or the stop ends the wait early.
        wake_.WaitFor(waitMs);
    }
    watch_.Stop();
    Commit();
}

void CInboxWorker::PassAndCommit() {
    Pass();
    Commit();
}

bool CInboxWorker::Commit() {
    if (!target_.PrepareToWrite())
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    CommitLocked();
    return !committer_.failing();
}

void CInboxWorker::CommitLocked() {
    lastAttempt_ = std::chrono::steady_clock::now();
    CStateCommitter::Result result = committer_.Commit();
    if (result.reloadState) {
        // The batch was applied to a store that lacked the journal's records.
        batch_.clear();
        target_.ReloadCommittedState(result.discardedCounted);
    }
    if (result.ok) {
        // Every file of the batch is deleted, or known as one that could not be.
        for (const std::string& path : result.undeleted) {
            const auto it = batch_.find(path);
            undeletable_[path] = it != batch_.end() ? it->second : FileSystem::StampOf(path);
        }
        batch_.clear();
    }
    if (result.ok == reportedFailing_) {
        reportedFailing_ = !result.ok;
        target_.SaveFailureChanged(reportedFailing_);
    }
}

void CInboxWorker::DiscardBatch() {
    std::lock_guard<std::mutex> lock(mutex_);
    batch_.clear();
}

void CInboxWorker::AddUndeletable(const std::vector<std::string>& paths) {
    std::lock_guard<std::mutex> lock(handedInMutex_);
    handedIn_.insert(handedIn_.end(), paths.begin(), paths.end());
}

bool CInboxWorker::BatchFullLocked(SteadyTime batchStart) const {
    return committer_.ProcessedFileCountLocked() >= kBatchFiles ||
           committer_.LogBytesLocked() >= kBatchLogBytes ||
           MillisecondsBetween(batchStart, std::chrono::steady_clock::now()) >= kBatchMs;
}

void CInboxWorker::Pass() {
    // A file taken ends in a commit that deletes it.
    if (!target_.PrepareToWrite())
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    {
        std::lock_guard<std::mutex> handedInLock(handedInMutex_);
        for (const std::string& path : handedIn_)
            undeletable_[path] = FileSystem::StampOf(path);
        handedIn_.clear();
    }
    const SteadyTime start = std::chrono::steady_clock::now();
    if (committer_.failing()) {
        // Nothing new is taken while what was taken cannot be saved.
        if (MillisecondsBetween(lastAttempt_, start) < kRetryMs)
            return;
        CommitLocked();
        if (committer_.failing())
            return;
    }

    std::string inboxFolder;
    std::vector<int32_t> shown;
    const DateTime utcNow = clock_.Now().AddMinutes(clock_.TimeZoneBiasMinutes().value_or(0));
    {
        auto storeLock = target_.LockStore();
        inboxFolder = target_.InboxFolderLocked();
        shown = target_.ShownNumbersLocked();
    }
    const std::vector<CInboxScanner::Entry> entries =
        CInboxScanner::List(inboxFolder, shown, utcNow);

    SteadyTime batchStart = start;
    for (const CInboxScanner::Entry& entry : entries) {
        // A stop is looked at between files only: a file is applied whole or not at all.
        if (stop_.IsSet())
            break;
        if (TakeFile(entry.path, start, batchStart) == Taken::BatchFull) {
            CommitLocked();
            if (committer_.failing())
                break;
            batchStart = std::chrono::steady_clock::now();
        }
    }
    bool pending;
    {
        auto storeLock = target_.LockStore();
        pending = committer_.ProcessedFileCountLocked() > 0;
    }
    if (pending)
        CommitLocked();

    // What is remembered of files is kept only while they are listed.
    std::set<std::string> listed;
    for (const CInboxScanner::Entry& entry : entries)
        listed.insert(entry.path);
    std::erase_if(undeletable_, [&](const auto& item) {
        return listed.count(item.first) == 0 && !FileSystem::FileExists(item.first);
    });
    std::erase_if(unsettled_, [&](const auto& item) { return listed.count(item.first) == 0; });
}

CInboxWorker::Taken CInboxWorker::TakeFile(const std::string& path, SteadyTime now,
                                           SteadyTime batchStart) {
    if (batch_.count(path) != 0)
        return Taken::No;
    const auto known = undeletable_.find(path);
    if (known != undeletable_.end()) {
        // Its records are applied already: only the deletion is tried again. A file
        // that was rewritten since is a new message and is read again.
        if (FileSystem::StampOf(path) == known->second) {
            if (FileSystem::RemoveFile(path))
                undeletable_.erase(known);
            return Taken::No;
        }
        undeletable_.erase(known);
    }
    // Stamped before reading: a file rewritten while it is read is then read again
    // rather than skipped.
    const FileSystem::FileStamp stamp = FileSystem::StampOf(path);
    std::string bytes;
    if (!FileSystem::ReadWholeFile(path, bytes))
        return Taken::No;
    if (!IsCompleteInboxFile(bytes) && !Settled(path, stamp, now))
        return Taken::No;
    unsettled_.erase(path);
    batch_[path] = stamp;
    auto storeLock = target_.LockStore();
    target_.ApplyInboxBytesLocked(bytes, path);
    committer_.AddProcessedFile(path);
    return BatchFullLocked(batchStart) ? Taken::BatchFull : Taken::Yes;
}

bool CInboxWorker::Settled(const std::string& path, const FileSystem::FileStamp& stamp,
                           SteadyTime now) {
    // Old by its own time: a writer that gave up long ago, or a file from before the
    // start. The modification time is the system's wall clock.
    const int64_t nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    if (stamp.size >= 0 && nowNs - stamp.modifiedNs >= int64_t{kSettleMs} * 1000000)
        return true;
    // Unchanged for as long while this worker watched it (a clock set back does not
    // hold a file forever).
    auto it = unsettled_.find(path);
    if (it == unsettled_.end() || !(it->second.stamp == stamp)) {
        unsettled_[path] = Unsettled{stamp, now};
        return false;
    }
    return MillisecondsBetween(it->second.since, now) >= kSettleMs;
}
