#pragma once

#include <QAbstractTableModel>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "persist/AlertJournalSource.h"

// The alerts of the journal as a table that never holds them all: the number of rows the
// filter leaves is counted, and the rows are read in pages of kPageRows as the view shows
// them; the last kCachedPages pages read are kept. Every query runs on a reading thread of
// the model's own, one after another, so that a slow store never stops the window; the
// answers come back to the window's thread, and those to an older filter or order are
// dropped. A row not read yet shows "..." until its page comes.
//
// Unacknowledged alerts are marked: bold on a pale red ground, "нет" under "Подтверждено".
class CJournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column : int {
        kTime = 0,
        kObject,
        kKind,
        kZone,
        kAcknowledged,
        kAccount,
        kReaction,
        kColumnCount
    };
    static constexpr int kPageRows = 200;
    static constexpr int kCachedPages = 8;
    // The ground of an unacknowledged row.
    static constexpr unsigned kUnacknowledgedBack = 0xFFD8D8;

    // `source` may be null (no journal): the table stays empty. `offsetMinutes`: the
    // display offset (shown = stamp - offset).
    CJournalModel(std::shared_ptr<AlertJournalSource> source, int32_t offsetMinutes,
                  QObject* parent = nullptr);
    // Waits for the query under way (the others are dropped).
    ~CJournalModel() override;

    // A new filter or order: counted and its first page read again.
    void SetFilter(const AlertJournalSource::Filter& filter);
    void SetOrder(AlertJournalSource::Order order, bool descending);
    AlertJournalSource::Order CurrentOrder() const { return order_; }
    bool Descending() const { return descending_; }
    // The order a column's header sorts by; none for "Кто".
    static std::optional<AlertJournalSource::Order> OrderOfColumn(int column);

    // Whether the count and the first page of the filter and order in force are shown.
    bool Settled() const { return settledGeneration_ == generation_; }
    // The number of rows the filter leaves, as last counted.
    int64_t Total() const { return total_; }
    // The alert of a row when its page has been read, else null.
    const JournalAlert* AlertAt(int row) const;
    // Pages read and kept, by their first row (tests).
    std::vector<int64_t> CachedPages() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // A header click: the column's order (a column without one is left as it is).
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Looks whether the journal changed under the filter in force (alerts raised or
    // acknowledged since): counts again and reads the first page again, without touching
    // the table. `changesWaiting` tells when it did; TakeChanges then shows them.
    void LookForChanges();
    // Shows what the last look found: the new count and first page, in one reset, with
    // no row left unread ("...") in between. False when there is nothing newer to show.
    bool TakeChanges();

    // The text of a cell as the table shows it.
    static QString CellText(const JournalAlert& alert, int column, int32_t offsetMinutes);

signals:
    // The count and the first page of the filter and order in force are shown.
    void settled();
    // A query failed: the store's reason, in Russian.
    void problem(const QString& text);
    // LookForChanges found the journal changed: `total` rows under the filter now.
    void changesWaiting(qint64 total);

private:
    struct Request {
        int generation = 0;
        bool count = false;  // else a page
        bool look = false;   // LookForChanges: answered aside, the table untouched
        int64_t offset = 0;
        AlertJournalSource::Filter filter;
        AlertJournalSource::Order order = AlertJournalSource::Order::Raised;
        bool descending = true;
    };
    struct Answer {
        Request request;
        int64_t rows = 0;
        std::vector<JournalAlert> alerts;
        std::string problem;
    };
    struct CachedPage {
        int64_t offset = 0;
        std::vector<JournalAlert> rows;
    };

    // The reading thread's answers, on the window's thread.
    Q_INVOKABLE void TakeAnswers();
    void Restart();
    // A new filter, order or first page: what is queued for the one before is dropped.
    void NewGeneration();
    // A query of the filter and order in force.
    Request NewRequest(bool count, bool look, int64_t offset) const;
    void RequestPage(int64_t offset) const;
    void Enqueue(Request request) const;
    void ReadLoop();
    void Take(const Answer& answer);

    std::shared_ptr<AlertJournalSource> source_;
    const int32_t offsetMinutes_;
    AlertJournalSource::Filter filter_;
    AlertJournalSource::Order order_ = AlertJournalSource::Order::Raised;
    bool descending_ = true;

    int generation_ = 0;
    int settledGeneration_ = -1;
    int problemGeneration_ = -1;
    int64_t total_ = 0;
    // Newest first; at most kCachedPages. Filled by data(), a const call.
    mutable std::list<CachedPage> cache_;
    mutable std::set<int64_t> requested_;
    // What LookForChanges read, until the first page of it comes or the filter changes.
    int lookGeneration_ = -1;
    int64_t lookTotal_ = 0;
    std::optional<std::vector<JournalAlert>> lookFirstPage_;

    // The reading thread and its queue.
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    mutable std::deque<Request> queue_;
    // Answers wait here for the window's thread; the queued call only wakes it.
    std::deque<Answer> answers_;
    bool stop_ = false;
    std::thread reader_;
};
