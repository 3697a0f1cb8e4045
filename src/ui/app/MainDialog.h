#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainCommands.h"
#include "app/MainPlacement.h"
#include "app/SecondaryWindows.h"
#include "app/StartupSequence.h"
#include "app/TrayIcon.h"
#include "console/ProgramPaths.h"
#include "objectlist/ObjectRows.h"
#include "refresh/RefreshSnapshot.h"
#include "settings/Settings.h"
#include "settings/WindowLayout.h"

class QAction;
class QMenu;
class CAlertPopupDialog;
class CCloseRequestListener;
class CConsole;
class CConsoleBridge;
class CDistanceWindows;
class CFailureReports;
class CHistoryWindows;
class CMapWindowKeeper;
class CObjectListCtrl;
class CPopupKeeper;
class CReplayWindows;
class CShowRequestChannel;
class CStatusBar;
class Clock;
class TrackSource;
class AlertJournalSource;
class SoundOutput;

// The program's only top-level window: the object list above a three-part status bar,
// the main menu, the context menus, and the events of the window. Its parts live beside
// it: the bridge that brings the workers' calls to the GUI thread (CConsoleBridge), the
// start-up (CStartupSequence), the commands with their dialogs (CMainCommands), the tray
// icon (CTrayIcon) and the window's placement (CMainPlacement).
//
// Everything here runs on the GUI thread. The console is read through copies
// (CConsoleQueries) and changed through CConsoleEdits and CLayoutEdits, which take the
// console lock inside the core; nothing here takes it.
class CMainDialog : public QMainWindow {
    Q_OBJECT
public:
    // Command ids of the menus; each QAction carries its id in data().
    enum Command : int {
        kCmdExit = 32771,
        kCmdControlPanel = 32772,
        kCmdSettings = 32773,
        kCmdAbout = 32774,
        kCmdAddressBook = 32775,
        kCmdZones = 32778,
        kCmdOpenAddressBookFile = 32779,
        kCmdOpenZoneFile = 32780,
        kCmdZoneDistances = 32781,
        kCmdAcknowledge = 32782,
        kCmdObjectDistances = 32783,
        kCmdResetTotalCounter = 32784,
        kCmdResetRunCounter = 32785,
        kCmdHistory = 32788,
        kCmdTrayExit = 32789,
        kCmdTrayShow = 32790,
        kCmdMap = 32791,
        kCmdReplay = 32792,
        kCmdJournal = 32793,
    };
    using ShowState = CMainPlacement::ShowState;

    // The program's window: the computer's clock and the SDL sound output. Builds the
    // console, which reads Interface.ini; nothing else touches the disk.
    explicit CMainDialog(const ProgramPaths& paths, QWidget* parent = nullptr);
    // With a clock and a sound output of the caller's (tests); both must outlive the
    // window.
    CMainDialog(const ProgramPaths& paths, const Clock& clock, SoundOutput& sound,
                QWidget* parent = nullptr);
    // Stops the workers and waits for them before the console and the windows that use
    // it go away.
    ~CMainDialog() override;

    // The start-up steps in their fixed order (CStartupSequence::Run). False when the
    // program must end at once; the window has then never been shown.
    bool Initialise();
    // Whether the window stays hidden at start (minimised to the tray at the last exit).
    bool StartsHidden() const;
    // Shows the window in the state the layout recorded (unless it starts in the tray).
    void ShowAtStart();
    // SIGTERM / SIGINT close the window after a second, open dialogs or not.
    void ListenForOutsideCloseRequests();
    // A later copy of the same account asked for the window: out of the tray or the task
    // bar, to the front and active (while start-up still asks something, that question
    // comes forward instead).
    void BringToFront();
    // Where later copies ask for the window; tests may set the name before Initialise.
    void SetShowChannelName(const QString& name) { startup_->SetShowChannelName(name); }
    CShowRequestChannel* ShowChannel() const { return startup_->ShowChannel(); }

