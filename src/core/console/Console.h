#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/ConsoleView.h"
#include "console/ProgramPaths.h"
#include "console/WorkerThreads.h"
#include "intake/InboxWorker.h"
#include "intake/IntakeTarget.h"
#include "model/DataStore.h"
#include "persist/LogWriter.h"
#include "persist/StateCommitter.h"
#include "persist/TrackRecorder.h"
#include "persist/TrackSink.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/ManualResetEvent.h"
#include "refresh/RefreshPass.h"
#include "rules/RuleEffects.h"
#include "settings/Settings.h"
#include "settings/WindowLayout.h"
#include "zones/ZoneMap.h"

class SoundOutput;
class CSoundPlayer;
struct InboxRecord;

// The window-less half of the main window: it owns the store, the zone map, the settings
// values, the layout, the counters, the events and the workers, and wires them together:
// the inbox worker (intake/) hands it a file's bytes, the rules (rules/) apply them, the
// group commit (persist/) writes them, the refresh pass (refresh/) shows them. What it
// does itself is the loads, starting and stopping the workers, and the operator's
// commands. Whatever must be shown goes through ConsoleView.
//
// Threads: the window's thread calls everything not marked otherwise. The inbox worker
// and the refresh worker run inside. One mutex guards the store, the zone map, the
// layout and the counters: held for one inbox file, for one refresh pass, while a
// commit serialises the changed files, and briefly by the window's operations (take it
// with Lock()). No thread holds it while it waits for another thread or for the disk:
// the data files are written by the group commit (CStateCommitter) outside it.
class CConsole : private IntakeTarget {
    // First: the public event references below are bound to it.
    CWorkerThreads workers_;

public:
    CConsole(const ProgramPaths& paths, const Clock& clock, SoundOutput& sound, ConsoleView& view);
    // Stops the workers and waits until both have left their loops (and the sound
    // player has ended) before the store is released.
    ~CConsole();
    CConsole(const CConsole&) = delete;
    CConsole& operator=(const CConsole&) = delete;

    // ---- owned state (guard with Lock() while the workers run) ----
    const ProgramPaths paths;
    Settings settings;
    // Sentrel.ini is there but could not be read at start: the defaults stand, and
    // SaveSettings leaves that file alone rather than replace the operator's settings.
    bool settingsFileUnreadable = false;
    WindowLayout layout;
    CDataStore store;
    std::unique_ptr<CZoneMap> zoneMap;
    int32_t runMessageCount = 0;  // totalMessageCount and lastMessageText live in `layout`
    std::atomic<bool> trayIconShown{false};

    ManualResetEvent& stopPollingEvent = workers_.stopPollingEvent;
    ManualResetEvent& stopRefreshEvent = workers_.stopRefreshEvent;
    ManualResetEvent& pollingDoneEvent = workers_.pollingDoneEvent;
    ManualResetEvent& refreshDoneEvent = workers_.refreshDoneEvent;
    ManualResetEvent soundStopEvent;

    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(storeMutex_); }
    const Clock& clock() const { return clock_; }
    // UTC now by the console's clock (its local time and time-zone bias; no bias known:
    // the local time).
    DateTime UtcNow() const;
    // When this run began (UTC, set once by the constructor; any thread): the alert
    // journal's alerts raised before it and still not acknowledged are the hand-over
    // from the shift before.
    DateTime runStartUtc() const { return runStartUtc_; }

    // ---- start-up (window thread, workers not running) ----
    // LoadAddressBook, LoadZones, ReloadState, ResetListRows, the record processing,
    // RefreshView, StatusTexts and the operator commands below take the lock themselves
    // (a worker told to stop may still be finishing its record): call them without
    // holding Lock(). The other members (settings and layout loads and saves,
    // RecomputeFromLastMessages, the zone and alert steps) run under the caller's lock.
    // Settings from Sentrel.ini; when the file is missing, the defaults are written
    // back at once, or by ClaimProgramFolder when the folder is not claimed yet.
    // Returns false only when that write failed (the window shows "Ошибка записи на
    // жесткий диск, ..."). Sets settingsFileUnreadable. Also passes the time offset to
    // the store.
    bool LoadSettingsAtStart();
    // The program folder becomes this copy's: call it once the single-instance lock is
    // held. Until then the console writes, renames and removes nothing there (no
    // recovery, no clean-up, no commit, no save, no worker; the destructor included),
    // since a refused second copy must leave the running copy's files alone. Writes the
    // defaults a missing Sentrel.ini left waiting, under the caller's lock; false when
    // that write failed.
    bool ClaimProgramFolder();
    // Every applied position is kept in `sink` (SntTracks.db, src/tracks) with each
    // commit. Call once, before ClaimProgramFolder; without it no points are gathered.
    // The sink is opened and its retention (Settings::trackKeepDays) started once the
    // folder is claimed.
    // `retryAfter`: how soon a store that refused is tried again (CTrackRecorder).
    void AttachTrackSink(std::unique_ptr<TrackSink> sink,
                         std::chrono::milliseconds retryAfter = std::chrono::seconds(5));
    // Reads Interface.ini (done by the constructor; exposed for reloads in tests).
    void LoadLayout();
    // Address book from settings.channelObj into the store. False when it fails.
    bool LoadAddressBook();
    // Zone file from settings.qmxInfoFile. On success the new map replaces the old;
    // on failure the old map stays and false is returned.
    bool LoadZones();
    // LoadState, RecomputeFromLastMessages and LoadZoneAssignments against the map in use.
    // The first call (start-up, after the single-instance lock) also removes leftovers
    // of interrupted atomic writes from the program folder.
    void ReloadState();
    // Writes Sentrel.ini from the current values; false on a write failure, and false
    // without writing while settingsFileUnreadable and the file is still there.
    bool SaveSettings();
    // Asks for Interface.ini to be written with the next commit (soon, without waiting
    // for the disk); any thread, with or without the lock.
    bool SaveLayout() {
        RequestSave(CStateCommitter::kLayoutFile);
        return true;
    }
    // Asks for data files (CStateCommitter::File bits) to be written with the next
    // commit; any thread, with or without the lock. Saves asked for while the inbox
    // worker is stopped are written when it is waited for, restarted or by FlushSaves.
    void RequestSave(uint32_t files);
    // Writes everything pending now (call without the lock). False when it failed; it
    // stays pending and is tried again.
    bool FlushSaves();

    // ---- workers ----
    // ResetListRows, then (after the previous workers have ended) starts the refresh
    // worker and the inbox worker.
    void StartWorkers();
    // Sets the stop events of both workers and of the sound; does not wait.
    void StopWorkers();
    // Blocks until both workers have left their loops, then writes what is pending.
    void WaitForWorkers();
    // StopWorkers and WaitForWorkers; the sound stays stopped (a worker finishing its
    // pass may have raised an alert meanwhile). Before anything replaces the store or
    // the map, and before a modal dialog that changes them.
    void StopWorkersAndWait();
    // Rebuilds the list rows: one per shown object, every rowState -1 (view->RowsReset).
    void ResetListRows();

    // ---- the road of one message (inbox worker; public for tests) ----
    // One pass of the inbox worker over the shown objects, committed before it returns.
    void PollOnce();
    void ProcessRecord(const InboxRecord& record, const std::string& path);
    // The kind of the sound playing, -1 for none.
    int32_t soundKind() const;

    // ---- refresh ----
    // One refresh pass (call without the lock): the store lock is held only while the
    // rows are gathered, their texts are formatted after it; advances the blink phases.
    std::shared_ptr<RefreshSnapshot> RefreshView();
    // How long the last refresh pass held the store lock (for measurements).
    int64_t lastRefreshLockedNs() const { return refreshPass_.lastLockedNs(); }
    uint64_t rowsGeneration() const { return rowsGeneration_.load(); }

    // ---- operator commands (window thread; password checks are the window's) ----
    // For each object number: a positive lastEventKind is negated, the sound stops.
    // The state is saved. Returns true when anything changed. With a track store, the
    // acknowledgement (its time, the operating-system account, the objects) goes into
    // the alert journal with the commit it causes, after every alert raised before it,
    // and covers each of those alerts of these objects not acknowledged yet.
    bool AcknowledgeAlerts(const std::vector<int32_t>& objectNumbers);
    bool AnyPending(const std::vector<int32_t>& objectNumbers);
    void ResetRunCounter();
    void ResetTotalCounter();
    // Header click / distance-view sort: same key flips the direction, another key sorts
    // ascending. When anything moved, every shown row is recoloured. True if it moved.
    bool SortByKey(int key, int zoneIndex = -1);
    // Status-bar texts as the refresh writes them.
    std::array<std::string, 3> StatusTexts();

