#include "app/ConsoleBridge.h"

#include <QMetaObject>

#include "app/QtText.h"

CConsoleBridge::CConsoleBridge(QObject* parent) : QObject(parent) {}

void CConsoleBridge::PostToGui(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        posted_.push_back(std::move(task));
    }
    QMetaObject::invokeMethod(this, "RunPostedTask", Qt::QueuedConnection);
}

void CConsoleBridge::RunPostedTask() {
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

void CConsoleBridge::ShowPopup(const std::string& text, PopupKind kind) {
    const QString shown = FromCp(text);
    const int k = static_cast<int>(kind);
    PostToGui([this, shown, k] { emit popupRequested(shown, k); });
}

void CConsoleBridge::ApplyRefresh(std::shared_ptr<const RefreshSnapshot> snapshot) {
    {
        std::lock_guard<std::mutex> lock(latestMutex_);
        pendingSnapshot_ = std::move(snapshot);
        if (snapshotPosted_) {
            return;  // the task already queued takes the newer one
        }
        snapshotPosted_ = true;
    }
    PostToGui([this] {
        std::shared_ptr<const RefreshSnapshot> next;
        {
            std::lock_guard<std::mutex> lock(latestMutex_);
            next = std::move(pendingSnapshot_);
            snapshotPosted_ = false;
        }
        if (next != nullptr) {
            emit snapshotReady(std::move(next));
        }
    });
}

void CConsoleBridge::SetTrayTip(const std::string& text) {
    const QString tip = FromCp(text);
    PostToGui([this, tip] { emit trayTipChanged(tip); });
}

void CConsoleBridge::ReportSoundError() {
    PostToGui([this] { emit soundFailed(); });
}

void CConsoleBridge::HistoryChanged() {
    PostToGui([this] { emit historyChanged(); });
}

void CConsoleBridge::ReportSaveFailure(bool failing) {
    PostToGui([this, failing] { emit saveFailureChanged(failing); });
}

void CConsoleBridge::RowsReset(int rowCount) {
    emit rowsReset(rowCount);
}