    // ---- the parts ----
    CConsole& Console() const { return *console_; }
    CConsoleBridge& Bridge() const { return *bridge_; }
    CStartupSequence& Startup() const { return *startup_; }
    CMainPlacement& Placement() { return placement_; }
    CMainCommands& Commands() const { return *commands_; }
    // Tests put recorders in place of the commands.
    void SetCommands(std::unique_ptr<CMainCommands> commands) { commands_ = std::move(commands); }
    CDistanceWindows* DistanceWindows() const { return &windows_->Distances(); }
    CHistoryWindows* HistoryWindows() const { return &windows_->Histories(); }
    CMapWindowKeeper* MapWindow() const { return &windows_->Map(); }
    CReplayWindows* ReplayWindows() const { return &windows_->Replays(); }
    CSecondaryWindows& Secondary() const { return *windows_; }
    // Where the replay reads routes back (null without a track store). Shared: a read
    // under way keeps it alive after the window has gone.
    void SetTrackSource(std::shared_ptr<TrackSource> source) { trackSource_ = std::move(source); }
    std::shared_ptr<TrackSource> Tracks() const { return trackSource_; }
    // Where the journal window and the hand-over at start read the alert journal (null
    // without one). Shared, as the track source.
    void SetAlertJournal(std::shared_ptr<AlertJournalSource> journal) {
        journal_ = std::move(journal);
    }
    std::shared_ptr<AlertJournalSource> Journal() const { return journal_; }
    // The alert pop-up while it is open, else null.
    CAlertPopupDialog* Popup() const;

    // ---- the list ----
    // Writes a refresh pass into the status bar and the rows; a pass of an older row
    // generation is dropped. Then the distance views are refreshed.
    void ApplySnapshot(const RefreshSnapshot& snapshot);
    // A refresh pass on this thread, applied at once (after a sort).
    void RefreshNow();
    // Sorts by `key` (distance to `zoneIndex` for key 12); the selection and the current
    // row go with their objects.
    void SortKeepingSelection(int key, int zoneIndex);
    // Object numbers of the selected rows, in list order (rows without a known object
    // are skipped).
    std::vector<int32_t> SelectedObjectNumbers() const { return rows_.SelectedObjectNumbers(); }
    // The object number of every selected row, -1 for a row without an object.
    std::vector<int32_t> SelectedRowNumbers() const { return rows_.SelectedRowNumbers(); }
    // Object number shown in `row`, -1 when unknown.
    int32_t RowObjectNumber(int row) const { return rows_.ObjectNumber(row); }
    // Makes the row of the object the only selected one and scrolls it into view (a
    // click on the object in the map window). False when no row shows it.
    bool SelectObjectRow(int32_t objectNumber) { return rows_.Select(objectNumber); }
    // Tooltip of a row: the object's tooltip text.
    QString RowTooltip(int row) const;
    // The pop-up's hand-over on the GUI thread: restores the window, then the text goes
    // into the open pop-up or a new one. Both come forward; they take the keyboard only
    // when the dispatcher is not at work in a window of ours.
    void ShowPopupText(const QString& text, int kind);
    // Several texts at once, oldest first: the window comes forward once.
    void ShowPopupTexts(const QList<QPair<QString, int>>& texts);
    CObjectListCtrl* List() const { return list_; }
    // Deletes all columns and inserts those of the layout, in its order.
    void BuildListColumns();
    // The operator changed a column's width: every width goes into the layout.
    void OnListColumnsChanged();

    // ---- commands ----
    void RunCommand(int commandId);

    // Ordinary close ("Выход", the close box): refused while a modal dialog is open.
    void Exit();
    // "Выход" of the tray menu: removes the icon and closes, dialogs or not.
    void TrayExit();
    // A close request from outside the program: closes after one second, dialogs or not.
    void OutsideCloseRequest();
    bool IsEnded() const { return ended_; }

    // ---- status bar ----
    // The parts follow the window's width.
    void FitStatusParts();
    void SetStatusTexts(const QString& part0, const QString& part1, const QString& part2);
    CStatusBar* StatusBar() const { return statusBar_; }
    // The counters menu opens only over the bar's counters part.

