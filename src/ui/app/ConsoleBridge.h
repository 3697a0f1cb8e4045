#pragma once

#include <QList>
#include <QObject>
#include <QPair>
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
// What a flood would otherwise repeat per record is coalesced: the refresh passes, the
// tray tip and the history change each wait as one newest value, and the pop-up texts
// wait together, so the GUI thread sees at most one hand-over of each per turn of its
// event loop, however fast the records come.
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
    void ReportIntakeNotice(const std::string& text) override;
    // GUI thread only: emitted at once.
    void RowsReset(int rowCount) override;

signals:
    // Pop-up texts with their kinds, oldest first: every text told since the last
    // hand-over, in one.
    void popupsRequested(const QList<QPair<QString, int>>& texts);
    void snapshotReady(std::shared_ptr<const RefreshSnapshot> snapshot);
    void trayTipChanged(const QString& text);
    void soundFailed();
    void historyChanged();
    void saveFailureChanged(bool failing);
    void intakeNotice(const QString& text);
    void rowsReset(int rowCount);

private:
    // Queues `task` for the GUI thread. One wake-up per task, each running the oldest
    // task: the order holds even when a task opens a message box and later tasks run
    // inside its loop.
    void PostToGui(std::function<void()> task);
    Q_INVOKABLE void RunPostedTask();

    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;

    // The newest value of each coalesced call not yet handed over, and whether a task
    // that will hand it over is already queued.
    std::mutex latestMutex_;
    std::shared_ptr<const RefreshSnapshot> pendingSnapshot_;
    bool snapshotPosted_ = false;
    QString pendingTip_;
    bool tipPosted_ = false;
    bool historyPosted_ = false;
    QList<QPair<QString, int>> pendingPopups_;
    bool popupsPosted_ = false;
};
