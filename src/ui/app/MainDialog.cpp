#include "app/MainDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTimer>

#ifdef Q_OS_WIN
// Only MSG and WM_USER are needed here: without GDI's declarations, whose Polygon() would
// clash with the zone kind of that name.
#define NOGDI
#include <windows.h>
#endif

#include "SdlSoundOutput.h"
#include "alerts/AlertPopupDialog.h"
#include "alerts/HistoryWindows.h"
#include "app/AboutDialog.h"
#include "app/CloseRequestListener.h"
#include "app/Icons.h"
#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "app/ShowRequestChannel.h"
#include "app/StatusBar.h"
#include "app/WindowFrame.h"
#include "console/Console.h"
#include "console/ConsoleEdits.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"
#include "objectlist/ObjectListCtrl.h"
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
      // Reads Interface.ini; nothing else is read before the start-up steps.
      console_(std::make_unique<CConsole>(paths, clock_, sound_, *this)),
      list_(new CObjectListCtrl(this)),
      statusBar_(new CStatusBar(this)),
      showChannelName_(CShowRequestChannel::DefaultName()) {
    setWindowTitle(QStringLiteral("Sentrel"));
    setWindowIcon(Icons::AppIcon());
    setObjectName(QStringLiteral("mainDialog"));
    // Like a dialog, the window may be made narrower than its menu bar; the status bar
    // copes with any width.
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(120, 80);
    columnPositions_.fill(-1);

    list_->setObjectName(QStringLiteral("objectList"));
    list_->SetImageList(Icons::ListIcons());
    list_->SetSelectionTextColour(kSelectionText);
    list_->SetSelectionBackColour(kSelectionBack);
    list_->SetTooltipProvider([this](int row) { return RowTooltip(row); });
    setCentralWidget(list_);
    setStatusBar(statusBar_);

    BuildMenus();

    connect(list_, &CObjectListCtrl::columnLayoutChanged, this, &CMainDialog::OnListColumnsChanged);
    connect(list_, &CObjectListCtrl::headerClicked, this, [this](int position) {
        int id = -1;
        {
            const std::vector<int32_t> ids = CConsoleQueries(*console_).Layout().columnIds;
            if (position >= 0 && position < static_cast<int>(ids.size())) {
                id = ids[static_cast<size_t>(position)];
            }
        }
        if (id >= 0) {
            SortByColumn(id);
        }
    });
    connect(list_, &CObjectListCtrl::doubleClicked, this, [this] {
        if (!list_->SelectedRows().empty()) {
            EditObjectSettings();
        }
    });
    connect(list_, &CObjectListCtrl::customContextMenuRequested, this,
            &CMainDialog::OnListContextMenu);
    connect(statusBar_, &CStatusBar::contextMenuAt, this, &CMainDialog::OnStatusContextMenu);

    distanceWindows_ = new CDistanceWindows(*console_, this);
    historyWindows_ = new CHistoryWindows(*console_, this);
    mapWindow_ = new CMapWindowKeeper(*console_, this);
    connect(mapWindow_, &CMapWindowKeeper::objectClicked, this, &CMainDialog::SelectObjectRow);
    connect(distanceWindows_, &CDistanceWindows::sortRequested, this, &CMainDialog::SortFromView);
    connect(this, &CMainDialog::secondaryWindowsNotice, this,
            &CMainDialog::OnSecondaryWindowsNotice);
}

CMainDialog::~CMainDialog() {
    // The workers hand their results to this window: they must be gone before it is.
    console_->StopWorkers();
    console_->WaitForWorkers();
    if (popup_ != nullptr) {
        popup_->disconnect(this);
        delete popup_.data();
    }
    // The secondary windows read the console until they are destroyed.
    delete distanceWindows_;
    distanceWindows_ = nullptr;
    delete historyWindows_;
    historyWindows_ = nullptr;
    delete mapWindow_;
    mapWindow_ = nullptr;
    RemoveTrayIcon();
    console_.reset();
}

const ProgramPaths& CMainDialog::Paths() const {
    return console_->paths;
}

WindowLayout& CMainDialog::Layout() {
    return console_->layout;
}

Settings& CMainDialog::CurrentSettings() {
    return console_->settings;
}

