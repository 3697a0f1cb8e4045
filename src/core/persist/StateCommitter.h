#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "persist/CommitJournal.h"
#include "persist/JournalEntry.h"
#include "persist/LogWriter.h"
#include "persist/TrackPoint.h"
#include "platform/FileSystem.h"

class CTrackRecorder;

// The group commit of the intake: what records and operator commands change is kept in
// memory and written once per batch — the data files that changed, the layout, the log
// entries — and only then are the batch's inbox files deleted.
//
// A commit serialises the changed files under the store lock (the encoder is called
// with it held) and writes and syncs them outside it: each file under a temporary name,
// then a journal naming them, the log entries and the inbox files, then the files are
// renamed into place, the log written and the inbox files deleted. A crash before the
// journal is on the disk leaves the old files and every inbox file (the records are
// applied again at the next start, once); a crash after it is finished by Recover. A
// log that cannot be written fails the commit like a data file: the journal stays
// outstanding with the batch's inbox files, and the next attempt writes each entry once.
// The inbox worker's ledger (CInboxLedger) is one of the files, so what it says of the
// inbox files always goes with the data files beside it; an inbox file is deleted only
// when it is still the version whose records were committed.
// With a track recorder, the positions the batch applied go to the track store while the
// temporaries are written, and are in before the journal is: a crash before the journal
// applies them again, and the store keeps each point once. A store that cannot take them
// never fails the commit (CTrackRecorder). The alert journal's entries (alerts raised,
// acknowledgements) go with them, in the same transaction and in the order they were
// added; a store that refuses keeps them waiting in the recorder for the next commit.
//
// Threads: the Mark/Add members run under the store lock (the caller's); Commit and
// Recover without it. Commits are serialised among themselves.
class CStateCommitter {
public:
    // The files a commit may rewrite; a bit set of them says what changed.
    enum File : uint32_t {
        kSettingsFile = 1,      // SntSettings.dat
        kMessagesFile = 2,      // SntQMXMSG.dat
        kHistoryFile = 4,       // SntHistory.dat
        kAssignmentsFile = 8,   // SntSpec.dat
        kLayoutFile = 16,       // Interface.ini
        kInboxLedgerFile = 32,  // SntInbox.dat (CInboxLedger)
    };
    // The journal's name, beside the data files it names.
    static constexpr const char* kJournalFileName = "SntCommit.jnl";
    static constexpr int kFileCount = 6;
    static constexpr uint32_t kStateFiles = kSettingsFile | kMessagesFile;

    // Builds the bytes of one file from the store; called with the store lock held.
    using Encoder = std::function<std::string(File)>;

    CStateCommitter(std::mutex& storeMutex, const CLogWriter& log, std::string journalPath,
                    const std::array<std::string, kFileCount>& filePaths, Encoder encoder);

    // Any thread, with or without the store lock.
    void MarkDirty(uint32_t files) { dirty_.fetch_or(files); }
    bool AnythingDirty() const { return dirty_.load() != 0; }

    // Before the workers start: from now on the positions applied go to `recorder`'s track
    // store with each commit (nullptr: none are gathered).
    void SetTrackRecorder(CTrackRecorder* recorder) { trackRecorder_ = recorder; }
    bool KeepsTracks() const { return trackRecorder_ != nullptr; }

    // ---- under the store lock ----
    void AddLogEntry(std::string entry);
    // A position applied (only while KeepsTracks()).
    void AddTrackPointLocked(TrackPoint point) { points_.push_back(std::move(point)); }
    // An alert raised or an acknowledgement made (only while KeepsTracks()), in the order
    // they happened: the order decides which alerts an acknowledgement covers.
    void AddJournalEntryLocked(JournalEntry entry) { journal_.push_back(std::move(entry)); }
    // A record that counts as a message (the run and total counters) was applied: the
    // counters hold it only once it is committed (see DiscardLocked).
    void AddCountedLocked() { ++counted_; }
    // An inbox file whose records are all applied, as it was when read (`stamp`): deleted
    // once they are on the disk, unless it has changed since.
    void AddProcessedFile(const std::string& path, const FileSystem::FileStamp& stamp) {
        files_.push_back({path, stamp});
    }
    std::size_t ProcessedFileCountLocked() const { return files_.size(); }
    std::size_t LogBytesLocked() const { return logBytes_; }
    // Forgets what was applied but not committed: the store it belonged to is being
    // replaced, so those records will be read again from their files. Returns how many
    // of them the counters hold, to be taken off again. The journal's entries stay: an
    // acknowledgement is no record to be read again, and an alert raised again is kept
    // once.
    int DiscardLocked();
    // The state is being read from the disk again. A journal still outstanding is
    // older than what is read: once it is carried out, the state must be read once more
    // (Result::reloadState), or the store would lack its records and the next commit
    // write over them.
    void StateReloaded();

    // ---- without the store lock ----
    struct Result {
        bool ok = true;
        // Inbox files whose records are committed but that could not be deleted.
        std::vector<std::string> undeleted;
        // A journal outstanding when the state was last read has been carried out: the
        // data files now hold records the store does not. What was pending is dropped
        // (its inbox files stay and are read again, `discardedCounted` of its records
        // counted) and the caller must read the state again before anything else.
        bool reloadState = false;
        int discardedCounted = 0;
        // For the dispatcher (Windows-1251): the track store refuses, or was set aside.
        std::vector<std::string> notices;
    };
    // Writes everything pending. On failure nothing pending is lost: it stays for the
    // next attempt, and no inbox file of it has been deleted.
    Result Commit();
    // The last commit failed (cleared by the next one that succeeds).
    bool failing() const { return failing_.load(); }
    // Start-up, before anything reads the data files: finishes a commit that a crash
    // interrupted, then removes the leftovers of interrupted writes from the journal's
    // folder. False when it could not be finished (nothing is committed until it is, and
    // its temporary files are kept).
    // Inbox files of it that could not be deleted are added to `undeleted`.
    bool Recover(std::vector<std::string>* undeleted);
    // The workers have stopped for good: journal entries still waiting for the store are
    // tried once more, and a gap still open (points, or alerts that could not be kept)
    // goes into the log with the next commit.
    void EndTrackGap();

    const std::string& journalPath() const { return journalPath_; }
    // Where the commit writes `file` (one bit).
    const std::string& filePath(File file) const;

private:
    bool CompleteOutstanding(std::vector<std::string>& undeleted);

    std::mutex& storeMutex_;
    const CLogWriter& log_;
    const std::string journalPath_;
    const std::array<std::string, kFileCount> filePaths_;
    const Encoder encoder_;

    // Pending, guarded by the store lock (the dirty bits may be set without it).
    std::atomic<uint32_t> dirty_{0};
    std::vector<CCommitJournal::ProcessedFile> files_;
    std::vector<std::string> entries_;
    std::vector<TrackPoint> points_;
    std::vector<JournalEntry> journal_;
    std::size_t logBytes_ = 0;
    int counted_ = 0;

    std::mutex commitMutex_;
    // A journal is on the disk that is not carried out yet (guarded by commitMutex_).
    bool outstanding_ = false;
    // The state was read while it was outstanding (guarded by commitMutex_).
    bool outstandingStale_ = false;
    CCommitJournal outstandingJournal_;
    uint64_t sequence_;
    std::atomic<bool> failing_{false};
    CTrackRecorder* trackRecorder_ = nullptr;
};
