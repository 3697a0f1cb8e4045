#include "console/Console.h"

#include <chrono>

#include "alerts/SoundPlayer.h"
#include "base/TextUtil.h"
#include "intake/InboxPieceReader.h"
#include "model/InboxFile.h"
#include "rules/RecordProcessor.h"

namespace {
// The group commit's journal, beside the data files it names.
constexpr const char* kCommitJournalFile = "SntCommit.jnl";
// The inbox worker's ledger of the inbox files (CInboxLedger), beside the data files.
constexpr const char* kInboxLedgerFile = "SntInbox.dat";
}  // namespace

CConsole::CConsole(const ProgramPaths& programPaths, const Clock& clock, SoundOutput& sound,
                   ConsoleView& view)
    : paths(programPaths),
      settings(Settings::Defaults(programPaths.defaultAlarmSoundPath)),
      layout(programPaths.layoutPath),
      store(programPaths.programFolder),
      zoneMap(std::make_unique<CZoneMap>()),
      clock_(clock),
      view_(view),
      log_(programPaths.logPath, programPaths.oldLogPath) {
    soundPlayer_ =
        std::make_unique<CSoundPlayer>(sound, soundStopEvent, [this] { view_.ReportSoundError(); });
    committer_ = std::make_unique<CStateCommitter>(
        storeMutex_, log_, store.FilePath(kCommitJournalFile),
        std::array<std::string, CStateCommitter::kFileCount>{
            store.FilePath(CDataStore::kSettingsFile), store.FilePath(CDataStore::kMessagesFile),
            store.FilePath(CDataStore::kHistoryFile),
            store.FilePath(CDataStore::kZoneAssignmentsFile), paths.layoutPath,
            store.FilePath(kInboxLedgerFile)},
        [this](CStateCommitter::File file) { return EncodeFile(file); });
    inboxWorker_ = std::make_unique<CInboxWorker>(static_cast<IntakeTarget&>(*this), *committer_,
                                                  stopPollingEvent);
    LoadLayout();
}

CConsole::~CConsole() {
    // The workers use the store, the map and the sound player: all of them must have
    // left before anything is released.
    StopWorkers();
    WaitForWorkers();
    soundPlayer_.reset();
}

std::string CConsole::EncodeFile(CStateCommitter::File file) const {
    switch (file) {
        case CStateCommitter::kSettingsFile:
            return store.EncodeSettingsFile();
        case CStateCommitter::kMessagesFile:
            return store.EncodeMessagesFile();
        case CStateCommitter::kHistoryFile:
            return store.EncodeHistoryFile();
        case CStateCommitter::kAssignmentsFile:
            return store.EncodeZoneAssignmentsFile(*zoneMap);
        case CStateCommitter::kLayoutFile:
            return layout.BuildLayoutFile();
        case CStateCommitter::kInboxLedgerFile:
            return inboxWorker_->EncodeLedgerLocked();
    }
    return {};
}

void CConsole::RequestSave(uint32_t files) {
    committer_->MarkDirty(files);
    inboxWorker_->Wake();
}

bool CConsole::FlushSaves() {
    return inboxWorker_->Commit();
}

// ---- start-up ----

bool CConsole::LoadSettingsAtStart() {
    bool saved = true;
    const SettingsFileState state = ::LoadSettings(paths.settingsPath, paths.defaultAlarmSoundPath,
                                                   settings, store.selectedIdsText);
    settingsFileUnreadable = state == SettingsFileState::Unreadable;
    if (state == SettingsFileState::Missing) {
        saved = SaveSettings();
    }
    store.SetTimeOffset(settings.timeParam, settings.timeSpan, clock_.TimeZoneBiasMinutes());
    return saved;
}

void CConsole::LoadLayout() {
    layout.SetPath(paths.layoutPath);
    layout.LoadLayout();
}

bool CConsole::LoadAddressBook() {
    // What the workers applied belongs to the objects being replaced: on the disk first.
    QuiesceWorkers(true);
    auto lock = Lock();
    return store.LoadAddressBook(settings.channelObj);
}

bool CConsole::LoadZones() {
    // No record may be judged against one map and stored against the other.
    QuiesceWorkers(false);
    auto lock = Lock();
    // A map that failed to load is never put into use.
    auto map = std::make_unique<CZoneMap>();
    if (!map->Load(settings.qmxInfoFile))
        return false;
    zoneMap = std::move(map);
    return true;
}

void CConsole::ReloadState() {
    QuiesceWorkers(true);
    RecoverOnce();
    auto lock = Lock();
    store.LoadState();
    CRecordProcessor(store, *zoneMap).RecomputeFromLastMessages(settings);
    store.LoadZoneAssignments(*zoneMap);
}

bool CConsole::SaveSettings() {
    if (!MaySaveSettingsOver(paths.settingsPath, settingsFileUnreadable)) {
        return false;
    }
    settingsFileUnreadable = false;
    return ::SaveSettings(paths.settingsPath, settings, store.selectedIdsText);
}

