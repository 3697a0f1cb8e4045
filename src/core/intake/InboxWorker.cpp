#include "intake/InboxWorker.h"

#include <algorithm>
#include <optional>
#include <set>

#include "base/Cp1251.h"
#include "base/Fnv1a.h"
#include "base/TextUtil.h"
#include "intake/InboxPieceReader.h"
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
    // The track store's own troubles: the intake goes on whatever they are.
    for (const std::string& notice : result.notices)
        target_.ReportIntakeNotice(notice);
    if (result.reloadState) {
        // The journal carried out was older than the store: the ledger on the disk is
        // the journal's, and what was applied since is read again from its files.
        noticesAfterCommit_.clear();
        ledgerLoaded_ = false;
        LoadLedgerOnce();
        target_.ReloadCommittedState(result.discardedCounted);
    }
    if (result.ok) {
        // The ledger on the disk is the one in memory now (nothing changes it meanwhile:
        // only this worker does, and it is here).
        committedLedger_ = ledger_;
        std::vector<std::string> notices;
        notices.swap(noticesAfterCommit_);
        for (const std::string& notice : notices)
            target_.ReportIntakeNotice(notice);
        NoteUndeletable(result.undeleted);
    }
    if (result.ok == reportedFailing_) {
        reportedFailing_ = !result.ok;
        target_.SaveFailureChanged(reportedFailing_);
    }
}

void CInboxWorker::DiscardBatch() {
    std::lock_guard<std::mutex> lock(mutex_);
    auto storeLock = target_.LockStore();
    ledger_ = committedLedger_;
    noticesAfterCommit_.clear();
}

void CInboxWorker::LoadLedgerOnce() {
    if (ledgerLoaded_)
        return;
    ledgerLoaded_ = true;
    CInboxLedger loaded =
        CInboxLedger::Load(committer_.filePath(CStateCommitter::kInboxLedgerFile));
    auto storeLock = target_.LockStore();
    ledger_ = loaded;
    committedLedger_ = std::move(loaded);
}

void CInboxWorker::NoteUndeletable(const std::vector<std::string>& paths) {
    if (paths.empty())
        return;
    auto storeLock = target_.LockStore();
    // Told once while such files are there, also across restarts: the mark goes into
    // the ledger with the next commit.
    const bool first = !ledger_.AnyWith(CInboxLedger::kUndeletable);
    for (const std::string& path : paths) {
        for (CInboxLedger* ledger : {&ledger_, &committedLedger_}) {
            const auto it = ledger->entries.find(path);
            if (it != ledger->entries.end())
                it->second.flags |= CInboxLedger::kUndeletable;
        }
    }
    if (first && ledger_.AnyWith(CInboxLedger::kUndeletable)) {
        committer_.MarkDirty(CStateCommitter::kInboxLedgerFile);
        noticesAfterCommit_.push_back(TextUtil::Format(
            W("Не удается очистить папку входящих сообщений %s: нет права на удаление файлов "
              "в этой папке. Обработанные файлы остаются в ней, повторно они не "
              "обрабатываются.")
                .c_str(),
            FileSystem::FolderOf(paths.front()).c_str()));
    }
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
    const SteadyTime start = std::chrono::steady_clock::now();
    if (committer_.failing()) {
        // Nothing new is taken while what was taken cannot be saved.
        if (MillisecondsBetween(lastAttempt_, start) < kRetryMs)
            return;
        CommitLocked();
        if (committer_.failing())
            return;
    }
    LoadLedgerOnce();

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
    bool took = false;
    for (const CInboxScanner::Entry& entry : entries) {
        // A stop is looked at between files only: a file taken is applied to its end.
        if (stop_.IsSet())
            break;
        const Taken taken = TakeFile(entry.path, start, batchStart);
        if (taken == Taken::SaveFailed)
            break;
        took = took || taken == Taken::Yes;
    }
    if (took)
        CommitLocked();

    // What is remembered of files is kept only while they are there: a file listed is,
    // one taken whole may have been deleted by the commit.
    std::set<std::string> listed;
    for (const CInboxScanner::Entry& entry : entries)
        listed.insert(entry.path);
    std::vector<std::string> gone;
    for (const auto& [path, known] : ledger_.entries) {
        if ((listed.count(path) == 0 || (known.flags & CInboxLedger::kWhole) != 0) &&
            !FileSystem::FileExists(path))
            gone.push_back(path);
    }
    if (!gone.empty()) {
        // Not worth a commit of its own: the ledger on the disk loses them with the next.
        auto storeLock = target_.LockStore();
        for (const std::string& path : gone)
            ledger_.entries.erase(path);
    }
    std::erase_if(unsettled_, [&](const auto& item) { return listed.count(item.first) == 0; });
}

