#include "console/Console.h"

#include <utility>

#include "alerts/SoundPlayer.h"
#include "base/TextUtil.h"
#include "model/InboxFile.h"
#include "platform/Platform.h"
#include "rules/AlertRules.h"
#include "rules/RecordProcessor.h"

CConsole::CConsole(const ProgramPaths& programPaths, const Clock& clock, SoundOutput& sound,
                   ConsoleView& view)
    : paths(programPaths),
      settings(Settings::Defaults(programPaths.defaultAlarmSoundPath)),
      layout(programPaths.layoutPath),
      store(programPaths.programFolder),
      zoneMap(std::make_unique<CZoneMap>()),
      clock_(clock),
      runStartUtc_(UtcNow()),
      view_(view),
      log_(programPaths.logPath, programPaths.oldLogPath) {
    soundPlayer_ = std::make_unique<CSoundPlayer>(
        sound, soundStopEvent, [this](const std::string& path) { view_.ReportSoundError(path); });
    committer_ = std::make_unique<CStateCommitter>(
        storeMutex_, log_, store.FilePath(CStateCommitter::kJournalFileName),
        std::array<std::string, CStateCommitter::kFileCount>{
            store.FilePath(CDataStore::kSettingsFile), store.FilePath(CDataStore::kMessagesFile),
            store.FilePath(CDataStore::kHistoryFile),
            store.FilePath(CDataStore::kZoneAssignmentsFile), paths.layoutPath,
            store.FilePath(CInboxLedger::kFileName)},
        [this](CStateCommitter::File file) { return EncodeFile(file); });
    inboxWorker_ = std::make_unique<CInboxWorker>(static_cast<IntakeTarget&>(*this), *committer_,
                                                  clock_, stopPollingEvent);
    LoadLayout();
}

CConsole::~CConsole() {
    // The workers use the store, the map and the sound player: all of them must have
    // left before anything is released.
    StopWorkers();
    WaitForWorkers();
    // A gap in the tracks still open is logged now, journal entries still waiting for
    // the store are tried once more: nothing more comes this run.
    if (trackRecorder_ != nullptr &&
        (trackRecorder_->gapOpen() || trackRecorder_->holdsJournal())) {
        committer_->EndTrackGap();
        inboxWorker_->Commit();
    }
    soundPlayer_.reset();
}

void CConsole::AttachTrackSink(std::unique_ptr<TrackSink> sink,
                               std::chrono::milliseconds retryAfter) {
    trackSink_ = std::move(sink);
    trackRecorder_ = std::make_unique<CTrackRecorder>(
        *trackSink_, [this] { return FormatLogTime(clock_.Now()); }, retryAfter);
    committer_->SetTrackRecorder(trackRecorder_.get());
}

DateTime CConsole::UtcNow() const {
    return clock_.Now().AddMinutes(clock_.TimeZoneBiasMinutes().value_or(0));
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
    const SettingsFileState state = ::LoadSettings(paths.settingsPath, paths.defaultAlarmSoundPath,
                                                   settings, store.selectedIdsText);
    settingsFileUnreadable = state == SettingsFileState::Unreadable;
    settingsDefaultsPending_ = state == SettingsFileState::Missing;
    const bool saved = !folderClaimed_ || ClaimProgramFolder();
    store.SetTimeOffset(settings.timeParam, settings.timeSpan, clock_.TimeZoneBiasMinutes());
    return saved;
}

bool CConsole::ClaimProgramFolder() {
    folderClaimed_ = true;
    return !std::exchange(settingsDefaultsPending_, false) || SaveSettings();
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
    PrepareToWrite();
    auto lock = Lock();
    ReadStateLocked();
}

void CConsole::ReadStateLocked() {
    // Only what is on the disk: records applied but never committed are read again
    // from their inbox files.
    store.ForgetState();
    store.LoadState();
    CRecordProcessor(store, *zoneMap).RecomputeFromLastMessages(settings);
    store.LoadZoneAssignments(*zoneMap);
}

void CConsole::ReloadCommittedState(int discardedCounted) {
    auto lock = Lock();
    UncountLocked(discardedCounted);
    ReadStateLocked();
    store.ResetShownRows();
    ++rowsGeneration_;
}

void CConsole::UncountLocked(int discarded) {
    runMessageCount -= discarded;
    layout.totalMessageCount -= discarded;
}

bool CConsole::SaveSettings() {
    if (!folderClaimed_)
        return false;
    if (!MaySaveSettingsOver(paths.settingsPath, settingsFileUnreadable))
        return false;
    settingsFileUnreadable = false;
    return ::SaveSettings(paths.settingsPath, settings, store.selectedIdsText);
}

// ---- the road of a message ----

void CConsole::PollOnce() {
    inboxWorker_->PassAndCommit();
}