bool CConsole::SaveLayout() {
    RequestSave(CStateCommitter::kLayoutFile);
    return true;
}

// ---- the road of a message ----

void CConsole::PollOnce() {
    inboxWorker_->PassAndCommit();
}

void CConsole::ProcessInboxFile(const std::string& path) {
    const FileSystem::FileStamp stamp = FileSystem::StampOf(path);
    if (stamp.size > CInboxWorker::kMaxInboxFileBytes)
        return;
    CInboxPieceReader reader(path, stamp, 0);
    std::string piece;
    while (reader.Next(piece) == CInboxPieceReader::Step::Piece) {
        auto lock = Lock();
        ApplyInboxBytesLocked(piece, path);
    }
    inboxWorker_->Commit();
}

void CConsole::ProcessRecord(const InboxRecord& record, const std::string& path) {
    {
        auto lock = Lock();
        ProcessRecordLocked(record, path);
    }
    inboxWorker_->Commit();
}

std::vector<int32_t> CConsole::ShownNumbersLocked() const {
    std::vector<int32_t> shown;
    for (int i = 0; i < store.objectCount; ++i) {
        if (store.Object(i).selected != 0)
            shown.push_back(store.Object(i).Number());
    }
    return shown;
}

void CConsole::ApplyInboxBytesLocked(std::string_view bytes, const std::string& path) {
    ReadInboxRecords(bytes, [&](const InboxRecord& record) {
        ProcessRecordLocked(record, path);
        return true;
    });
}

void CConsole::ProcessRecordLocked(const InboxRecord& record, const std::string& path) {
    CRecordProcessor::Outcome r =
        CRecordProcessor(store, *zoneMap).Process(record, path, clock_.Now(), trayIconShown);
    if (r.counted) {
        ++runMessageCount;
        ++layout.totalMessageCount;
        layout.lastMessageText = std::move(r.lastMessageText);
        committer_->MarkDirty(CStateCommitter::kLayoutFile);
        if (!r.trayTip.empty())
            view_.SetTrayTip(r.trayTip);
    }
    Deliver(r.effects);
    if (r.knownObject)
        committer_->MarkDirty(CStateCommitter::kStateFiles);
    committer_->AddLogEntry(std::move(r.logEntry));
}

void CConsole::Deliver(const RuleEffects& effects) {
    if (effects.historyChanged) {
        committer_->MarkDirty(CStateCommitter::kHistoryFile);
        view_.HistoryChanged();
    }
    for (const RuleEffects::Notice& notice : effects.notices)
        view_.ShowPopup(notice.text, notice.kind);
    if (!effects.sounds.empty()) {
        // Indexed by AlertKind.
        soundPlayer_->SetPaths({settings.alarmSoundPath, settings.puSoundPath,
                                settings.badZoneSoundPath, settings.specZoneSoundPath});
        for (const AlertKind kind : effects.sounds)
            soundPlayer_->StartSound(kind);
    }
}

int32_t CConsole::soundKind() const {
    return soundPlayer_->soundKind();
}

// ---- workers ----

void CConsole::StartWorkers() {
    ResetListRows();
    // Never two workers of a kind: a worker still running is told to stop (if nobody
    // did) and waited for.
    if (inboxThread_.joinable() && !pollingDoneEvent.IsSet())
        stopPollingEvent.Set();
    if (refreshThread_.joinable() && !refreshDoneEvent.IsSet())
        stopRefreshEvent.Set();
    WaitForWorkers();
    stopRefreshEvent.Reset();
    stopPollingEvent.Reset();
    refreshDoneEvent.Reset();
    pollingDoneEvent.Reset();
    int periodMs;
    {
        auto lock = Lock();
        periodMs = settings.timer < 0 ? 0 : settings.timer;
    }
    refreshThread_ = std::thread([this] { RefreshWorkerLoop(); });
    inboxThread_ = std::thread([this, periodMs] {
        inboxWorker_->Run(periodMs);
        pollingDoneEvent.Set();
    });
}

void CConsole::StopWorkers() {
    stopRefreshEvent.Set();
    soundStopEvent.Set();
    stopPollingEvent.Set();
    inboxWorker_->Wake();
}

void CConsole::WaitForWorkers() {
    pollingDoneEvent.Wait();
    refreshDoneEvent.Wait();
    JoinWorkers();
    // Saves asked for while the worker was stopped, or after its last commit.
    inboxWorker_->Commit();
}

void CConsole::StopWorkersAndWait() {
    StopWorkers();
    WaitForWorkers();
    soundStopEvent.Set();
}

