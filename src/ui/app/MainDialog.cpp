#include "app/MainDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_WIN
// Only MSG and WM_USER are needed here: without GDI's declarations, whose Polygon() would
// clash with the zone kind of that name.
#define NOGDI
#include <windows.h>
#endif

#include "SdlSoundOutput.h"
#include "alerts/AlertPopupDialog.h"
#include "alerts/HistoryWindows.h"
#include "alerts/KeyboardActivity.h"
#include "alerts/PopupKeeper.h"
#include "app/CloseRequestListener.h"
#include "app/ConsoleBridge.h"
#include "app/FailureReports.h"
#include "app/Icons.h"
#include "app/MainCommands.h"
#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "app/SecondaryWindows.h"
#include "app/StartupSequence.h"
#include "app/StatusBar.h"
#include "app/TrayIcon.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"
#include "objectlist/ObjectListCtrl.h"
#include "persist/AlertJournalSource.h"
#include "platform/Clock.h"
#include "zones/DistanceWindows.h"
#include "zones/MapWindowKeeper.h"
#include "zones/ZoneDistanceDialog.h"

namespace {

constexpr uint32_t kSelectionText = 0xFFFFFF;  // white
constexpr uint32_t kSelectionBack = 0x000080;  // navy

}  // namespace

CMainDialog::CMainDialog(const ProgramPaths& paths, QWidget* parent)
    : CMainDialog(paths, std::make_unique<SystemClock>(), std::make_unique<SdlSoundOutput>(),
                  nullptr, nullptr, parent) {}

CMainDialog::CMainDialog(const ProgramPaths& paths, const Clock& clock, SoundOutput& sound,
                         QWidget* parent)
    : CMainDialog(paths, nullptr, nullptr, &clock, &sound, parent) {}

