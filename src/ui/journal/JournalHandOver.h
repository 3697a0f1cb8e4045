#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>

#include "base/DateTime.h"

class AlertJournalSource;
class CReportTask;
#include <QMessageBox>

// The hand-over at start: alerts raised before this run that nobody acknowledged are told
// in a box, "С прошлого запуска остались неподтверждённые оповещения: N.", with
// "Открыть журнал" (the journal, only the unacknowledged ones) and "Закрыть". They are
// counted off the window's thread. The box is no modal one and takes the keyboard only when
// the dispatcher is not at work in a window of the program, as the alert pop-up does.
class CJournalHandOver : public QObject {
    Q_OBJECT
public:
    explicit CJournalHandOver(QObject* parent = nullptr);
    ~CJournalHandOver() override;

    // Counts the alerts raised before `runStartUtc` still unacknowledged; the box follows
    // when there are any. Once per run.
    void Start(std::shared_ptr<AlertJournalSource> journal, DateTime runStartUtc);
    // The box while it is open, else null.
    QMessageBox* Box() const { return box_.data(); }
    // Whether the count has been answered (box or not).
    bool Done() const { return done_; }
    static QString Text(int64_t count);

signals:
    // "Открыть журнал".
    void openJournalRequested();

private:
    void ShowBox(int64_t count);

    CReportTask* task_;
    std::shared_ptr<int64_t> count_;
    QPointer<QMessageBox> box_;
    bool started_ = false;
    bool done_ = false;
};
