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
    {
        std::lock_guard<std::mutex> lock(latestMutex_);
        pendingPopups_.append({FromCp(text), static_cast<int>(kind)});
        if (popupsPosted_) {
            return;  // the task already queued takes this one too
        }
        popupsPosted_ = true;
    }
    PostToGui([this] {
        QList<QPair<QString, int>> texts;
        {
            std::lock_guard<std::mutex> lock(latestMutex_);
            texts.swap(pendingPopups_);
            popupsPosted_ = false;
        }
        emit popupsRequested(texts);
    });
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
    {
        std::lock_guard<std::mutex> lock(latestMutex_);
        pendingTip_ = tip;
        if (tipPosted_) {
            return;
        }
        tipPosted_ = true;
    }
    PostToGui([this] {
        QString next;
        {
            std::lock_guard<std::mutex> lock(latestMutex_);
            next = pendingTip_;
            tipPosted_ = false;
        }
        emit trayTipChanged(next);
    });
}

void CConsoleBridge::ReportSoundError() {
    PostToGui([this] { emit soundFailed(); });
}

void CConsoleBridge::HistoryChanged() {
    {
        std::lock_guard<std::mutex> lock(latestMutex_);
        if (historyPosted_) {
            return;
        }
        historyPosted_ = true;
    }
    PostToGui([this] {
        {
            std::lock_guard<std::mutex> lock(latestMutex_);
            historyPosted_ = false;
        }
        emit historyChanged();
    });
}

void CConsoleBridge::ReportSaveFailure(bool failing) {
    PostToGui([this, failing] { emit saveFailureChanged(failing); });
}

void CConsoleBridge::ReportIntakeNotice(const std::string& text) {
    const QString shown = FromCp(text);
    PostToGui([this, shown] { emit intakeNotice(shown); });
}

void CConsoleBridge::RowsReset(int rowCount) {
    emit rowsReset(rowCount);
}