std::string& CMainDialog::SelectedIdsText() {
    return console_->store.selectedIdsText;
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

    QMenu* help = menuBar()->addMenu(QStringLiteral("Справка"));
    AddCommand(help, QStringLiteral("О программе..."), kCmdAbout);

    objectMenu_ = new QMenu(this);
    AddCommand(objectMenu_, QStringLiteral("Сбросить оповещения"), kCmdAcknowledge);
    AddCommand(objectMenu_, QStringLiteral("Управление..."), kCmdControlPanel);
    AddCommand(objectMenu_, QStringLiteral("История..."), kCmdHistory);

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
        case kCmdOpenZoneFile:
            OpenZoneFile();
            break;
        case kCmdOpenAddressBookFile:
            OpenAddressBookFile();
            break;
        case kCmdExit:
            Exit();
            break;
        case kCmdZones:
            ShowZonesDialog();
            break;
        case kCmdAddressBook:
            EditAddressBook();
            break;
        case kCmdSettings:
            EditSettings();
            break;
        case kCmdZoneDistances:
            ShowZoneDistances();
            break;
        case kCmdObjectDistances:
            ShowObjectDistances();
            break;
        case kCmdMap:
            ShowMap();
            break;
        case kCmdAbout:
            ShowAbout();
            break;
        case kCmdAcknowledge:
            AcknowledgeAlerts();
            break;
        case kCmdControlPanel:
            EditObjectSettings();
            break;
        case kCmdHistory:
            OpenHistoryWindows();
            break;
        case kCmdResetTotalCounter:
            ResetTotalCounter();
            break;
        case kCmdResetRunCounter:
            ResetRunCounter();
            break;
        case kCmdTrayShow:
            RestoreFromTray();
            break;
        case kCmdTrayExit:
            TrayExit();
            break;
        default:
            break;
    }
}

void CMainDialog::PrepareObjectMenu() {
    if (QAction* acknowledge = CommandAction(kCmdAcknowledge)) {
        acknowledge->setEnabled(AnySelectedPending());
    }
}

void CMainDialog::OnListContextMenu(const QPoint& pos) {
    if (list_->SelectedRows().empty()) {
        return;
    }
    PrepareObjectMenu();
    objectMenu_->popup(list_->viewport()->mapToGlobal(pos));
}

void CMainDialog::ShowAbout() {
    ModalScope modal(*this);
    CAboutDialog about(this);
    ExecWindowModal(about);
}

// ---- start-up ----

bool CMainDialog::LoadSettingsAtStart() {
    return CConsoleEdits(*console_).LoadSettingsAtStart();
}

void CMainDialog::ShowFileError(const QString& text) {
    ModalScope modal(*this);
    Prompt::Message(this, text, QStringLiteral("Диспетчер \"VALKOR-TZ\""), Prompt::Icon::Stop);
}

void CMainDialog::ReportWriteFailure() {
    ShowFileError(
        QStringLiteral("Ошибка записи на жесткий диск, возможно недостаточно "
                       "свободного места."));
}

void CMainDialog::ReportSettingsUnreadable() {
    ShowFileError(
        QStringLiteral("Не удается прочитать файл настроек Sentrel.ini!\n"
                       "Действуют настройки по умолчанию. Чтобы не затереть "
                       "файл, измененные настройки в него записываться не будут."));
}

void CMainDialog::ReportSettingsNotSaved() {
    bool unreadable;
    unreadable = CConsoleQueries(*console_).SettingsFileUnreadable();
    if (!unreadable) {
        ReportWriteFailure();
        return;
    }
    ShowFileError(
        QStringLiteral("Настройки не сохранены: файл Sentrel.ini не удалось "
                       "прочитать при запуске программы, и он не будет "
                       "перезаписан."));
}

bool CMainDialog::Initialise() {
    if (!LoadSettingsAtStart()) {
        ReportWriteFailure();
    }
    BuildListColumns();
    WindowFrame::Place(*this, CConsoleQueries(*console_).Layout().mainRect, placed_);
    UpdateStatusParts();
    SetStatusTexts(QString(), QString(), QString());

    // A second copy ends here: nothing loaded, nothing written, no window of its own.
    if (!instanceLock_.Acquire()) {
        TellAboutRunningCopy();
        return false;
    }
    // The folder is ours from here on; defaults for a missing Sentrel.ini are written now.
    bool claimed;
    claimed = CConsoleEdits(*console_).ClaimProgramFolder();
    if (!claimed) {
        ReportWriteFailure();
    }
    if (showChannel_ == nullptr) {
        showChannel_ = new CShowRequestChannel(this);
        connect(showChannel_, &CShowRequestChannel::showRequested, this,
                &CMainDialog::BringToFront);
        // Without it a later copy says the program runs; this one works on regardless.
        showChannel_->Listen(showChannelName_);
    }
    bool settingsUnreadable;
    settingsUnreadable = CConsoleQueries(*console_).SettingsFileUnreadable();
    if (settingsUnreadable) {
        ReportSettingsUnreadable();
    }
    // A close request from outside may have ended the window during the loads.
    if (!LoadAtStart() || ended_) {
        return false;
    }
    initDone = true;

    bool maximised;
    bool minimised;
    bool toTray;
    {
        const CConsoleQueries queries(*console_);
        const WindowLayout layout = queries.Layout();
        maximised = layout.maximised;
        minimised = layout.minimised;
        toTray = queries.CurrentSettings().minimyzeTray;
    }
    startState_ = ShowState::Normal;
    if (maximised && !minimised) {
        startState_ = ShowState::Maximised;
    } else if (minimised) {
        startState_ = ShowState::Minimised;
        if (toTray) {
            AddTrayIcon();
        }
    }
    RestoreWindowsAtStart(!StartsHidden());
    return true;
}