CMainDialog::CMainDialog(const ProgramPaths& paths, std::unique_ptr<Clock> ownClock,
                         std::unique_ptr<SoundOutput> ownSound, const Clock* clock,
                         SoundOutput* sound, QWidget* parent)
    : QMainWindow(parent),
      ownClock_(std::move(ownClock)),
      ownSound_(std::move(ownSound)),
      clock_(clock != nullptr ? *clock : *ownClock_),
      sound_(sound != nullptr ? *sound : *ownSound_),
      bridge_(new CConsoleBridge(this)),
      // Reads Interface.ini; nothing else is read before the start-up steps.
      console_(std::make_unique<CConsole>(paths, clock_, sound_, *bridge_)),
      startup_(std::make_unique<CStartupSequence>(*this, *console_)),
      placement_(*this, *console_),
      reports_(std::make_unique<CFailureReports>(*this, *console_)),
      list_(new CObjectListCtrl(this)),
      statusBar_(new CStatusBar(this)),
      rows_(*list_) {
    setWindowTitle(QStringLiteral("Sentrel"));
    setWindowIcon(Icons::AppIcon());
    setObjectName(QStringLiteral("mainDialog"));
    // Like a dialog, the window may be made narrower than its menu bar; the status bar
    // copes with any width.
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(120, 80);

    list_->setObjectName(QStringLiteral("objectList"));
    list_->SetImageList(Icons::ListIcons());
    list_->SetSelectionTextColour(kSelectionText);
    list_->SetSelectionBackColour(kSelectionBack);
    list_->SetTooltipProvider([this](int row) { return RowTooltip(row); });
    setCentralWidget(list_);
    setStatusBar(statusBar_);

    BuildMenus();
    tray_ = new CTrayIcon(trayMenu_, this);
    popups_ = new CPopupKeeper(this);
    connect(popups_, &CPopupKeeper::closed, this, &CMainDialog::UpdateModalFlag);
    connect(tray_, &CTrayIcon::doubleClicked, this, [this] { RestoreFromTray(); });
    commands_ = std::make_unique<CMainCommands>(*this, *console_, clock_, sound_);

    connect(bridge_, &CConsoleBridge::popupsRequested, this, &CMainDialog::ShowPopupTexts);
    connect(bridge_, &CConsoleBridge::snapshotReady, this,
            [this](const std::shared_ptr<const RefreshSnapshot>& snapshot) {
                ApplySnapshot(*snapshot);
            });
    connect(bridge_, &CConsoleBridge::trayTipChanged, this,
            qOverload<const QString&>(&CMainDialog::SetTrayTip));
    connect(bridge_, &CConsoleBridge::soundFailed, this,
            [this](const QString& path) { reports_->SoundFailed(path); });
    connect(bridge_, &CConsoleBridge::historyChanged, this, [this] {
        if (windows_ != nullptr) {
            windows_->Histories().HistoryChanged();
        }
    });
    connect(bridge_, &CConsoleBridge::saveFailureChanged, this,
            [this](bool failing) { reports_->SaveFailureChanged(failing); });
    connect(bridge_, &CConsoleBridge::intakeNotice, this,
            [this](const QString& text) { reports_->IntakeNotice(text); });
    connect(bridge_, &CConsoleBridge::rowsReset, this, &CMainDialog::OnRowsReset);

    connect(list_, &CObjectListCtrl::columnLayoutChanged, this, &CMainDialog::OnListColumnsChanged);
    connect(list_, &CObjectListCtrl::headerClicked, this, [this](int position) {
        const std::vector<int32_t> ids = CConsoleQueries(*console_).Layout().columnIds;
        if (position >= 0 && position < static_cast<int>(ids.size())) {
            commands_->SortByColumn(ids[static_cast<size_t>(position)]);
        }
    });
    connect(list_, &CObjectListCtrl::doubleClicked, this, [this] {
        if (!list_->SelectedRows().empty()) {
            commands_->EditObjectSettings();
        }
    });
    connect(list_, &CObjectListCtrl::customContextMenuRequested, this,
            &CMainDialog::OnListContextMenu);
    connect(statusBar_, &CStatusBar::contextMenuAt, this, &CMainDialog::OnStatusContextMenu);

    windows_ = std::make_unique<CSecondaryWindows>(*console_, this);
    connect(&windows_->Map(), &CMapWindowKeeper::objectClicked, this,
            [this](int32_t number) { rows_.Select(number); });
    connect(&windows_->Distances(), &CDistanceWindows::sortRequested, this,
            &CMainDialog::SortKeepingSelection);
    connect(&windows_->Histories(), &CHistoryWindows::exportRequested, this,
            [this](int32_t number) { commands_->ExportVisitHistory(number); });
    connect(this, &CMainDialog::secondaryWindowsNotice, this,
            &CMainDialog::OnSecondaryWindowsNotice);
}

CMainDialog::~CMainDialog() {
    // The workers hand their results to this window: they must be gone before it is.
    console_->StopWorkers();
    console_->WaitForWorkers();
    delete popups_;
    popups_ = nullptr;
    // The secondary windows read the console until they are destroyed.
    windows_.reset();
    RemoveTrayIcon();
    commands_.reset();
    startup_.reset();
    console_.reset();
}

// ---- menus ----

