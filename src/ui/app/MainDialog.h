#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <optional>
#include <string>

#include "console/ProgramPaths.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/WindowLayout.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class CObjectListCtrl;
class CStatusBar;
class CCloseRequestListener;

// The program's only top-level window: the object list above a three-part status bar,
// the main menu, the context menus and the tray icon. This class is the window's own
// half: start-up order, close rules, placement bookkeeping and tray handling. Commands
// that need the store, the workers or later dialogs are virtual so that the part which
// owns those can fill them in.
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
    };
    enum class ShowState { Normal, Maximised, Minimised };

    // Builds the paths' owners and reads Interface.ini; nothing else touches the disk.
    explicit CMainDialog(const ProgramPaths& paths, QWidget* parent = nullptr);
    ~CMainDialog() override;

    // The start-up steps in their fixed order. False when the program must end at once
    // (a second copy, or a load the dispatcher could not complete); the window has then
    // never been shown.
    bool Initialise();
    // Whether the window stays hidden at start (minimised to the tray at the last exit).
    bool StartsHidden() const;
    // Shows the window in the state the layout recorded (unless it starts in the tray).
    void ShowAtStart();
    // SIGTERM / SIGINT close the window after a second, open dialogs or not.
    void ListenForOutsideCloseRequests();

    // ---- commands ----
    void RunCommand(int commandId);
    virtual void OpenZoneFile() {}
    virtual void OpenAddressBookFile() {}
    virtual void ShowZonesDialog() {}
    virtual void EditAddressBook() {}
    virtual void EditSettings() {}
    virtual void ShowZoneDistances() {}
    virtual void ShowObjectDistances() {}
    virtual void ShowAbout();
    virtual void EditObjectSettings() {}
    virtual void AcknowledgeAlerts() {}
    virtual void OpenHistoryWindows() {}
    virtual void ResetTotalCounter() {}
    virtual void ResetRunCounter() {}
    // Whether any selected row's object has an event waiting for acknowledgement.
    virtual bool AnySelectedPending() const { return false; }
    // A click on a column header: the column id shown there is the sort key.
    virtual void SortByColumn(int /*columnId*/) {}

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

    // ---- state ----
    const ProgramPaths& Paths() const { return paths_; }
    WindowLayout& Layout() { return layout_; }
    Settings& CurrentSettings() { return settings_; }
    std::string& SelectedIdsText() { return selectedIdsText_; }

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
    virtual bool LoadAtStart() { return true; }
    // Reads Sentrel.ini; when it cannot be read, writes the defaults back at once.
    // False only when that write failed.
    virtual bool LoadSettingsAtStart();
    // Sets the stop events of the workers and the sound before the window ends.
    virtual void StopForClose() {}
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
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, const QString& text, int commandId);
    void PlaceAt(const LayoutRect& rect);
    LayoutRect FrameRect() const;
    void UpdateStatusParts();
    void OnStatusContextMenu(const QPoint& globalPos);
    void OnListContextMenu(const QPoint& pos);
    void EndDialog();

    ProgramPaths paths_;
    WindowLayout layout_;
    Settings settings_;
    std::string selectedIdsText_;
    CInstanceLock instanceLock_;

    CObjectListCtrl* list_;
    CStatusBar* statusBar_;
    QMenu* objectMenu_ = nullptr;
    QMenu* countersMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QSystemTrayIcon* trayIcon_ = nullptr;
    CCloseRequestListener* closeListener_ = nullptr;

    bool trayIconShown_ = false;
    QString trayTip_;
    std::optional<bool> trayAvailable_;
    ShowState startState_ = ShowState::Normal;
    LayoutRect placedRect_;
    bool ended_ = false;
    bool outsideCloseRequested_ = false;
    bool frameCorrected_ = false;
};