void CConsole::ProcessRecord(const InboxRecord& record, const std::string& path) {
    {
        auto lock = Lock();
        ProcessRecordLocked(record, path);
    }
    inboxWorker_->Commit();
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
        committer_->AddCountedLocked();
        ++runMessageCount;
        ++layout.totalMessageCount;
        layout.lastMessageText = std::move(r.lastMessageText);
        committer_->MarkDirty(CStateCommitter::kLayoutFile);
        if (!r.trayTip.empty())
            view_.SetTrayTip(r.trayTip);
    }
    if (committer_->KeepsTracks() && !r.effects.alerts.empty()) {
        const DateTime raised = UtcNow();
        for (JournalAlert& alert : r.effects.alerts) {
            alert.raisedUtc = raised;
            committer_->AddJournalEntryLocked(std::move(alert));
        }
    }
    if (r.counted && committer_->KeepsTracks()) {
        const InboxRecordHeader& h = record.header;
        const ObjectRecord& o = store.Object(r.objectIndex);
        committer_->AddTrackPointLocked({h.objectNumber, h.messageTime, h.receiveTime, h.latitude,
                                         h.longitude, h.speed, o.computedSpeedKmh,
                                         o.currentZone >= 0 ? o.currentZoneName : std::string()});
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
    if (!folderClaimed_)
        return;  // a refused copy runs nothing
    int periodMs;
    {
        auto lock = Lock();
        periodMs = settings.timer < 0 ? 0 : settings.timer;
    }
    workers_.Start([this, periodMs] { inboxWorker_->Run(periodMs); },
                   [this] { view_.ApplyRefresh(RefreshView()); });
}

void CConsole::StopWorkers() {
    workers_.RequestStop();
    soundStopEvent.Set();
    inboxWorker_->Wake();
}

void CConsole::WaitForWorkers() {
    workers_.Wait();
    // Saves asked for while the worker was stopped, or after its last commit.
    inboxWorker_->Commit();
}

void CConsole::StopWorkersAndWait() {
    StopWorkers();
    WaitForWorkers();
    soundStopEvent.Set();
}

bool CConsole::PrepareToWrite() {
    if (!folderClaimed_)
        return false;
    std::call_once(recovery_, [this] {
        // With the folder claimed, no other copy can be in the middle of a commit: one
        // that a crash interrupted is finished before the files are read or written.
        // Inbox files it could not delete stay in the inbox ledger it put in place.
        const bool interrupted = FileSystem::FileExists(committer_->journalPath());
        committer_->Recover(nullptr);
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
        if (trackSink_ != nullptr) {
            int keepDays;
            {
                auto lock = Lock();
                keepDays = settings.trackKeepDays;
            }
            trackSink_->StartRetention(keepDays);
        }
    });
    return true;
}

void CConsole::QuiesceWorkers(bool storeReplaced) {
    if (workers_.Started())
        StopWorkersAndWait();
    else
        inboxWorker_->Commit();
    if (storeReplaced) {
        // Whatever could not be written stays in its inbox files and is read again into
        // the new store.
        {
            auto lock = Lock();
            UncountLocked(committer_->DiscardLocked());
        }
        inboxWorker_->DiscardBatch();
        committer_->StateReloaded();
    }
}

void CConsole::ResetListRows() {
    int rowCount = 0;
    {
        auto lock = Lock();
        rowCount = store.ResetShownRows();
        ++rowsGeneration_;
    }
    view_.RowsReset(rowCount);
}

std::shared_ptr<RefreshSnapshot> CConsole::RefreshView() {
    return refreshPass_.Run(storeMutex_, store, clock_, stopRefreshEvent,
                            [this](RefreshSnapshot& snapshot, DateTime now) {
                                snapshot.statusTexts = StatusTextsLocked(now);
                                snapshot.rowsGeneration = rowsGeneration_.load();
                            });
}

// ---- operator commands ----

bool CConsole::AcknowledgeAlerts(const std::vector<int32_t>& objectNumbers) {
    const std::string account = Platform::CurrentAccountName();
    auto lock = Lock();
    // Added under the lock that every alert is added under: it comes after each alert
    // raised before it, in this commit or an earlier one, and before each raised after.
    if (committer_->KeepsTracks() && !objectNumbers.empty())
        committer_->AddJournalEntryLocked(JournalAck{UtcNow(), account, objectNumbers});
    const bool changed = CAlertRules::Acknowledge(store, objectNumbers);
    if (changed)
        soundPlayer_->Acknowledge();
    if (!objectNumbers.empty())
        RequestSave(CStateCommitter::kStateFiles);
    return changed;
}

bool CConsole::AnyPending(const std::vector<int32_t>& objectNumbers) {
    auto lock = Lock();
    return CAlertRules::AnyPending(store, objectNumbers);
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
    const bool moved = store.SortByKey(key, zoneIndex, zoneMap.get(), clock_.Now());
    if (moved)
        ++rowsGeneration_;
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