void CConsole::RecoverOnce() {
    std::call_once(recovery_, [this] {
        // Not before the single-instance lock is held (the settings at start-up, or the
        // first save), so no other copy of the program can be in the middle of a commit.
        // A commit a crash interrupted is finished before the files are read or written
        // again; its temporary files are kept while it cannot be.
        // Inbox files it could not delete stay in the inbox ledger it put in place, which
        // the inbox worker reads after this.
        const bool interrupted = FileSystem::FileExists(committer_->journalPath());
        if (committer_->Recover(nullptr))
            FileSystem::RemoveStaleTempFiles(paths.programFolder);
        // The window was built from the layout read before, which may be older than the
        // one the commit put in place: the counters the intake keeps there are taken
        // over, the window's own placement it writes again itself.
        if (interrupted) {
            WindowLayout recovered(paths.layoutPath);
            recovered.LoadLayout();
            auto lock = Lock();
            layout.totalMessageCount = recovered.totalMessageCount;
            layout.lastMessageText = recovered.lastMessageText;
        }
    });
}

void CConsole::QuiesceWorkers(bool storeReplaced) {
    if (inboxThread_.joinable() || refreshThread_.joinable())
        StopWorkersAndWait();
    else
        inboxWorker_->Commit();
    if (storeReplaced) {
        // Whatever could not be written stays in its inbox files and is read again into
        // the new store.
        {
            auto lock = Lock();
            committer_->DiscardLocked();
        }
        inboxWorker_->DiscardBatch();
    }
}

void CConsole::JoinWorkers() {
    if (inboxThread_.joinable())
        inboxThread_.join();
    if (refreshThread_.joinable())
        refreshThread_.join();
}

void CConsole::ResetListRows() {
    int rowCount = 0;
    {
        auto lock = Lock();
        for (int i = 0; i < store.objectCount; ++i) {
            ObjectRecord& o = store.Object(i);
            if (o.selected == 0)
                continue;
            o.rowState = -1;
            ++rowCount;
        }
        ++rowsGeneration_;
    }
    view_.RowsReset(rowCount);
}

std::shared_ptr<RefreshSnapshot> CConsole::RefreshView() {
    std::lock_guard<std::mutex> pass(refreshMutex_);
    auto snapshot = std::make_shared<RefreshSnapshot>();
    refreshPass_.Prepare(*snapshot);
    DateTime now;
    {
        auto lock = Lock();
        const auto start = std::chrono::steady_clock::now();
        now = clock_.Now();
        snapshot->statusTexts = StatusTextsLocked(now);
        snapshot->rowsGeneration = rowsGeneration_.load();
        refreshPass_.Gather(store, now, stopRefreshEvent, *snapshot);
        refreshPass_.SetLastLockedNs(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
    }
    refreshPass_.Format(*snapshot, now);
    return snapshot;
}

void CConsole::RefreshWorkerLoop() {
    for (;;) {
        view_.ApplyRefresh(RefreshView());
        if (stopRefreshEvent.WaitFor(1000))
            break;
    }
    refreshDoneEvent.Set();
}

// ---- operator commands ----

bool CConsole::AcknowledgeAlerts(const std::vector<int32_t>& objectNumbers) {
    auto lock = Lock();
    bool changed = false;
    for (const int32_t number : objectNumbers) {
        const int i = store.FindObjectByNumber(number);
        if (i < 0)
            continue;
        ObjectRecord& o = store.Object(i);
        if (o.lastEventKind > 0) {
            o.lastEventKind = -o.lastEventKind;
            soundPlayer_->Acknowledge();
            changed = true;
        }
    }
    if (!objectNumbers.empty())
        RequestSave(CStateCommitter::kStateFiles);
    return changed;
}

bool CConsole::AnyPending(const std::vector<int32_t>& objectNumbers) {
    auto lock = Lock();
    for (const int32_t number : objectNumbers) {
        const int i = store.FindObjectByNumber(number);
        if (i >= 0 && store.Object(i).lastEventKind > 0)
            return true;
    }
    return false;
}

void CConsole::ResetRunCounter() {
    auto lock = Lock();
    runMessageCount = 0;
    SaveLayout();
}

void CConsole::ResetTotalCounter() {
    auto lock = Lock();
    layout.totalMessageCount = 0;
    SaveLayout();
}

bool CConsole::SortByKey(int key, int zoneIndex) {
    auto lock = Lock();
    if (key == sortKey) {
        sortDescending = sortDescending != 0 ? 0 : 1;
    } else {
        sortDescending = 0;
        sortKey = key;
    }
    const bool moved =
        store.SortObjects(sortKey, sortDescending, zoneIndex, zoneMap.get(), clock_.Now());
    if (moved) {
        for (int i = 0; i < store.objectCount; ++i) {
            if (store.Object(i).selected != 0)
                store.Object(i).rowState = -1;
        }
        ++rowsGeneration_;
    }
    return moved;
}

std::array<std::string, 3> CConsole::StatusTexts() {
    auto lock = Lock();
    return StatusTextsLocked(clock_.Now());
}

std::array<std::string, 3> CConsole::StatusTextsLocked(DateTime now) const {
    return {layout.lastMessageText,
            TextUtil::Format("%i (%i)", runMessageCount, layout.totalMessageCount),
            FormatLocaleDateTime(now)};
}