void CInboxWorker::SetAside(const std::string& path, const FileSystem::FileStamp& stamp,
                            bool alreadyReported) {
    auto storeLock = target_.LockStore();
    CInboxLedger::Entry entry;
    entry.stamp = stamp;
    entry.flags = CInboxLedger::kSetAside;
    ledger_.entries[path] = entry;
    committer_.MarkDirty(CStateCommitter::kInboxLedgerFile);
    if (alreadyReported)
        return;
    const std::string size = std::to_string(stamp.size);
    committer_.AddLogEntry(TextUtil::Format(
        W("%s %s Не обрабатывался: размер файла %s байт больше возможного для файла "
          "сообщений, файл оставлен в папке\r\n")
            .c_str(),
        target_.LogTimeLocked().c_str(), path.c_str(), size.c_str()));
    noticesAfterCommit_.push_back(TextUtil::Format(
        W("Файл %s не обработан и оставлен в папке входящих сообщений: его размер (%s байт) "
          "больше, чем может быть у файла сообщений.")
            .c_str(),
        path.c_str(), size.c_str()));
}

void CInboxWorker::ResumeAfterChange(const std::string& path, const FileSystem::FileStamp& stamp,
                                     const CInboxLedger::Entry& known, CInboxLedger::Entry& entry) {
    if (known.appliedBytes <= 0 || known.appliedBytes > stamp.size ||
        (known.flags & CInboxLedger::kSetAside) != 0)
        return;
    // The applied bytes read again, a piece at a time.
    uint64_t checksum = kFnv1a64Start;
    std::string bytes;
    for (int64_t at = 0; at < known.appliedBytes; at += static_cast<int64_t>(bytes.size())) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<int64_t>(CInboxPieceReader::kPieceBytes, known.appliedBytes - at));
        FileSystem::FileStamp read;
        if (!FileSystem::ReadFileRange(path, at, want, bytes, read) || !(read == stamp) ||
            bytes.size() != want)
            return;
        checksum = Fnv1a64(bytes, checksum);
    }
    if (checksum == known.appliedChecksum) {
        entry.appliedBytes = known.appliedBytes;
        entry.appliedChecksum = known.appliedChecksum;
    }
}

