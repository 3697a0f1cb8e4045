#include "persist/StateCommitter.h"

#include <utility>

#include "persist/TrackRecorder.h"
#include "platform/FileSystem.h"

CStateCommitter::CStateCommitter(std::mutex& storeMutex, const CLogWriter& log,
                                 std::string journalPath,
                                 const std::array<std::string, kFileCount>& filePaths,
                                 Encoder encoder)
    : storeMutex_(storeMutex),
      log_(log),
      journalPath_(std::move(journalPath)),
      filePaths_(filePaths),
      encoder_(std::move(encoder)),
      // Temporary names must not repeat those of an earlier run, whose journal may still
      // name its own.
      sequence_(
          static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count())) {}

void CStateCommitter::AddLogEntry(std::string entry) {
    logBytes_ += entry.size();
    entries_.push_back(std::move(entry));
}

int CStateCommitter::DiscardLocked() {
    dirty_ = 0;
    files_.clear();
    entries_.clear();
    points_.clear();
    logBytes_ = 0;
    const int counted = counted_;
    counted_ = 0;
    return counted;
}

void CStateCommitter::StateReloaded() {
    std::lock_guard<std::mutex> commitLock(commitMutex_);
    if (outstanding_)
        outstandingStale_ = true;
}

bool CStateCommitter::CompleteOutstanding(std::vector<std::string>& undeleted) {
    if (!outstandingJournal_.Complete(&undeleted))
        return false;
    // Everything it names is done; should the removal itself be lost, carrying the
    // journal out once more changes nothing.
    FileSystem::RemoveFile(journalPath_);
    outstanding_ = false;
    outstandingStale_ = false;
    outstandingJournal_ = CCommitJournal{};
    return true;
}

CStateCommitter::Result CStateCommitter::Commit() {
    std::lock_guard<std::mutex> commitLock(commitMutex_);
    Result result;
    // A commit whose journal is on the disk comes first: a newer journal would replace it
    // before its inbox files were deleted.
    if (outstanding_) {
        const bool stale = outstandingStale_;
        if (!CompleteOutstanding(result.undeleted)) {
            failing_ = true;
            result.ok = false;
            return result;
        }
        if (stale) {
            // What is pending was applied to a store without the journal's records.
            std::lock_guard<std::mutex> lock(storeMutex_);
            result.discardedCounted = DiscardLocked();
            result.reloadState = true;
            failing_ = false;
            return result;
        }
    }

    uint32_t dirty;
    int counted;
    std::vector<CCommitJournal::ProcessedFile> files;
    std::vector<std::string> entries;
    std::vector<TrackPoint> points;
    std::vector<JournalEntry> journalEntries;
    std::vector<std::pair<int, std::string>> contents;
    {
        std::lock_guard<std::mutex> lock(storeMutex_);
        dirty = dirty_.exchange(0);
        files.swap(files_);
        entries.swap(entries_);
        points.swap(points_);
        journalEntries.swap(journal_);
        logBytes_ = 0;
        counted = counted_;
        counted_ = 0;
        for (int k = 0; k < kFileCount; ++k) {
            const auto file = static_cast<File>(1u << k);
            if ((dirty & file) != 0)
                contents.emplace_back(k, encoder_(file));
        }
    }
    if (dirty == 0 && files.empty() && entries.empty() && points.empty() &&
        journalEntries.empty()) {
        failing_ = false;
        return result;
    }

    // The track store takes the points while the files are written; the journal waits
    // for it, since once the journal is on the disk the inbox files may go. The alert
    // journal's entries are the recorder's from now on, whatever becomes of the commit.
    if (trackRecorder_ != nullptr)
        trackRecorder_->Begin(std::move(points), std::move(journalEntries));
    points.clear();
    CCommitJournal journal;
    const std::string tag = std::to_string(++sequence_);
    bool written = true;
    for (const auto& [k, bytes] : contents) {
        const std::string& target = filePaths_[static_cast<std::size_t>(k)];
        const std::string temporary = FileSystem::TemporaryPathFor(target, tag);
        journal.replacements.push_back({temporary, target, static_cast<int64_t>(bytes.size())});
        if (!FileSystem::WriteAndSync(temporary, bytes)) {
            written = false;
            break;
        }
    }
    // Whatever the outcome, the points are done with (kept, or counted in the gap) unless
    // neither the files nor the points could be written.
    if (trackRecorder_ != nullptr)
        trackRecorder_->Finish(written, points, entries, result.notices);
    if (written) {
        journal.logPath = log_.logPath();
        journal.oldLogPath = log_.oldLogPath();
        journal.log.sizeBefore = log_.CurrentSize();
        journal.log.entries = entries;
        journal.processedFiles = files;
        written = FileSystem::WriteFileAtomically(journalPath_, journal.Encode());
    }
    if (!written) {
        // Nothing has happened: the old files stand and every inbox file is still there.
        // What was pending waits for the next attempt, before anything added since.
        for (const CCommitJournal::Replacement& r : journal.replacements)
            FileSystem::RemoveFile(r.temporaryPath);
        std::lock_guard<std::mutex> lock(storeMutex_);
        dirty_.fetch_or(dirty);
        files_.insert(files_.begin(), files.begin(), files.end());
        for (const std::string& entry : entries)
            logBytes_ += entry.size();
        entries_.insert(entries_.begin(), entries.begin(), entries.end());
        points_.insert(points_.begin(), points.begin(), points.end());
        counted_ += counted;
        failing_ = true;
        result.ok = false;
        return result;
    }

    outstanding_ = true;
    outstandingJournal_ = std::move(journal);
    result.ok = CompleteOutstanding(result.undeleted);
    failing_ = !result.ok;
    return result;
}

void CStateCommitter::EndTrackGap() {
    if (trackRecorder_ == nullptr)
        return;
    std::vector<std::string> entries;
    {
        std::lock_guard<std::mutex> commitLock(commitMutex_);
        trackRecorder_->EndGap(entries);
    }
    std::lock_guard<std::mutex> lock(storeMutex_);
    for (std::string& entry : entries)
        AddLogEntry(std::move(entry));
}

const std::string& CStateCommitter::filePath(File file) const {
    for (int k = 0; k < kFileCount; ++k) {
        if (file == (1u << k))
            return filePaths_[static_cast<std::size_t>(k)];
    }
    static const std::string none;
    return none;
}

bool CStateCommitter::Recover(std::vector<std::string>* undeleted) {
    std::lock_guard<std::mutex> commitLock(commitMutex_);
    // With no journal outstanding, whatever temporary file is left belongs to nobody.
    const auto removeLeftovers = [this] {
        FileSystem::RemoveStaleTempFiles(FileSystem::FolderOf(journalPath_));
        return true;
    };
    std::string bytes;
    if (!FileSystem::ReadWholeFile(journalPath_, bytes))
        return removeLeftovers();
    CCommitJournal journal;
    if (!CCommitJournal::Decode(bytes, journal)) {
        // The journal is replaced atomically, so this is no journal of ours.
        FileSystem::RemoveFile(journalPath_);
        return removeLeftovers();
    }
    outstanding_ = true;
    outstandingJournal_ = std::move(journal);
    std::vector<std::string> left;
    const bool done = CompleteOutstanding(left);
    if (undeleted != nullptr)
        undeleted->insert(undeleted->end(), left.begin(), left.end());
    failing_ = !done;
    return done && removeLeftovers();
}
