// The window's side of the console: what the workers hand over (refresh passes, pop-up
// texts, tray tips, sound errors, history changes) and how it reaches the list.
#include <QItemSelectionModel>
#include <QMetaObject>

#include <algorithm>
#include <cstdlib>

#include "alerts/AlertPopupDialog.h"
#include "alerts/HistoryWindows.h"
#include "app/MainDialog.h"
#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "objectlist/ObjectListCtrl.h"
#include "zones/DistanceWindows.h"
#include "zones/MapWindowKeeper.h"
#include "zones/ZoneDistanceDialog.h"

// ---- ConsoleView: any thread ----
//
// Every call copies what it needs into a task for the GUI thread and returns; the GUI
// thread does the rest when it gets to it.

void CMainDialog::PostToGui(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        posted_.push_back(std::move(task));
    }
    // One wake-up per task, each running the oldest task: the order holds even when a
    // task opens a message box and later tasks run inside its loop.
    QMetaObject::invokeMethod(this, "RunPostedTask", Qt::QueuedConnection);
}

void CMainDialog::RunPostedTask() {
    std::function<void()> task;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        if (posted_.empty()) {
            return;
        }
        task = std::move(posted_.front());
        posted_.pop_front();
    }
    task();
}

void CMainDialog::ShowPopup(const std::string& text, PopupKind kind) {
    const QString shown = FromCp(text);
    const int k = static_cast<int>(kind);
    PostToGui([this, shown, k] { ShowPopupText(shown, k); });
}

void CMainDialog::ApplyRefresh(std::shared_ptr<const RefreshSnapshot> snapshot) {
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        pendingSnapshot_ = std::move(snapshot);
        if (snapshotPosted_) {
            return;  // the task already queued will take the newer one
        }
        snapshotPosted_ = true;
    }
    PostToGui([this] {
        std::shared_ptr<const RefreshSnapshot> next;
        {
            std::lock_guard<std::mutex> lock(pendingMutex_);
            next = std::move(pendingSnapshot_);
            snapshotPosted_ = false;
        }
        if (next != nullptr) {
            ApplySnapshot(*next);
        }
    });
}

void CMainDialog::SetTrayTip(const std::string& text) {
    const QString tip = FromCp(text);
    PostToGui([this, tip] { SetTrayTip(tip); });
}

void CMainDialog::ReportSoundError() {
    PostToGui([this] { ShowSoundError(); });
}

void CMainDialog::ReportSaveFailure(bool failing) {
    PostToGui([this, failing] {
        if (!failing) {
            saveFailureReported_ = false;
            return;
        }
        if (saveFailureReported_ || saveFailureBoxOpen_ || ended_) {
            return;
        }
        saveFailureReported_ = true;
        saveFailureBoxOpen_ = true;
        ShowFileError(
            QStringLiteral("Ошибка записи на жесткий диск, возможно недостаточно "
                           "свободного места. Сообщения не потеряны: файлы остаются "
                           "во входной папке и будут обработаны, когда запись снова "
                           "станет возможной."));
        saveFailureBoxOpen_ = false;
    });
}

void CMainDialog::HistoryChanged() {
    PostToGui([this] {
        if (historyWindows_ != nullptr) {
            historyWindows_->HistoryChanged();
        }
    });
}

// ---- GUI thread ----

void CMainDialog::RowsReset(int rowCount) {
    list_->BeginUpdate();
    list_->DeleteAllRows();
    for (int r = 0; r < rowCount; ++r) {
        list_->InsertRow(r);
    }
    list_->EndUpdate();
    rows_.assign(static_cast<size_t>(std::max(0, rowCount)), RowView{});
    emit secondaryWindowsNotice(0);
}

void CMainDialog::ApplySnapshot(const RefreshSnapshot& snapshot) {
    // Rows rebuilt or re-sorted since this pass was taken: its rows are not ours.
    if (snapshot.rowsGeneration < console_->rowsGeneration()) {
        return;
    }
    SetStatusTexts(FromCp(snapshot.statusTexts[0]), FromCp(snapshot.statusTexts[1]),
                   FromCp(snapshot.statusTexts[2]));

    const int count = std::min(static_cast<int>(snapshot.rows.size()), list_->RowCount());
    if (static_cast<int>(rows_.size()) < count) {
        rows_.resize(static_cast<size_t>(count));
    }
    list_->BeginUpdate();
    for (int r = 0; r < count; ++r) {
        const RowSnapshot& row = snapshot.rows[static_cast<size_t>(r)];
        RowView& shown = rows_[static_cast<size_t>(r)];
        shown.objectNumber = row.objectNumber;
        for (int id = kColObject; id < kColumnIdCount; ++id) {
            const int column = columnPositions_[static_cast<size_t>(id)];
            const std::string& text = row.texts[static_cast<size_t>(id)];
            std::string& written = shown.texts[static_cast<size_t>(id)];
            // Most cells read the same as a second ago: skip converting them.
            if (column >= 0 && written != text) {
                list_->SetCellText(r, column, FromCp(text));
                written = text;
            }
        }
        for (int id = kColEvent; id <= kColSensor5; ++id) {
            const int column = columnPositions_[static_cast<size_t>(id)];
            if (column >= 0) {
                list_->SetCellImage(r, column, row.icons[static_cast<size_t>(id)]);
            }
        }
        // A pass the window never saw may have carried a row's recolouring: what the row
        // shows is compared as well.
        if (row.recolour || shown.colouredState != row.state) {
            ApplyRowColouring(*list_, r, row.state, colourColumns_, false);
            shown.colouredState = row.state;
        }
    }
    list_->EndUpdate();
    distanceWindows_->RefreshAll();
    mapWindow_->ApplyRows(snapshot);
}