private:
    // ---- IntakeTarget (the inbox worker) ----
    std::unique_lock<std::mutex> LockStore() override { return Lock(); }
    std::string InboxFolderLocked() const override { return settings.channelOutFolder; }
    std::vector<int32_t> ShownNumbersLocked() const override { return store.ShownNumbers(); }
    void ApplyInboxBytesLocked(std::string_view bytes, const std::string& path) override;
    // Also finishes, once per run, a commit a crash interrupted: before the first
    // commit and before the state is read.
    bool PrepareToWrite() override;
    void SaveFailureChanged(bool failing) override { view_.ReportSaveFailure(failing); }
    void ReloadCommittedState(int discardedCounted) override;
    // The data files into the store (lock held), once the commit recovery has run.
    void ReadStateLocked();
    // Takes records that were applied but never committed off the counters (lock held).
    void UncountLocked(int discarded);
    std::string LogTimeLocked() const override { return FormatLogTime(clock_.Now()); }
    void ReportIntakeNotice(const std::string& text) override { view_.ReportIntakeNotice(text); }

    // Before the store or the map is replaced: workers that run are stopped and waited
    // for, and what is pending is written; with `storeReplaced` what could not be is
    // forgotten (its inbox files stay and are read again).
    void QuiesceWorkers(bool storeReplaced);
    // ProcessRecord with the lock held: the rules apply the record; its log entry and
    // the files it changed are queued for the next commit, its notices and sounds
    // handed on.
    void ProcessRecordLocked(const InboxRecord& record, const std::string& path);
    // Notices to the window, sounds to the player, a changed history to both the window
    // and the next commit (lock held).
    void Deliver(const RuleEffects& effects);
    // The bytes of one data file from the current store, layout and map (lock held).
    std::string EncodeFile(CStateCommitter::File file) const;
    std::array<std::string, 3> StatusTextsLocked(DateTime now) const;

    const Clock& clock_;
    const DateTime runStartUtc_;
    ConsoleView& view_;
    CLogWriter log_;
    std::unique_ptr<CSoundPlayer> soundPlayer_;
    std::mutex storeMutex_;
    std::unique_ptr<CStateCommitter> committer_;
    // Declared after the committer that points at it: released before it is.
    std::unique_ptr<TrackSink> trackSink_;
    std::unique_ptr<CTrackRecorder> trackRecorder_;
    std::unique_ptr<CInboxWorker> inboxWorker_;
    std::atomic<uint64_t> rowsGeneration_{0};
    CRefreshPass refreshPass_;
    std::once_flag recovery_;
    std::atomic<bool> folderClaimed_{false};
    bool settingsDefaultsPending_ = false;
};