CInboxWorker::Taken CInboxWorker::TakeFile(const std::string& path, SteadyTime now,
                                           SteadyTime& batchStart) {
    // Stamped before reading: a file rewritten while it is read is then read again
    // rather than skipped.
    const FileSystem::FileStamp stamp = FileSystem::StampOf(path);
    if (stamp.size < 0)
        return Taken::No;
    const CInboxLedger::Entry* found = ledger_.Find(path);
    const CInboxLedger::Entry known = found != nullptr ? *found : CInboxLedger::Entry{};

    CInboxLedger::Entry entry;
    entry.stamp = stamp;
    // Told once: a file that cannot be deleted stays marked when more is written to it.
    entry.flags = known.flags & CInboxLedger::kUndeletable;
    if (found != nullptr && known.stamp == stamp) {
        if ((known.flags & CInboxLedger::kSetAside) != 0)
            return Taken::No;
        if ((known.flags & CInboxLedger::kWhole) != 0) {
            // Applied whole; only the deletion is left: the commit's, or, once committed
            // (a file that could not be deleted), tried again here.
            const CInboxLedger::Entry* committed = committedLedger_.Find(path);
            if (committed == nullptr || !(*committed == known))
                return Taken::No;
            if (FileSystem::RemoveFile(path)) {
                auto storeLock = target_.LockStore();
                ledger_.entries.erase(path);
            } else if ((known.flags & CInboxLedger::kUndeletable) == 0 &&
                       FileSystem::FileExists(path)) {
                NoteUndeletable({path});
            }
            return Taken::No;
        }
        // Left part-way (a commit or a change in between): it goes on.
        entry.appliedBytes = known.appliedBytes;
        entry.appliedChecksum = known.appliedChecksum;
    } else if (stamp.size > kMaxInboxFileBytes) {
        SetAside(path, stamp, found != nullptr && (known.flags & CInboxLedger::kSetAside) != 0);
        return Taken::Yes;
    } else if (found != nullptr) {
        ResumeAfterChange(path, stamp, known, entry);
    }

    // Taken when its records are all there, or once it has stopped changing. The probe
    // reads ahead to the end; a file of one piece is then not read twice.
    CInboxPieceReader probe(path, stamp, entry.appliedBytes);
    std::string piece;
    std::string last;
    int pieces = 0;
    CInboxPieceReader::Step step;
    while ((step = probe.Next(piece)) == CInboxPieceReader::Step::Piece) {
        last.swap(piece);
        ++pieces;
    }
    if (step == CInboxPieceReader::Step::Changed)
        return Taken::No;
    if (!IsCompleteInboxFile(last + probe.rest()) && !Settled(path, stamp, now))
        return Taken::No;
    unsettled_.erase(path);

    std::optional<CInboxPieceReader> reader;
    if (pieces > 1)
        reader.emplace(path, stamp, entry.appliedBytes);
    auto next = [&](std::string& out) {
        if (reader)
            return reader->Next(out);
        out.swap(last);
        return pieces-- > 0 ? CInboxPieceReader::Step::Piece : CInboxPieceReader::Step::End;
    };
    std::string current;
    std::string ahead;
    step = next(current);
    if (step == CInboxPieceReader::Step::Changed)
        return Taken::No;
    // Nothing to apply (an empty file, a record cut short that has settled, nothing new):
    // taken whole all the same, so that it goes.
    bool applyNothing = step == CInboxPieceReader::Step::End;
    while (step == CInboxPieceReader::Step::Piece || applyNothing) {
        // Read ahead outside the lock: is this the last piece?
        const CInboxPieceReader::Step following =
            applyNothing ? CInboxPieceReader::Step::End : next(ahead);
        entry.appliedBytes += static_cast<int64_t>(current.size());
        entry.appliedChecksum = Fnv1a64(current, entry.appliedChecksum);
        if (following == CInboxPieceReader::Step::End)
            entry.flags |= CInboxLedger::kWhole;
        bool full;
        {
            auto storeLock = target_.LockStore();
            if (!current.empty())
                target_.ApplyInboxBytesLocked(current, path);
            ledger_.entries[path] = entry;
            committer_.MarkDirty(CStateCommitter::kInboxLedgerFile);
            if ((entry.flags & CInboxLedger::kWhole) != 0)
                committer_.AddProcessedFile(path, stamp);
            full = BatchFullLocked(batchStart);
        }
        if (full) {
            CommitLocked();
            if (committer_.failing())
                return Taken::SaveFailed;
            batchStart = std::chrono::steady_clock::now();
        }
        // Changed part-way: what was applied is recorded, the rest waits for a pass
        // that finds the file settled again.
        applyNothing = false;
        current.swap(ahead);
        step = following;
    }
    return Taken::Yes;
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