QAction* CMainDialog::AddCommand(QMenu* menu, const QString& text, int commandId) {
    QAction* action = menu->addAction(text);
    action->setData(commandId);
    connect(action, &QAction::triggered, this, [this, commandId] { RunCommand(commandId); });
    return action;
}
void CMainDialog::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("Файл"));
    AddCommand(file, QStringLiteral("Открыть файл с районами..."), kCmdOpenZoneFile);
    AddCommand(file, QStringLiteral("Открыть файл с адресной книгой..."), kCmdOpenAddressBookFile);
    file->addSeparator();
    AddCommand(file, QStringLiteral("Журнал оповещений..."), kCmdJournal);
    file->addSeparator();
    AddCommand(file, QStringLiteral("Выход"), kCmdExit);

    QMenu* setup = menuBar()->addMenu(QStringLiteral("Настройка"));
    AddCommand(setup, QStringLiteral("Контрольные районы..."), kCmdZones);
    AddCommand(setup, QStringLiteral("Адресная книга..."), kCmdAddressBook);
    AddCommand(setup, QStringLiteral("Установки..."), kCmdSettings);

    QMenu* distances = menuBar()->addMenu(QStringLiteral("Расстояния"));
    AddCommand(distances, QStringLiteral("Расстояния до районов..."), kCmdZoneDistances);
    AddCommand(distances, QStringLiteral("Расстояния до объектов..."), kCmdObjectDistances);
    distances->addSeparator();
    AddCommand(distances, QStringLiteral("Карта..."), kCmdMap);
    AddCommand(distances, QStringLiteral("История движения..."), kCmdReplay);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Справка"));
    AddCommand(help, QStringLiteral("О программе..."), kCmdAbout);

    objectMenu_ = new QMenu(this);
    AddCommand(objectMenu_, QStringLiteral("Сбросить оповещения"), kCmdAcknowledge);
    AddCommand(objectMenu_, QStringLiteral("Управление..."), kCmdControlPanel);
    AddCommand(objectMenu_, QStringLiteral("История..."), kCmdHistory);
    AddCommand(objectMenu_, QStringLiteral("История движения..."), kCmdReplay);

    countersMenu_ = new QMenu(this);
    AddCommand(countersMenu_, QStringLiteral("Сбросить общий счетчик"), kCmdResetTotalCounter);
    AddCommand(countersMenu_, QStringLiteral("Сбросить счетчик за текущую сессию"),
               kCmdResetRunCounter);

    trayMenu_ = new QMenu(this);
    AddCommand(trayMenu_, QStringLiteral("Показать"), kCmdTrayShow);
    AddCommand(trayMenu_, QStringLiteral("Выход"), kCmdTrayExit);
}

QAction* CMainDialog::CommandAction(int commandId) const {
    for (QMenu* menu : findChildren<QMenu*>()) {
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == commandId) {
                return action;
            }
        }
    }
    return nullptr;
}

void CMainDialog::RunCommand(int commandId) {
    switch (commandId) {
        case kCmdExit:
            return Exit();
        case kCmdTrayShow:
            return RestoreFromTray();
        case kCmdTrayExit:
            return TrayExit();
        default:
            commands_->Run(commandId);
    }
}

void CMainDialog::PrepareObjectMenu() {
    if (QAction* acknowledge = CommandAction(kCmdAcknowledge)) {
        acknowledge->setEnabled(commands_->AnySelectedPending());
    }
}

void CMainDialog::OnListContextMenu(const QPoint& pos) {
    if (list_->SelectedRows().empty()) {
        return;
    }
    PrepareObjectMenu();
    objectMenu_->popup(list_->viewport()->mapToGlobal(pos));
}

// ---- start-up ----

bool CMainDialog::Initialise() {
    return startup_->Run();
}

bool CMainDialog::LoadAtStart() {
    return startup_->LoadDataAndStart();
}

void CMainDialog::RestoreWindowsAtStart(bool show) {
    windows_->RestoreAtStart(show);
}

