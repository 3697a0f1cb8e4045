#include "journal/JournalModel.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <algorithm>
#include <climits>

#include "app/QtText.h"
#include "base/Cp1251.h"
#include "persist/CsvTable.h"
#include "persist/ShiftReports.h"

using Order = AlertJournalSource::Order;

CJournalModel::CJournalModel(std::shared_ptr<AlertJournalSource> source, int32_t offsetMinutes,
                             QObject* parent)
    : QAbstractTableModel(parent), source_(std::move(source)), offsetMinutes_(offsetMinutes) {
    if (source_) {
        reader_ = std::thread([this] { ReadLoop(); });
    }
}

CJournalModel::~CJournalModel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (reader_.joinable()) {
        reader_.join();
    }
}

std::optional<Order> CJournalModel::OrderOfColumn(int column) {
    switch (column) {
        case kTime:
            return Order::Raised;
        case kObject:
            return Order::Object;
        case kKind:
            return Order::Kind;
        case kZone:
            return Order::Zone;
        case kAcknowledged:
            return Order::Acknowledged;
        case kReaction:
            return Order::Reaction;
        default:
            return std::nullopt;
    }
}

void CJournalModel::SetFilter(const AlertJournalSource::Filter& filter) {
    filter_ = filter;
    Restart();
}

void CJournalModel::SetOrder(Order order, bool descending) {
    order_ = order;
    descending_ = descending;
    Restart();
}

void CJournalModel::sort(int column, Qt::SortOrder order) {
    const std::optional<Order> wanted = OrderOfColumn(column);
    if (!wanted) {
        return;
    }
    const bool descending = order == Qt::DescendingOrder;
    if (*wanted == order_ && descending == descending_ && generation_ > 0) {
        return;
    }
    SetOrder(*wanted, descending);
}

void CJournalModel::NewGeneration() {
    ++generation_;
    requested_.clear();
    // Queries for the filter before are of no use any more.
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
}

CJournalModel::Request CJournalModel::NewRequest(bool count, bool look, int64_t offset) const {
    Request request;
    request.generation = generation_;
    request.count = count;
    request.look = look;
    request.offset = offset;
    request.filter = filter_;
    request.order = order_;
    request.descending = descending_;
    return request;
}

void CJournalModel::Restart() {
    NewGeneration();
    if (!source_) {
        settledGeneration_ = generation_;
        emit settled();
        return;
    }
    Enqueue(NewRequest(true, false, 0));
    RequestPage(0);
}

void CJournalModel::LookForChanges() {
    if (!source_ || !Settled()) {
        return;
    }
    lookGeneration_ = generation_;
    lookFirstPage_.reset();
    Enqueue(NewRequest(true, true, 0));
    Enqueue(NewRequest(false, true, 0));
}

bool CJournalModel::TakeChanges() {
    if (lookGeneration_ != generation_ || !lookFirstPage_) {
        return false;
    }
    NewGeneration();
    requested_.insert(0);
    beginResetModel();
    cache_.clear();
    cache_.push_front({0, std::move(*lookFirstPage_)});
    total_ = lookTotal_;
    endResetModel();
    lookFirstPage_.reset();
    lookGeneration_ = -1;
    settledGeneration_ = generation_;
    emit settled();
    return true;
}

void CJournalModel::RequestPage(int64_t offset) const {
    if (!source_ || !requested_.insert(offset).second) {
        return;
    }
    Enqueue(NewRequest(false, false, offset));
}

void CJournalModel::Enqueue(Request request) const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(request));
    }
    wake_.notify_one();
}

void CJournalModel::ReadLoop() {
    for (;;) {
        Request request;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                return;
            }
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        Answer answer;
        answer.request = request;
        if (request.count) {
            AlertJournalSource::Count count = source_->CountRows(request.filter);
            answer.rows = count.rows;
            answer.problem = std::move(count.problem);
        } else {
            AlertJournalSource::Page page = source_->Rows(
                request.filter, request.order, request.descending, request.offset, kPageRows);
            answer.alerts = std::move(page.rows);
            answer.problem = std::move(page.problem);
        }
        // The model outlives this thread (its destructor joins it); a call still queued
        // when the model goes is dropped with it.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            answers_.push_back(std::move(answer));
        }
        QMetaObject::invokeMethod(this, "TakeAnswers", Qt::QueuedConnection);
    }
}

void CJournalModel::TakeAnswers() {
    std::deque<Answer> answers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answers.swap(answers_);
    }
    for (const Answer& answer : answers) {
        Take(answer);
    }
}

