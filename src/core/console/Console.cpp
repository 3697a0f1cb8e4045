#include "console/Console.h"

#include "alerts/SoundPlayer.h"
#include "intake/InboxFile.h"
#include "model/TextUtil.h"

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
    LoadLayout();
}

CConsole::~CConsole() {
    // The workers use the store, the map and the sound player: all of them must have
    // left before anything is released.
    StopWorkers();
    WaitForWorkers();
    soundPlayer_.reset();
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
    auto lock = Lock();
    return store.LoadAddressBook(settings.channelObj);
}

bool CConsole::LoadZones() {
    auto lock = Lock();
    // A map that failed to load is never put into use.
    auto map = std::make_unique<CZoneMap>();
    if (!map->Load(settings.qmxInfoFile))
        return false;
    zoneMap = std::move(map);
    return true;
}

void CConsole::ReloadState() {
    auto lock = Lock();
    if (!staleTempFilesRemoved_) {
        // Only now: the single-instance lock is held, so no other copy of the program
        // can be in the middle of writing one of these files.
        FileSystem::RemoveStaleTempFiles(paths.programFolder);
        staleTempFilesRemoved_ = true;
    }
    store.LoadState();
    RecomputeFromLastMessages();
    store.LoadZoneAssignments(*zoneMap);
}

void CConsole::RecomputeFromLastMessages() {
    for (int i = 0; i < store.objectCount; ++i) {
        ObjectRecord& o = store.Object(i);
        if ((o.hasMessage & kHasPosition) != 0) {
            const InboxRecordHeader h = InboxRecordHeader::Decode(o.lastMessage.data());
            o.speedKmh = TruncateTowardZero(h.speed);
            o.latitude = h.latitude;
            o.longitude = h.longitude;
            o.currentZone = zoneMap->FindZoneAt(o.latitude, o.longitude);
            o.currentZoneName = ZoneNameOf(o.currentZone);
        }
        if (o.hasSettings == 0) {
            o.firstTimeout = settings.firstTimeOut;
            o.secondTimeout = settings.secondTimeOut;
            o.alertSettings = AlertSettings();
        }
    }
}

bool CConsole::SaveSettings() {
    if (!MaySaveSettingsOver(paths.settingsPath, settingsFileUnreadable)) {
        return false;
    }
    settingsFileUnreadable = false;
    return ::SaveSettings(paths.settingsPath, settings, store.selectedIdsText);
}

bool CConsole::SaveLayout() {
    return layout.SaveLayout();
}

std::string CConsole::ZoneNameOf(int zone) const {
    if (zone < 0 || zone >= zoneMap->ZoneCount())
        return "---";
    return zoneMap->Zone(zone).name;
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
    refreshThread_ = std::thread([this] { RefreshWorkerLoop(); });
    inboxThread_ = std::thread([this] { InboxWorkerLoop(); });
}

void CConsole::StopWorkers() {
    stopRefreshEvent.Set();
    soundStopEvent.Set();
    stopPollingEvent.Set();
}

void CConsole::WaitForWorkers() {
    pollingDoneEvent.Wait();
    refreshDoneEvent.Wait();
    JoinWorkers();
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

void CConsole::InboxWorkerLoop() {
    int periodMs;
    {
        auto lock = Lock();
        periodMs = settings.timer < 0 ? 0 : settings.timer;
    }
    for (;;) {
        PollOnce();
        if (stopPollingEvent.WaitFor(periodMs))
            break;
    }
    pollingDoneEvent.Set();
}

void CConsole::RefreshWorkerLoop() {
    for (;;) {
        // The pass holds the lock; the hand-over to the window happens after it is
        // released.
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
        store.SaveState();
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
