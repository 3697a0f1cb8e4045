#pragma once

// An alert journal in memory, answered as the store answers (filter, order, ties by the
// row's number, paging), that counts what it was asked.

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "persist/AlertJournalSource.h"

namespace consoletest {

class FakeAlertJournal : public AlertJournalSource {
public:
    Count CountRows(const Filter& filter) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts;
        lastFilter = filter;
        Count count;
        count.problem = problem;
        if (problem.empty()) {
            for (const JournalAlert& a : rows) {
                count.rows += Matches(filter, a) ? 1 : 0;
            }
        }
        return count;
    }
    Page Rows(const Filter& filter, Order order, bool descending, int64_t offset,
              int limit) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++pages;
        lastFilter = filter;
        lastOrder = order;
        lastDescending = descending;
        asked.push_back({offset, limit});
        Page page;
        page.problem = problem;
        if (!problem.empty()) {
            return page;
        }
        std::vector<JournalAlert> found;
        for (const JournalAlert& a : rows) {
            if (Matches(filter, a)) {
                found.push_back(a);
            }
        }
        std::stable_sort(found.begin(), found.end(),
                         [&](const JournalAlert& x, const JournalAlert& y) {
                             const int c = Compare(order, x, y);
                             return descending ? c > 0 : c < 0;
                         });
        for (int64_t i = offset; i < static_cast<int64_t>(found.size()) && i < offset + limit;
             ++i) {
            page.rows.push_back(found[static_cast<std::size_t>(i)]);
        }
        return page;
    }

    static bool Matches(const Filter& f, const JournalAlert& a) {
        if (!f.fromUtc.IsNever() && a.raisedUtc < f.fromUtc) {
            return false;
        }
        if (!f.toUtc.IsNever() && !(a.raisedUtc < f.toUtc)) {
            return false;
        }
        if (!f.objects.empty() &&
            std::find(f.objects.begin(), f.objects.end(), a.objectNumber) == f.objects.end()) {
            return false;
        }
        if ((f.kinds & JournalKindBit(a.kind)) == 0) {
            return false;
        }
        return !(f.onlyUnacknowledged && a.acknowledged);
    }
    // Sign of x - y in `order`, ties by the row's number.
    static int Compare(Order order, const JournalAlert& x, const JournalAlert& y) {
        auto sign = [](auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); };
        int c = 0;
        switch (order) {
            case Order::Raised:
                c = sign(x.raisedUtc.Linear(), y.raisedUtc.Linear());
                break;
            case Order::Object:
                c = sign(x.objectNumber, y.objectNumber);
                break;
            case Order::Kind:
                c = sign(static_cast<int>(x.kind), static_cast<int>(y.kind));
                break;
            case Order::Zone:
                c = sign(x.zoneName, y.zoneName);
                break;
            case Order::Acknowledged:
            case Order::Reaction: {
                // Unacknowledged last when ascending.
                if (x.acknowledged != y.acknowledged) {
                    return x.acknowledged ? -1 : 1;
                }
                if (x.acknowledged) {
                    c = order == Order::Acknowledged
                            ? sign(x.acknowledgedUtc.Linear(), y.acknowledgedUtc.Linear())
                            : sign(x.acknowledgedUtc - x.raisedUtc,
                                   y.acknowledgedUtc - y.raisedUtc);
                }
                break;
            }
        }
        return c != 0 ? c : sign(x.id, y.id);
    }

    struct Asked {
        int64_t offset;
        int limit;
    };
    std::vector<JournalAlert> rows;
    std::string problem;
    std::atomic<int> counts{0};
    std::atomic<int> pages{0};
    std::vector<Asked> asked;
    Filter lastFilter;
    Order lastOrder = Order::Raised;
    bool lastDescending = false;

private:
    std::mutex mutex_;
};

}  // namespace consoletest
