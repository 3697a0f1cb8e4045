#include "journal/JournalHandOver.h"

#include <QMessageBox>
#include <QPushButton>

#include "alerts/KeyboardActivity.h"
#include "app/Icons.h"
#include "journal/ReportTask.h"
#include "persist/AlertJournalSource.h"

CJournalHandOver::CJournalHandOver(QObject* parent)
    : QObject(parent), task_(new CReportTask(this)), count_(std::make_shared<int64_t>(0)) {
    connect(task_, &CReportTask::finished, this, [this](const QString& problem) {
        done_ = true;
        // A journal that cannot be read is told by the journal window when it opens; at
        // start the dispatcher is not stopped for it.
        if (problem.isEmpty() && *count_ > 0) {
            ShowBox(*count_);
        }
    });
}

CJournalHandOver::~CJournalHandOver() {
    delete box_.data();
}

QString CJournalHandOver::Text(int64_t count) {
    return QStringLiteral("С прошлого запуска остались неподтверждённые оповещения: %1.")
        .arg(count);
}

void CJournalHandOver::Start(std::shared_ptr<AlertJournalSource> journal, DateTime runStartUtc) {
    if (started_ || !journal) {
        return;
    }
    started_ = true;
    std::shared_ptr<int64_t> count = count_;
    task_->Start([journal, runStartUtc, count] {
        AlertJournalSource::Filter filter;
        filter.onlyUnacknowledged = true;
        filter.toUtc = runStartUtc;
        const AlertJournalSource::Count counted = journal->CountRows(filter);
        *count = counted.rows;
        return counted.problem;
    });
}

void CJournalHandOver::ShowBox(int64_t count) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Sentrel"), Text(count),
                                QMessageBox::NoButton);
    box->setObjectName(QStringLiteral("handOverBox"));
    box->setWindowIcon(Icons::AppIcon());
    QPushButton* open = box->addButton(QStringLiteral("Открыть журнал"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Закрыть"), QMessageBox::RejectRole);
    box->setModal(false);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // A dialog in use keeps the keyboard and every keystroke.
    const bool atWork = KeyboardActivity::Instance().DispatcherAtWork();
    box->setAttribute(Qt::WA_ShowWithoutActivating, atWork);
    connect(box, &QMessageBox::buttonClicked, this, [this, open](QAbstractButton* clicked) {
        if (clicked == open) {
            emit openJournalRequested();
        }
    });
    box_ = box;
    box->show();
    if (!atWork) {
        box->raise();
        box->activateWindow();
    }
}
