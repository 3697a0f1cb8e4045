#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// A report written on a thread of its own, so that a journal of a million rows never stops
// the window: one at a time; its answer comes back to the owner's thread as `finished`. An
// owner that goes away first does not wait: the report is still written, its answer is
// dropped, and the application's end waits for the thread.
class CReportTask : public QObject {
    Q_OBJECT
public:
    // Writes the report; returns why it could not (Windows-1251), empty when written.
    using Work = std::function<std::string()>;

    explicit CReportTask(QObject* parent = nullptr);
    ~CReportTask() override;

    // False, and nothing started, while a report is being written.
    bool Start(Work work);
    bool Running() const { return running_; }

signals:
    // The report was written (`problem` empty) or could not be.
    void finished(const QString& problem);

private:
    struct Mailbox;
    // The thread's answer, on the owner's thread.
    Q_INVOKABLE void Deliver();

    std::shared_ptr<Mailbox> mailbox_;
    std::thread thread_;
    bool running_ = false;
};
