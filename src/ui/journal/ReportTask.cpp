#include "journal/ReportTask.h"

#include <QThreadPool>
#include <mutex>

#include "app/QtText.h"

// Where the pool's task finds its owner: null once the owner has gone. The owner's
// destructor takes the lock, so it never goes while an answer is being posted to it.
struct CReportTask::Mailbox {
    std::mutex mutex;
    CReportTask* owner = nullptr;
};

CReportTask::CReportTask(QObject* parent) : QObject(parent), mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->owner = this;
}

CReportTask::~CReportTask() {
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    mailbox_->owner = nullptr;
}

bool CReportTask::Start(Work work) {
    if (running_) {
        return false;
    }
    running_ = true;
    std::shared_ptr<Mailbox> mailbox = mailbox_;
    QThreadPool::globalInstance()->start([mailbox, work = std::move(work)] {
        const std::string problem = work();
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (CReportTask* owner = mailbox->owner) {
            QMetaObject::invokeMethod(
                owner, [owner, problem] { owner->Deliver(problem); }, Qt::QueuedConnection);
        }
    });
    return true;
}

void CReportTask::Deliver(const std::string& problem) {
    running_ = false;
    emit finished(FromCp(problem));
}