void CJournalModel::Take(const Answer& answer) {
    if (answer.request.generation != generation_) {
        return;
    }
    if (answer.request.look) {
        // A look that failed changes nothing: the table shows what it showed.
        if (lookGeneration_ != generation_ || !answer.problem.empty()) {
            lookGeneration_ = -1;
            return;
        }
        if (answer.request.count) {
            lookTotal_ = answer.rows;
            return;
        }
        const auto shown = std::find_if(cache_.begin(), cache_.end(),
                                        [](const CachedPage& page) { return page.offset == 0; });
        bool changed = lookTotal_ != total_ || shown == cache_.end() ||
                       shown->rows.size() != answer.alerts.size();
        for (std::size_t i = 0; !changed && i < answer.alerts.size(); ++i) {
            const JournalAlert& was = shown->rows[i];
            const JournalAlert& now = answer.alerts[i];
            changed = was.id != now.id || was.acknowledged != now.acknowledged;
        }
        if (!changed) {
            lookGeneration_ = -1;
            return;
        }
        lookFirstPage_ = answer.alerts;
        emit changesWaiting(lookTotal_);
        return;
    }
    if (!answer.problem.empty() && problemGeneration_ != generation_) {
        problemGeneration_ = generation_;
        emit problem(FromCp(answer.problem));
    }
    if (answer.request.count) {
        // The pages of this filter come after its count: what is kept is of the one before.
        beginResetModel();
        cache_.clear();
        total_ = answer.problem.empty() ? answer.rows : 0;
        endResetModel();
        return;
    }
    const int64_t offset = answer.request.offset;
    cache_.remove_if([offset](const CachedPage& page) { return page.offset == offset; });
    cache_.push_front({offset, answer.alerts});
    while (static_cast<int>(cache_.size()) > kCachedPages) {
        requested_.erase(cache_.back().offset);
        cache_.pop_back();
    }
    const int rows = rowCount();
    if (!answer.alerts.empty() && offset < rows) {
        const int last = static_cast<int>(
            std::min<int64_t>(offset + static_cast<int64_t>(answer.alerts.size()), rows) - 1);
        emit dataChanged(index(static_cast<int>(offset), 0), index(last, kColumnCount - 1));
    }
    if (offset == 0 && settledGeneration_ != generation_) {
        settledGeneration_ = generation_;
        emit settled();
    }
}

const JournalAlert* CJournalModel::AlertAt(int row) const {
    if (row < 0) {
        return nullptr;
    }
    const int64_t offset = row / kPageRows * kPageRows;
    for (const CachedPage& page : cache_) {
        if (page.offset == offset) {
            const std::size_t at = static_cast<std::size_t>(row - offset);
            return at < page.rows.size() ? &page.rows[at] : nullptr;
        }
    }
    return nullptr;
}

std::vector<int64_t> CJournalModel::CachedPages() const {
    std::vector<int64_t> offsets;
    for (const CachedPage& page : cache_) {
        offsets.push_back(page.offset);
    }
    std::sort(offsets.begin(), offsets.end());
    return offsets;
}

int CJournalModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(std::min<int64_t>(total_, INT_MAX));
}

int CJournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString CJournalModel::CellText(const JournalAlert& a, int column, int32_t offsetMinutes) {
    switch (column) {
        case kTime:
            return QString::fromStdString(CCsvTable::ShownTime(a.raisedUtc, offsetMinutes));
        case kObject:
            return a.objectName.empty()
                       ? QString::number(a.objectNumber)
                       : QStringLiteral("%1 %2").arg(a.objectNumber).arg(FromCp(a.objectName));
        case kKind:
            return FromCp(CShiftReports::KindText(a.kind));
        case kZone:
            return FromCp(a.zoneName);
        case kAcknowledged:
            return a.acknowledged ? QString::fromStdString(
                                        CCsvTable::ShownTime(a.acknowledgedUtc, offsetMinutes))
                                  : QStringLiteral("нет");
        case kAccount:
            return a.acknowledged ? FromCp(a.acknowledgedAccount) : QString();
        case kReaction:
            return QString::fromStdString(CShiftReports::ReactionText(a));
        default:
            return {};
    }
}

QVariant CJournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const JournalAlert* alert = AlertAt(index.row());
    if (alert == nullptr) {
        // Read when first shown; the view hears of it when the page comes.
        RequestPage(index.row() / kPageRows * static_cast<int64_t>(kPageRows));
        return role == Qt::DisplayRole && index.column() == kTime ? QVariant(QStringLiteral("..."))
                                                                  : QVariant();
    }
    switch (role) {
        case Qt::DisplayRole:
            return CellText(*alert, index.column(), offsetMinutes_);
        case Qt::ToolTipRole:
            return FromCp(alert->text);
        case Qt::BackgroundRole:
            if (!alert->acknowledged) {
                return QBrush(QColor::fromRgb(kUnacknowledgedBack));
            }
            return {};
        case Qt::FontRole:
            if (!alert->acknowledged) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        default:
            return {};
    }
}

QVariant CJournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kHeaders[kColumnCount] = {"Время",        "Объект", "Событие", "Район",
                                                       "Подтверждено", "Кто",    "Реакция"};
    if (section < 0 || section >= kColumnCount) {
        return {};
    }
    return QString::fromUtf8(kHeaders[section]);
}