void CMainDialog::BringToFront() {
    if (ended_) {
        return;
    }
    if (initDone) {
        if (tray_->Shown()) {
            RestoreFromTray();
        } else if (isMinimized()) {
            placement_.ShowUnminimised();
        } else if (!isVisible()) {
            show();
        }
        raise();
        activateWindow();
    }
    // A dialog or message box open over the window stays in front of it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

bool CMainDialog::StartsHidden() const {
    return tray_->Shown();
}

void CMainDialog::ShowAtStart() {
    if (!StartsHidden()) {
        placement_.ShowAtStart();
    }
}

void CMainDialog::ListenForOutsideCloseRequests() {
    if (closeListener_ == nullptr) {
        closeListener_ = new CCloseRequestListener(this);
        connect(closeListener_, &CCloseRequestListener::closeRequested, this,
                &CMainDialog::OutsideCloseRequest);
    }
}

void CMainDialog::BuildListColumns() {
    const auto [ids, widths] = CLayoutEdits(*console_).KeepKnownColumns();
    rows_.BuildColumns(ids, widths);
}

void CMainDialog::OnListColumnsChanged() {
    CLayoutEdits(*console_).SetShownColumnWidths(list_->ColumnWidths());
}

bool CMainDialog::SaveLayout() {
    return console_->SaveLayout();
}

// ---- the list ----

void CMainDialog::OnRowsReset(int rowCount) {
    rows_.Reset(rowCount);
    emit secondaryWindowsNotice(0);
}

void CMainDialog::ApplySnapshot(const RefreshSnapshot& snapshot) {
    // Rows rebuilt or re-sorted since this pass was taken: its rows are not ours.
    if (snapshot.rowsGeneration < console_->rowsGeneration()) {
        return;
    }
    SetStatusTexts(FromCp(snapshot.statusTexts[0]), FromCp(snapshot.statusTexts[1]),
                   FromCp(snapshot.statusTexts[2]));
    rows_.Apply(snapshot);
    windows_->Distances().RefreshAll();
    windows_->Map().ApplyRows(snapshot);
}

void CMainDialog::RefreshNow() {
    std::shared_ptr<RefreshSnapshot> snapshot = console_->RefreshView();
    ApplySnapshot(*snapshot);
}

QString CMainDialog::RowTooltip(int row) const {
    const int32_t number = rows_.ObjectNumber(row);
    if (number < 0) {
        return {};
    }
    return FromCp(CConsoleQueries(*console_).Tooltip(number));
}

void CMainDialog::SortKeepingSelection(int key, int zoneIndex) {
    const CObjectRows::Selection memo = rows_.RememberSelection();
    if (console_->SortByKey(key, zoneIndex)) {
        RefreshNow();
        rows_.RestoreSelection(memo);
    }
}

// ---- close ----

void CMainDialog::StopForClose() {
    // Windows closed by the program's end stay recorded as open for the next start.
    windows_->Shutdown();
    console_->StopWorkers();
}

void CMainDialog::Exit() {
    if (modalOpen || ended_) {
        return;
    }
    StopForClose();
    EndDialog();
}

void CMainDialog::TrayExit() {
    if (ended_) {
        return;
    }
    RemoveTrayIcon();
    StopForClose();
    EndDialog();
}

void CMainDialog::OutsideCloseRequest() {
    if (ended_ || outsideCloseRequested_) {
        return;
    }
    outsideCloseRequested_ = true;
    QTimer::singleShot(1000, this, [this] {
        if (ended_) {
            return;
        }
        StopForClose();
        EndDialog();
    });
}

#ifdef Q_OS_WIN
bool CMainDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg != nullptr && msg->message == WM_USER + 1) {
        OutsideCloseRequest();
        *result = 0;
        return true;
    }
    return QMainWindow::nativeEvent(eventType, message, result);
}
#endif

void CMainDialog::EndDialog() {
    ended_ = true;
    RemoveTrayIcon();
    close();
    emit finished(0);
}

void CMainDialog::closeEvent(QCloseEvent* event) {
    if (ended_) {
        event->accept();
        return;
    }
    // The close box is the ordinary close. It is finished here rather than through
    // Exit(): a close() from inside a close event would be ignored.
    if (modalOpen) {
        event->ignore();
        return;
    }
    StopForClose();
    ended_ = true;
    RemoveTrayIcon();
    event->accept();
    emit finished(0);
}

void CMainDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Neither key closes the main window.
            event->accept();
            return;
        default:
            QMainWindow::keyPressEvent(event);
    }
}

// ---- status bar ----

void CMainDialog::FitStatusParts() {
    statusBar_->SetPartEdges(CStatusBar::PartEdgesFor(frameGeometry().width()));
}

