#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/WindowFrame.h"
#include "console/ConsoleView.h"
#include "console/ProgramPaths.h"
#include "objectlist/RowColouring.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/WindowLayout.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class CAlertPopupDialog;
class CCloseRequestListener;
class CConsole;
class CDistanceWindows;
class CHistoryWindows;
class CMapWindowKeeper;
class CObjectListCtrl;
class CShowRequestChannel;
class CStatusBar;
class Clock;
class SoundOutput;

// The program's only top-level window: the object list above a three-part status bar,
// the main menu, the context menus and the tray icon, and the window of a live CConsole.
//
// The console's workers reach the window only through the ConsoleView calls, which copy
// their arguments and queue them to the GUI thread; nothing here ever makes a worker
// wait for the GUI thread. Everything else runs on the GUI thread, and every access to
// the console's layout, store, zone map or counters takes the console lock (the inbox
// worker writes the layout after every message).
//
// The command methods are virtual so that tests of the window's own half can replace
// what lies behind them.
class CMainDialog : public QMainWindow, public ConsoleView {
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
    };
    enum class ShowState { Normal, Maximised, Minimised };

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

    // The start-up steps in their fixed order. False when the program must end at once
    // (a second copy, or a load the dispatcher could not complete); the window has then
    // never been shown. A second copy writes nothing into the program folder: it brings
    // the running window of its account to the front, or says that another account
    // runs the program.
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
    // Where later copies ask for the window (listening once the window holds the
    // single-instance lock); tests may set the name before Initialise.
    void SetShowChannelName(const QString& name) { showChannelName_ = name; }
    CShowRequestChannel* ShowChannel() const { return showChannel_; }

    // ---- the console ----
    CConsole& Console() const { return *console_; }
    CDistanceWindows* DistanceWindows() const { return distanceWindows_; }
    CHistoryWindows* HistoryWindows() const { return historyWindows_; }
    CMapWindowKeeper* MapWindow() const { return mapWindow_; }
    // The alert pop-up while it is open, else null.
    CAlertPopupDialog* Popup() const;

    // ---- ConsoleView (any thread: queued to the GUI thread) ----
    void ShowPopup(const std::string& text, PopupKind kind) override;
    void ApplyRefresh(std::shared_ptr<const RefreshSnapshot> snapshot) override;
    void SetTrayTip(const std::string& text) override;
    void ReportSoundError() override;
    void HistoryChanged() override;
    void ReportSaveFailure(bool failing) override;
    // GUI thread only (called by StartWorkers through ResetListRows).
    void RowsReset(int rowCount) override;

    // ---- the list (GUI thread) ----
    // Writes a refresh pass into the status bar and the rows; a pass of an older row
    // generation is dropped. Then the distance views are refreshed.
    void ApplySnapshot(const RefreshSnapshot& snapshot);
    // A refresh pass on this thread, applied at once (after a sort).
    void RefreshNow();
    // Object numbers of the selected rows, in list order (rows without a known object
    // are skipped).
    std::vector<int32_t> SelectedObjectNumbers() const;
    // Object number shown in `row`, -1 when unknown.
    int32_t RowObjectNumber(int row) const;
    // Makes the row of the object the only selected one and scrolls it into view (a
    // click on the object in the map window). False when no row shows it.
    bool SelectObjectRow(int32_t objectNumber);
    // Tooltip of a row: the object's tooltip text.
    QString RowTooltip(int row) const;
    // The pop-up's hand-over on the GUI thread: restores the window, then the text goes
    // into the open pop-up or a new one.
    void ShowPopupText(const QString& text, int kind);

    // ---- start-up loads (also used by the settings dialog for a changed zone file) ----
    bool LoadAddressBookAtStart();
    bool LoadZonesAtStart();

    // ---- commands ----
    void RunCommand(int commandId);
    virtual void OpenZoneFile();
    virtual void OpenAddressBookFile();
    virtual void ShowZonesDialog();
    virtual void EditAddressBook();
    virtual void EditSettings();
    virtual void ShowZoneDistances();
    virtual void ShowObjectDistances();
    // "Карта...": opens the map window or brings it forward.
    virtual void ShowMap();
    virtual void ShowAbout();
    virtual void EditObjectSettings();
    virtual void EditZoneAssignment();
    virtual void AcknowledgeAlerts();
    virtual void OpenHistoryWindows();
    virtual void ResetTotalCounter();
    virtual void ResetRunCounter();
    // Whether any selected row's object has an event waiting for acknowledgement.
    virtual bool AnySelectedPending() const;
    // A click on a column header: the column id shown there is the sort key.
    virtual void SortByColumn(int columnId);
    // A distance view asks for a sort by `key` (distance to `zoneIndex` for key 12).
    void SortFromView(int key, int zoneIndex);
    // The settings password guard; "Неверный пароль!" on a wrong one.
    bool CheckPassword();

    // Ordinary close ("Выход", the close box): refused while a modal dialog is open.
    void Exit();
    // "Выход" of the tray menu: removes the icon and closes, dialogs or not.
    void TrayExit();
    // A close request from outside the program: closes after one second, dialogs or not.
    void OutsideCloseRequest();
    bool IsEnded() const { return ended_; }

    // ---- status bar ----
    // Right edges of the three parts for a window `outerWidth` pixels wide.
    static std::array<int, 3> StatusPartEdgesFor(int outerWidth);
    std::array<int, 3> StatusPartEdges() const;
    void SetStatusTexts(const QString& part0, const QString& part1, const QString& part2);
    CStatusBar* StatusBar() const { return statusBar_; }
    // The counters menu opens only over the counters part of a bar at least 280 wide:
    // strictly between right - 270 and right - 150 (screen x).
    static bool CountersAreaContains(int screenX, int barLeft, int barWidth);
    bool InCountersArea(int screenX) const;

    // ---- tray ----
    void AddTrayIcon();
    void RemoveTrayIcon();
    void SetTrayTip(const QString& text);
    void RestoreFromTray();
    bool TrayIconShown() const { return trayIconShown_; }
    QString TrayTip() const { return trayTip_; }
    // Tests decide whether a tray exists; by default the desktop is asked.
    void SetTrayAvailableOverride(std::optional<bool> available) { trayAvailable_ = available; }
    bool TrayAvailable() const;

    // ---- placement bookkeeping ----
    // The window was moved or resized, or changed between normal, maximised and
    // minimised; records it in the layout and saves it (nothing before initDone).
    void HandleMoveOrSize(ShowState state, bool sizeChanged);
    ShowState CurrentShowState() const;

    // ---- list ----
    CObjectListCtrl* List() const { return list_; }
    // Deletes all columns and inserts those of the layout, in its order.
    void BuildListColumns();
    // The operator changed a column's width: every width goes into the layout.
    void OnListColumnsChanged();

    // ---- menus ----
    QAction* CommandAction(int commandId) const;
    QMenu* ObjectMenu() const { return objectMenu_; }
    QMenu* CountersMenu() const { return countersMenu_; }
    QMenu* TrayMenu() const { return trayMenu_; }
    // Enables "Сбросить оповещения" only when something is pending.
    void PrepareObjectMenu();

    // Shows "Ошибка записи на жесткий диск, ..." (a settings file could not be written).
    void ReportWriteFailure();
    // A stop box under the dispatcher's caption about a file that could not be read or
    // written.
    void ShowFileError(const QString& text);
    // Tells the dispatcher that Sentrel.ini could not be read at start (defaults stand).
    void ReportSettingsUnreadable();
    // A second copy: asks the running copy to come to the front; when no copy of this
    // account answers, says that the program runs already.
    void TellAboutRunningCopy();
    // After a settings save that failed: the write failure, or, while the unreadable
    // file is kept, that the settings were not saved.
    void ReportSettingsNotSaved();

    // ---- state ----
    // The console's own, for tests (which hold the store lock while the workers run).
    const ProgramPaths& Paths() const;
    WindowLayout& Layout();
    Settings& CurrentSettings();
    std::string& SelectedIdsText();

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
    // Start-up loads after the single-instance check (address book, zones, state,
    // workers). False ends the program.
    virtual bool LoadAtStart();
    // Reads Sentrel.ini; when it cannot be read, writes the defaults back at once.
    // False only when that write failed.
    virtual bool LoadSettingsAtStart();
    // Reopens the distance and history windows recorded in the layout.
    virtual void RestoreWindowsAtStart(bool show);
    // Sets the stop events of the workers and the sound before the window ends.
    virtual void StopForClose();
    virtual bool SaveLayout();

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
    void UpdateStatusParts();
    // Back from the tray or the task bar: maximised again when it was maximised before.
    void ShowUnminimised();
    void OnStatusContextMenu(const QPoint& globalPos);
    void OnListContextMenu(const QPoint& pos);
    void EndDialog();
    void OnSecondaryWindowsNotice(int what);
    void OnPopupClosed();
    void ShowSoundError();
    // Stops the workers and waits until they have left (the dialogs that follow change
    // the store without the lock).
    void StopWorkersAndWait();
    void StartWorkers();
    // Saves Sentrel.ini; a failure is reported.
    void SaveSettingsOrReport();
    // Shared steps of the two start-up loads.
    bool LoadAtStartWithPrompts(bool zones);
    // Shared steps of the two menu commands that open another zone file or address book.
    void OpenDataFileWithPrompts(bool zones);
    // The object number of every selected row, -1 for a row without an object.
    std::vector<int32_t> SelectedRowNumbers() const;
    // A sort moves the objects between the rows: the selection and the current row go
    // with their objects, not with the row positions.
    struct SelectionMemo {
        std::vector<int32_t> numbers;
        int32_t current = -1;
        int currentColumn = 0;
    };
    SelectionMemo RememberSelection() const;
    void RestoreSelection(const SelectionMemo& memo);
    // Recomputes the modal flag from the open dialogs and the pop-up.
    void UpdateModalFlag();

    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<SoundOutput> ownSound_;
    const Clock& clock_;
    SoundOutput& sound_;
    std::unique_ptr<CConsole> console_;
    CInstanceLock instanceLock_;

    CObjectListCtrl* list_;
    CStatusBar* statusBar_;
    QMenu* objectMenu_ = nullptr;
    QMenu* countersMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QSystemTrayIcon* trayIcon_ = nullptr;
    CCloseRequestListener* closeListener_ = nullptr;
    CShowRequestChannel* showChannel_ = nullptr;
    QString showChannelName_;
    CDistanceWindows* distanceWindows_ = nullptr;
    CHistoryWindows* historyWindows_ = nullptr;
    CMapWindowKeeper* mapWindow_ = nullptr;
    QPointer<CAlertPopupDialog> popup_;
    // The dispatcher is told once per episode of failed saves.
    bool saveFailureReported_ = false;
    // The box telling of a failed save is open: a failure that ends and comes back
    // meanwhile is the one it tells of, not a reason for another box.
    bool saveFailureBoxOpen_ = false;

    // What the list rows show, as far as the refresh passes told: the object number,
    // the state the row is coloured for (-1 = not yet) and the texts written (to skip
    // converting unchanged ones).
    struct RowView {
        int32_t objectNumber = -1;
        int32_t colouredState = -1;
        std::array<std::string, kColumnIdCount> texts;
    };
    std::vector<RowView> rows_;
    // Column position of every id (-1 = not shown) and the columns the colouring treats
    // specially; rebuilt with the columns.
    std::array<int, kColumnIdCount> columnPositions_{};
    RowColourColumns colourColumns_;

    // Work handed over by the workers, run on the GUI thread in the order it came. The
    // queued call only wakes the GUI thread; what it carries passes through this mutex.
    void PostToGui(std::function<void()> task);
    Q_INVOKABLE void RunPostedTask();
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;

    // The newest snapshot from the refresh worker not yet applied: a slow GUI thread
    // skips older ones instead of queueing them up.
    std::mutex pendingMutex_;
    std::shared_ptr<const RefreshSnapshot> pendingSnapshot_;
    bool snapshotPosted_ = false;

    int modalDepth_ = 0;
    bool soundErrorShown_ = false;
    bool trayIconShown_ = false;
    QString trayTip_;
    std::optional<bool> trayAvailable_;
    ShowState startState_ = ShowState::Normal;
    WindowFrame::Placed placed_;
    bool ended_ = false;
    bool outsideCloseRequested_ = false;
    bool frameCorrected_ = false;
};