void CMainDialog::TellAboutRunningCopy() {
    QString text;
    switch (CShowRequestChannel::AskToShow(showChannelName_)) {
        case CShowRequestChannel::Answer::Shown:
            // The running window comes to the front: that is the answer.
            return;
        case CShowRequestChannel::Answer::NoAnswer:
            text = QStringLiteral("Программа Sentrel уже запущена на этом компьютере.");
            break;
        case CShowRequestChannel::Answer::NoListener:
            text = QStringLiteral(
                "Программа Sentrel уже запущена на этом компьютере другим пользователем.");
            break;
    }
    ModalScope modal(*this);
    Prompt::Message(nullptr, text, QStringLiteral("Sentrel"), Prompt::Icon::Information);
}

void CMainDialog::BringToFront() {
    if (ended_) {
        return;
    }
    if (initDone) {
        if (trayIconShown_) {
            RestoreFromTray();
        } else if (isMinimized()) {
            ShowUnminimised();
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
    return trayIconShown_;
}

void CMainDialog::ShowAtStart() {
    if (StartsHidden()) {
        return;
    }
    bool maximised;
    maximised = CConsoleQueries(*console_).Layout().maximised;
    switch (startState_) {
        case ShowState::Maximised:
            showMaximized();
            break;
        case ShowState::Minimised:
            // From a minimised maximised state the window keeps its maximised flag, so
            // that restoring it maximises it again.
            if (maximised) {
                setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
                show();
            } else {
                showMinimized();
            }
            break;
        case ShowState::Normal:
            show();
            break;
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

    list_->DeleteAllColumns();
    for (size_t i = 0; i < ids.size(); ++i) {
        list_->InsertColumn(QString::fromUtf8(WindowLayout::ColumnHeader(ids[i])), widths[i]);
    }
    columnPositions_.fill(-1);
    for (size_t i = 0; i < ids.size(); ++i) {
        int& position = columnPositions_[static_cast<size_t>(ids[i])];
        if (position < 0) {
            position = static_cast<int>(i);
        }
    }
    colourColumns_ = RowColourColumns::FromColumnIds(ids);
    // The cells are new: every text must be written again and every row recoloured.
    for (RowView& row : rows_) {
        row.colouredState = -1;
        row.texts = {};
    }
}

void CMainDialog::OnListColumnsChanged() {
    CLayoutEdits(*console_).SetShownColumnWidths(list_->ColumnWidths());
}

bool CMainDialog::SaveLayout() {
    return console_->SaveLayout();
}

// ---- close ----

void CMainDialog::StopForClose() {
    // Windows closed by the program's end stay recorded as open for the next start.
    distanceWindows_->Shutdown();
    historyWindows_->Shutdown();
    mapWindow_->Shutdown();
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

std::array<int, 3> CMainDialog::StatusPartEdgesFor(int outerWidth) {
    return CStatusBar::PartEdgesFor(outerWidth);
}

std::array<int, 3> CMainDialog::StatusPartEdges() const {
    return statusBar_->PartEdges();
}

void CMainDialog::UpdateStatusParts() {
    statusBar_->SetPartEdges(StatusPartEdgesFor(frameGeometry().width()));
}

void CMainDialog::SetStatusTexts(const QString& part0, const QString& part1, const QString& part2) {
    statusBar_->SetTexts(part0, part1, part2);
}

bool CMainDialog::CountersAreaContains(int screenX, int barLeft, int barWidth) {
    if (barWidth < 280) {
        return false;
    }
    const int right = barLeft + barWidth;
    return screenX > right - 270 && screenX < right - 150;
}

bool CMainDialog::InCountersArea(int screenX) const {
    const QPoint topLeft = statusBar_->mapToGlobal(QPoint(0, 0));
    return CountersAreaContains(screenX, topLeft.x(), statusBar_->width());
}

void CMainDialog::OnStatusContextMenu(const QPoint& globalPos) {
    if (InCountersArea(globalPos.x())) {
        countersMenu_->popup(globalPos);
    }
}

// ---- tray ----

bool CMainDialog::TrayAvailable() const {
    if (trayAvailable_.has_value()) {
        return *trayAvailable_;
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CMainDialog::AddTrayIcon() {
    if (!TrayAvailable()) {
        // Hiding the window with no tray to bring it back would leave it unreachable:
        // it stays an ordinary minimised window.
        if (!isMinimized()) {
            if (isVisible()) {
                showMinimized();
            } else {
                startState_ = ShowState::Minimised;
            }
        }
        return;
    }
    trayIconShown_ = true;
    console_->trayIconShown = true;
    trayTip_ = QStringLiteral("Sentrel");
    if (trayIcon_ == nullptr) {
        trayIcon_ = new QSystemTrayIcon(Icons::AppIcon(), this);
        trayIcon_->setContextMenu(trayMenu_);
        connect(trayIcon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick) {
                        RestoreFromTray();
                    }
                });
    }
    trayIcon_->setToolTip(trayTip_);
    trayIcon_->show();
    hide();
    // Reached from inside a minimise (showMinimized() shows the window again after its
    // state change): hidden once more when that is over.
    QTimer::singleShot(0, this, [this] {
        if (trayIconShown_) {
            hide();
        }
    });
    // The secondary windows go with the main window.
    distanceWindows_->HideAll();
    historyWindows_->HideAll();
    mapWindow_->HideAll();
}

void CMainDialog::RemoveTrayIcon() {
    trayIconShown_ = false;
    if (console_ != nullptr) {
        console_->trayIconShown = false;
    }
    if (trayIcon_ != nullptr) {
        trayIcon_->hide();
        trayIcon_->deleteLater();
        trayIcon_ = nullptr;
    }
}

void CMainDialog::SetTrayTip(const QString& text) {
    if (!trayIconShown_) {
        return;
    }
    trayTip_ = text.left(63);
    if (trayIcon_ != nullptr) {
        trayIcon_->setToolTip(trayTip_);
    }
}

void CMainDialog::ShowUnminimised() {
    if (CConsoleQueries(*console_).Layout().maximised) {
        showMaximized();
    } else {
        showNormal();
    }
}

void CMainDialog::RestoreFromTray() {
    ShowUnminimised();
    CLayoutEdits(*console_).SetMinimised(false);
    RemoveTrayIcon();
    raise();
    activateWindow();
    emit secondaryWindowsNotice(1);
    SaveLayout();
}

void CMainDialog::OnSecondaryWindowsNotice(int what) {
    if (what == 0) {
        distanceWindows_->RebuildAll();
        mapWindow_->RebuildZones();
    } else if (!trayIconShown_) {
        distanceWindows_->ShowAll();
        historyWindows_->ShowAll();
        mapWindow_->ShowAll();
    }
}

// ---- placement ----

CMainDialog::ShowState CMainDialog::CurrentShowState() const {
    if (isMinimized()) {
        return ShowState::Minimised;
    }
    if (isMaximized()) {
        return ShowState::Maximised;
    }
    return ShowState::Normal;
}

void CMainDialog::HandleMoveOrSize(ShowState state, bool sizeChanged) {
    if (!initDone || ended_) {
        return;
    }
    // Window calls below may come straight back here: none is made under the lock.
    switch (state) {
        case ShowState::Normal: {
            emit secondaryWindowsNotice(1);
            // A frame told after the placement: the window first takes its place again.
            WindowFrame::FollowFrame(*this, placed_);
            const bool maximiseAgain =
                CLayoutEdits(*console_).MainWindowNormal(WindowFrame::StoredRect(*this, placed_));
            if (maximiseAgain) {
                showMaximized();
            }
            break;
        }
        case ShowState::Maximised: {
            emit secondaryWindowsNotice(1);
            CLayoutEdits(*console_).MainWindowMaximised();
            break;
        }
        case ShowState::Minimised: {
            const bool toTray = CConsoleQueries(*console_).CurrentSettings().minimyzeTray;
            if (sizeChanged && toTray && !trayIconShown_) {
                AddTrayIcon();
            }
            CLayoutEdits(*console_).MainWindowMinimised();
            break;
        }
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
    UpdateStatusParts();
    if (isVisible()) {
        HandleMoveOrSize(CurrentShowState(), true);
    }
}

void CMainDialog::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        UpdateStatusParts();
        if (isVisible()) {
            HandleMoveOrSize(CurrentShowState(), true);
        }
    }
}

void CMainDialog::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    UpdateStatusParts();
    if (!frameCorrected_) {
        frameCorrected_ = true;
        // The frame's size is known only once the window is on screen: correct the
        // first placement so that the outer rectangle is the stored one.
        QTimer::singleShot(0, this, [this] {
            if (CurrentShowState() == ShowState::Normal) {
                WindowFrame::Correct(*this, placed_);
            }
        });
    }
}
