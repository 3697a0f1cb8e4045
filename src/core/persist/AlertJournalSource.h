#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "persist/JournalAlert.h"

// Where the alert journal is read back (the journal window, the reports, the hand-over
// at start). The SQLite store reads through connections of its own (src/tracks); tests
// give fakes. Safe to call from any thread, beside the writer. Built to page: a window
// asks for the number of rows a filter leaves and then for the pages it shows, never for
// every row.
class AlertJournalSource {
public:
    virtual ~AlertJournalSource() = default;

    struct Filter {
        // Raised in fromUtc <= raised < toUtc; DateTime::Never() leaves that end open.
        DateTime fromUtc = DateTime::Never();
        DateTime toUtc = DateTime::Never();
        std::vector<int32_t> objects;       // empty: every vehicle
        uint32_t kinds = kAllJournalKinds;  // JournalKindBit of each kind wanted
        bool onlyUnacknowledged = false;
    };
    // What the rows are ordered by; ties by the row's number in the same direction.
    enum class Order : int32_t {
        Raised = 0,
        Object = 1,
        Kind = 2,
        Zone = 3,
        Acknowledged = 4,  // unacknowledged last when ascending
        Reaction = 5,      // time from alert to acknowledgement; unacknowledged last
    };
    struct Count {
        int64_t rows = 0;
        std::string problem;  // Windows-1251; empty when counted (also with no store yet)
    };
    struct Page {
        std::vector<JournalAlert> rows;
        std::string problem;
    };

    virtual Count CountRows(const Filter& filter) = 0;
    // Rows [offset, offset + limit) of the filter's rows in that order.
    virtual Page Rows(const Filter& filter, Order order, bool descending, int64_t offset,
                      int limit) = 0;
};