    // ---- tray ----
    // To the tray: the icon is shown and the window and its secondary windows hidden
    // (with no tray, the window is only minimised).
    void AddTrayIcon();
    void RemoveTrayIcon();
    void SetTrayTip(const QString& text) { tray_->SetTip(text); }
    // Back from the tray; to the front and active unless told otherwise.
    void RestoreFromTray(bool activate = true);
    bool TrayIconShown() const { return tray_->Shown(); }
    QString TrayTip() const { return tray_->Tip(); }
    // Tests decide whether a tray exists; by default the desktop is asked.
    void SetTrayAvailableOverride(std::optional<bool> available) {
        tray_->SetAvailableOverride(available);
    }

    // ---- placement bookkeeping ----
    // The window was moved or resized, or changed between normal, maximised and
    // minimised; records it in the layout and saves it (nothing before initDone).
    void HandleMoveOrSize(ShowState state, bool sizeChanged);
    ShowState CurrentShowState() const { return placement_.Current(); }

    // ---- menus ----
    QAction* CommandAction(int commandId) const;
    QMenu* ObjectMenu() const { return objectMenu_; }
    QMenu* CountersMenu() const { return countersMenu_; }
    QMenu* TrayMenu() const { return trayMenu_; }
    // Enables "Сбросить оповещения" only when something is pending.
    void PrepareObjectMenu();

    // The failure boxes.
    CFailureReports& Reports() const { return *reports_; }

    // Start-up loads after the single-instance check (address book, zones, state,
    // workers). False ends the program.
    virtual bool LoadAtStart();
    // Reopens the distance and history windows recorded in the layout.
    virtual void RestoreWindowsAtStart(bool show);

    // True while a modal dialog, file dialog or message box of this window (or the alert
    // pop-up) is open: the window then refuses an ordinary close.
    bool modalOpen = false;
    // Set once start-up has passed the single-instance check and every load.
    bool initDone = false;

signals:
    // The window has ended; the program ends with it.
    void finished(int result);
    // The secondary windows must re-read the main window's place (1) or rebuild their
    // rows (0).
    void secondaryWindowsNotice(int what);

protected:
    // Sets the stop events of the workers and the sound before the window ends.
    virtual void StopForClose();
    bool SaveLayout();

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
#ifdef Q_OS_WIN
    // Another program asks the window to close with the user message WM_USER + 1.
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    friend class ModalScope;

    CMainDialog(const ProgramPaths& paths, std::unique_ptr<Clock> ownClock,
                std::unique_ptr<SoundOutput> ownSound, const Clock* clock, SoundOutput* sound,
                QWidget* parent);

    void BuildMenus();
    QAction* AddCommand(QMenu* menu, const QString& text, int commandId);
    void OnStatusContextMenu(const QPoint& globalPos);
    void OnListContextMenu(const QPoint& pos);
    void EndDialog();
    void OnSecondaryWindowsNotice(int what);
    // What the workers hand over, on the GUI thread.
    void OnRowsReset(int rowCount);
    // Recomputes the modal flag from the open dialogs and the pop-up.
    void UpdateModalFlag();

    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<SoundOutput> ownSound_;
    const Clock& clock_;
    SoundOutput& sound_;
    // Declared before the console, which reports to it from its construction on.
    CConsoleBridge* bridge_;
    std::unique_ptr<CConsole> console_;
    std::unique_ptr<CStartupSequence> startup_;
    CMainPlacement placement_;
    std::unique_ptr<CFailureReports> reports_;

    CObjectListCtrl* list_;
    CStatusBar* statusBar_;
    QMenu* objectMenu_ = nullptr;
    QMenu* countersMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    CTrayIcon* tray_ = nullptr;
    std::unique_ptr<CMainCommands> commands_;
    CCloseRequestListener* closeListener_ = nullptr;
    std::unique_ptr<CSecondaryWindows> windows_;
    CPopupKeeper* popups_ = nullptr;

    CObjectRows rows_;
    std::shared_ptr<TrackSource> trackSource_;
    std::shared_ptr<AlertJournalSource> journal_;

    int modalDepth_ = 0;
    bool ended_ = false;
    bool outsideCloseRequested_ = false;
};