void CMainDialog::RefreshNow() {
    std::shared_ptr<RefreshSnapshot> snapshot = console_->RefreshView();
    ApplySnapshot(*snapshot);
}

int32_t CMainDialog::RowObjectNumber(int row) const {
    if (row < 0 || row >= list_->RowCount()) {
        return -1;
    }
    if (row < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(row)].objectNumber >= 0) {
        return rows_[static_cast<size_t>(row)].objectNumber;
    }
    // Not told yet: the object column's title begins with the number.
    const int column = columnPositions_[kColObject];
    if (column < 0) {
        return -1;
    }
    const QString title = list_->CellText(row, column);
    if (title.isEmpty() || !title.at(0).isDigit()) {
        return -1;
    }
    return static_cast<int32_t>(std::atoi(title.toLatin1().constData()));
}

bool CMainDialog::SelectObjectRow(int32_t objectNumber) {
    for (int r = 0; r < list_->RowCount(); ++r) {
        if (RowObjectNumber(r) == objectNumber) {
            list_->ClearSelection();
            list_->SelectRow(r);
            list_->setCurrentIndex(list_->model()->index(r, 0));
            list_->scrollTo(list_->model()->index(r, 0));
            return true;
        }
    }
    return false;
}

std::vector<int32_t> CMainDialog::SelectedObjectNumbers() const {
    std::vector<int32_t> numbers;
    for (const int row : list_->SelectedRows()) {
        const int32_t number = RowObjectNumber(row);
        if (number >= 0) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

std::vector<int32_t> CMainDialog::SelectedRowNumbers() const {
    std::vector<int32_t> numbers;
    for (const int row : list_->SelectedRows()) {
        numbers.push_back(RowObjectNumber(row));
    }
    return numbers;
}

CMainDialog::SelectionMemo CMainDialog::RememberSelection() const {
    SelectionMemo memo;
    memo.numbers = SelectedObjectNumbers();
    const QModelIndex current = list_->currentIndex();
    if (current.isValid()) {
        memo.current = RowObjectNumber(current.row());
        memo.currentColumn = current.column();
    }
    return memo;
}

void CMainDialog::RestoreSelection(const SelectionMemo& memo) {
    if (memo.numbers.empty() && memo.current < 0) {
        return;
    }
    std::vector<int> selected;
    int currentRow = -1;
    for (int r = 0; r < list_->RowCount(); ++r) {
        const int32_t number = RowObjectNumber(r);
        if (number < 0) {
            continue;
        }
        if (std::find(memo.numbers.begin(), memo.numbers.end(), number) != memo.numbers.end()) {
            selected.push_back(r);
        }
        if (number == memo.current) {
            currentRow = r;
        }
    }
    if (currentRow >= 0) {
        // The view's own call also moves the anchor of a later Shift-click to the row.
        list_->setCurrentIndex(list_->model()->index(currentRow, memo.currentColumn));
    }
    list_->ClearSelection();
    for (const int r : selected) {
        list_->SelectRow(r);
    }
}

QString CMainDialog::RowTooltip(int row) const {
    const int32_t number = RowObjectNumber(row);
    if (number < 0) {
        return {};
    }
    return FromCp(CConsoleQueries(*console_).Tooltip(number));
}

// ---- the pop-up ----

CAlertPopupDialog* CMainDialog::Popup() const {
    return popup_.data();
}

void CMainDialog::ShowPopupText(const QString& text, int kind) {
    if (ended_) {
        return;
    }
    // The dispatcher must see the alert: the window comes back from the tray or from
    // the task bar and comes forward.
    if (trayIconShown_) {
        RestoreFromTray();
    } else if (isMinimized()) {
        ShowUnminimised();
    }
    raise();
    activateWindow();

    if (popup_ == nullptr) {
        // A window of its own, not the main window's child: it must stay usable beside
        // the main window and survive its trips to the tray.
        auto* popup = new CAlertPopupDialog(QStringLiteral("Sentrel - сообщение"), QString());
        popup->setObjectName(QStringLiteral("alertPopup"));
        popup->setAttribute(Qt::WA_DeleteOnClose, false);
        connect(popup, &CAlertPopupDialog::closed, this, &CMainDialog::OnPopupClosed);
        popup_ = popup;
        modalOpen = true;
        popup->show();
    }
    popup_->AddText(text, kind);
    popup_->raise();
    popup_->activateWindow();
}

void CMainDialog::OnPopupClosed() {
    CAlertPopupDialog* popup = popup_.data();
    popup_ = nullptr;
    UpdateModalFlag();
    if (popup != nullptr) {
        popup->deleteLater();
    }
}

void CMainDialog::UpdateModalFlag() {
    modalOpen = modalDepth_ > 0 || popup_ != nullptr;
}

void CMainDialog::ShowSoundError() {
    // One box at a time: the player reports a failure once, but a box still open must
    // not be stacked by the next one.
    if (soundErrorShown_ || ended_) {
        return;
    }
    soundErrorShown_ = true;
    {
        ModalScope modal(*this);
        Prompt::Message(this, QStringLiteral("Произошла ошибка проигрывания файла!"),
                        QStringLiteral("Sentrel"), Prompt::Icon::Stop);
    }
    soundErrorShown_ = false;
}