void CMainDialog::SetStatusTexts(const QString& part0, const QString& part1, const QString& part2) {
    statusBar_->SetTexts(part0, part1, part2);
}

void CMainDialog::OnStatusContextMenu(const QPoint& globalPos) {
    if (statusBar_->InCountersArea(globalPos.x())) {
        countersMenu_->popup(globalPos);
    }
}

// ---- tray ----

void CMainDialog::AddTrayIcon() {
    if (!tray_->Available()) {
        // Hiding the window with no tray to bring it back would leave it unreachable:
        // it stays an ordinary minimised window.
        if (!isMinimized()) {
            if (isVisible()) {
                showMinimized();
            } else {
                placement_.SetStartState(ShowState::Minimised);
            }
        }
        return;
    }
    console_->trayIconShown = true;
    tray_->Show();
    hide();
    // Reached from inside a minimise (showMinimized() shows the window again after its
    // state change): hidden once more when that is over.
    QTimer::singleShot(0, this, [this] {
        if (tray_->Shown()) {
            hide();
        }
    });
    // The secondary windows go with the main window.
    windows_->HideAll();
}

void CMainDialog::RemoveTrayIcon() {
    if (console_ != nullptr) {
        console_->trayIconShown = false;
    }
    tray_->Remove();
}

void CMainDialog::RestoreFromTray(bool activate) {
    placement_.ShowUnminimised();
    CLayoutEdits(*console_).SetMinimised(false);
    RemoveTrayIcon();
    if (activate) {
        raise();
        activateWindow();
    }
    emit secondaryWindowsNotice(1);
    SaveLayout();
}

void CMainDialog::OnSecondaryWindowsNotice(int what) {
    if (what == 0) {
        windows_->RebuildAll();
    } else if (!tray_->Shown()) {
        windows_->ShowAll();
    }
}

// ---- placement ----

void CMainDialog::HandleMoveOrSize(ShowState state, bool sizeChanged) {
    if (!initDone || ended_) {
        return;
    }
    const CMainPlacement::Follow follow = placement_.Record(state, sizeChanged, tray_->Shown());
    if (follow.secondaryWindows) {
        emit secondaryWindowsNotice(1);
    }
    if (follow.toTray) {
        AddTrayIcon();
    }
}

void CMainDialog::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible()) {
        HandleMoveOrSize(CurrentShowState(), false);
    }
}

void CMainDialog::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FitStatusParts();
    if (isVisible()) {
        HandleMoveOrSize(CurrentShowState(), true);
    }
}

void CMainDialog::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        FitStatusParts();
        if (isVisible()) {
            HandleMoveOrSize(CurrentShowState(), true);
        }
    }
}

void CMainDialog::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitStatusParts();
    placement_.Shown();
}

// ---- the pop-up ----

CAlertPopupDialog* CMainDialog::Popup() const {
    return popups_->Popup();
}

void CMainDialog::ShowPopupText(const QString& text, int kind) {
    ShowPopupTexts({{text, kind}});
}

void CMainDialog::ShowPopupTexts(const QList<QPair<QString, int>>& texts) {
    if (ended_ || texts.isEmpty()) {
        return;
    }
    // The dispatcher must see the alert: the window comes back from the tray or the task
    // bar. It takes the keyboard only when the dispatcher is not at work in a window of
    // ours: a dialog in use keeps its focus and every keystroke, and windows arranged
    // over the main window stay where they are; the task bar flashes instead.
    const bool activate = !KeyboardActivity::Instance().DispatcherAtWork();
    if (tray_->Shown()) {
        RestoreFromTray(activate);
    } else if (isMinimized()) {
        placement_.ShowUnminimised();
    }
    if (activate) {
        raise();
        activateWindow();
    }
    popups_->Show(texts, activate);
    if (!activate) {
        QApplication::alert(this);
    }
    UpdateModalFlag();
}

void CMainDialog::UpdateModalFlag() {
    modalOpen = modalDepth_ > 0 || (popups_ != nullptr && popups_->Popup() != nullptr);
}
