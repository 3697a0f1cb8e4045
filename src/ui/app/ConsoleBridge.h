#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "console/ConsoleView.h"

// The console's workers reach the window through here. Every ConsoleView call copies its
// arguments, hands them to the GUI thread and returns at once: no worker ever waits for
// the GUI thread. On the GUI thread the calls come out as signals, in the order they were
// made.
//
// The refresh passes are coalesced: a slow GUI thread skips older ones instead of
// queueing them up.
class CConsoleBridge : public QObject, public ConsoleView {
    Q_OBJECT
public:
    explicit CConsoleBridge(QObject* parent = nullptr);

    // ---- ConsoleView (any thread) ----
    void ShowPopup(const std::string& text, PopupKind kind) override;
    void ApplyRefresh(std::shared_ptr<const RefreshSnapshot> snapshot) override;
    void SetTrayTip(const std::string& text) override;
    void ReportSoundError() override;
    void HistoryChanged() override;
    void ReportSaveFailure(bool failing) override;
    // GUI thread only: emitted at once.
    void RowsReset(int rowCount) override;

signals:
    void popupRequested(const QString& text, int kind);
    void snapshotReady(std::shared_ptr<const RefreshSnapshot> snapshot);
    void trayTipChanged(const QString& text);
    void soundFailed();
    void historyChanged();
    void saveFailureChanged(bool failing);
    void rowsReset(int rowCount);

private:
    // Queues `task` for the GUI thread. One wake-up per task, each running the oldest
    // task: the order holds even when a task opens a message box and later tasks run
    // inside its loop.
    void PostToGui(std::function<void()> task);
    Q_INVOKABLE void RunPostedTask();

    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;

    // The newest refresh pass not yet handed over, and whether a task that will hand it
    // over is already queued.
    std::mutex latestMutex_;
    std::shared_ptr<const RefreshSnapshot> pendingSnapshot_;
    bool snapshotPosted_ = false;
};
