#include "app/MainDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "app/AboutDialog.h"
#include "app/CloseRequestListener.h"
#include "app/Icons.h"
#include "app/Prompt.h"
#include "app/StatusBar.h"
#include "objectlist/ObjectListCtrl.h"

namespace {

constexpr uint32_t kSelectionText = 0xFFFFFF;  // white
constexpr uint32_t kSelectionBack = 0x000080;  // navy

}  // namespace

CMainDialog::CMainDialog(const ProgramPaths& paths, QWidget* parent)
    : QMainWindow(parent),
      paths_(paths),
      layout_(paths.layoutPath),
      settings_(Settings::Defaults(paths.defaultAlarmSoundPath)),
      list_(new CObjectListCtrl(this)),
      statusBar_(new CStatusBar(this)) {
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
    setCentralWidget(list_);
    setStatusBar(statusBar_);

    BuildMenus();

    connect(list_, &CObjectListCtrl::columnLayoutChanged, this, &CMainDialog::OnListColumnsChanged);
    connect(list_, &CObjectListCtrl::headerClicked, this, [this](int position) {
        if (position >= 0 && position < static_cast<int>(layout_.columnIds.size())) {
            SortByColumn(layout_.columnIds[static_cast<size_t>(position)]);
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

    layout_.LoadLayout();
}

CMainDialog::~CMainDialog() {
    RemoveTrayIcon();
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
    const bool wasOpen = modalOpen;
    modalOpen = true;
    CAboutDialog about(this);
    about.exec();
    modalOpen = wasOpen;
}

// ---- start-up ----

bool CMainDialog::LoadSettingsAtStart() {
    if (LoadSettings(paths_.settingsPath, paths_.defaultAlarmSoundPath, settings_,
                     selectedIdsText_)) {
        return true;
    }
    return SaveSettings(paths_.settingsPath, settings_, selectedIdsText_);
}

void CMainDialog::ReportWriteFailure() {
    const bool wasOpen = modalOpen;
    modalOpen = true;
    Prompt::Message(this,
                    QStringLiteral("Ошибка записи на жесткий диск, возможно недостаточно "
                                   "свободного места."),
                    QStringLiteral("Диспетчер \"VALKOR-TZ\""), Prompt::Icon::Stop);
    modalOpen = wasOpen;
}

bool CMainDialog::Initialise() {
    if (!LoadSettingsAtStart()) {
        ReportWriteFailure();
    }
    BuildListColumns();
    placedRect_ = layout_.mainRect;
    PlaceAt(placedRect_);
    UpdateStatusParts();
    SetStatusTexts(QString(), QString(), QString());

    // A second copy ends here, silently: nothing loaded, no window, the first untouched.
    if (!instanceLock_.Acquire()) {
        return false;
    }
    // A close request from outside may have ended the window during the loads.
    if (!LoadAtStart() || ended_) {
        return false;
    }
    initDone = true;

    startState_ = ShowState::Normal;
    if (layout_.maximised && !layout_.minimised) {
        startState_ = ShowState::Maximised;
    } else if (layout_.minimised) {
        startState_ = ShowState::Minimised;
        if (settings_.minimyzeTray) {
            AddTrayIcon();
        }
    }
    return true;
}

bool CMainDialog::StartsHidden() const {
    return trayIconShown_;
}

void CMainDialog::ShowAtStart() {
    if (StartsHidden()) {
        return;
    }
    switch (startState_) {
        case ShowState::Maximised:
            showMaximized();
            break;
        case ShowState::Minimised:
            // From a minimised maximised state the window keeps its maximised flag, so
            // that restoring it maximises it again.
            if (layout_.maximised) {
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
    // Ids the list does not know are dropped from the layout as well, so that a column's
    // position in the layout stays its position in the list.
    for (size_t i = 0; i < layout_.columnIds.size();) {
        const int32_t id = layout_.columnIds[i];
        if (id < 0 || id >= kColumnIdCount) {
            layout_.columnIds.erase(layout_.columnIds.begin() + static_cast<std::ptrdiff_t>(i));
            if (i < layout_.columnWidths.size()) {
                layout_.columnWidths.erase(layout_.columnWidths.begin() +
                                           static_cast<std::ptrdiff_t>(i));
            }
        } else {
            ++i;
        }
    }
    layout_.columnWidths.resize(layout_.columnIds.size(), 0);

    list_->DeleteAllColumns();
    for (size_t i = 0; i < layout_.columnIds.size(); ++i) {
        const int32_t id = layout_.columnIds[i];
        list_->InsertColumn(QString::fromUtf8(WindowLayout::ColumnHeader(id)),
                            layout_.columnWidths[i]);
    }
}

void CMainDialog::OnListColumnsChanged() {
    const size_t count =
        std::min(layout_.columnWidths.size(), static_cast<size_t>(list_->ColumnCount()));
    for (size_t i = 0; i < count; ++i) {
        layout_.columnWidths[i] = list_->ColumnWidth(static_cast<int>(i));
    }
    SaveLayout();
}

bool CMainDialog::SaveLayout() {
    return layout_.SaveLayout();
}

// ---- close ----

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
}

void CMainDialog::RemoveTrayIcon() {
    trayIconShown_ = false;
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

void CMainDialog::RestoreFromTray() {
    if (layout_.maximised) {
        showMaximized();
    } else {
        showNormal();
    }
    layout_.minimised = false;
    RemoveTrayIcon();
    raise();
    activateWindow();
    emit secondaryWindowsNotice(1);
    SaveLayout();
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

LayoutRect CMainDialog::FrameRect() const {
    const QRect frame = frameGeometry();
    LayoutRect rect;
    rect.left = frame.x();
    rect.top = frame.y();
    rect.right = frame.x() + frame.width();
    rect.bottom = frame.y() + frame.height();
    return rect;
}

void CMainDialog::PlaceAt(const LayoutRect& rect) {
    // The stored rectangle is the outer one; move() places the frame, resize() the inside.
    QMargins frame;
    if (windowHandle() != nullptr) {
        frame = windowHandle()->frameMargins();
    }
    move(rect.left, rect.top);
    resize(std::max(1, rect.Width() - frame.left() - frame.right()),
           std::max(1, rect.Height() - frame.top() - frame.bottom()));
}

void CMainDialog::HandleMoveOrSize(ShowState state, bool sizeChanged) {
    if (!initDone || ended_) {
        return;
    }
    switch (state) {
        case ShowState::Normal:
            emit secondaryWindowsNotice(1);
            if (layout_.maximised && layout_.minimised) {
                // Back from a minimised maximised window: maximised again.
                layout_.minimised = false;
                showMaximized();
            } else {
                layout_.maximised = false;
                layout_.minimised = false;
                layout_.mainRect = FrameRect();
            }
            SaveLayout();
            break;
        case ShowState::Maximised:
            emit secondaryWindowsNotice(1);
            layout_.minimised = false;
            layout_.maximised = true;
            SaveLayout();
            break;
        case ShowState::Minimised:
            if (sizeChanged && settings_.minimyzeTray && !trayIconShown_) {
                AddTrayIcon();
            }
            layout_.minimised = true;
            SaveLayout();
            break;
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
            if (windowHandle() == nullptr || CurrentShowState() != ShowState::Normal) {
                return;
            }
            const QMargins frame = windowHandle()->frameMargins();
            if (!frame.isNull() && FrameRect() != placedRect_) {
                PlaceAt(placedRect_);
            }
        });
    }
}
