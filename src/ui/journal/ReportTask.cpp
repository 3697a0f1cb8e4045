#include "journal/ReportTask.h"

#include <QCoreApplication>
#include <mutex>
#include <vector>

#include "app/QtText.h"

namespace {

// Threads of owners gone before their report was written; joined when the application
// object goes.
std::mutex orphansMutex;
std::vector<std::thread> orphans;

void JoinOrphans() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(orphansMutex);
        threads.swap(orphans);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

}  // namespace

// Where the thread finds its owner (null once the owner has gone) and leaves its answer.
// The owner's destructor takes the lock, so it never goes while an answer is being posted
// to it; the queued call carries nothing but the wake-up.
struct CReportTask::Mailbox {
    std::mutex mutex;
    CReportTask* owner = nullptr;
    std::string problem;
};

CReportTask::CReportTask(QObject* parent) : QObject(parent), mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->owner = this;
}

CReportTask::~CReportTask() {
    {
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        mailbox_->owner = nullptr;
    }
    if (!thread_.joinable()) {
        return;
    }
    if (!running_) {
        thread_.join();  // its answer has come: it has ended or is about to
        return;
    }
    static const bool registered = [] {
        qAddPostRoutine(JoinOrphans);
        return true;
    }();
    (void)registered;
    std::lock_guard<std::mutex> lock(orphansMutex);
    orphans.push_back(std::move(thread_));
}

bool CReportTask::Start(Work work) {
    if (running_) {
        return false;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    running_ = true;
    std::shared_ptr<Mailbox> mailbox = mailbox_;
    thread_ = std::thread([mailbox, work = std::move(work)] {
        std::string problem = work();
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        mailbox->problem = std::move(problem);
        if (CReportTask* owner = mailbox->owner) {
            QMetaObject::invokeMethod(owner, "Deliver", Qt::QueuedConnection);
        }
    });
    return true;
}

void CReportTask::Deliver() {
    std::string problem;
    {
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        problem.swap(mailbox_->problem);
    }
    running_ = false;
    emit finished(FromCp(problem));
}
