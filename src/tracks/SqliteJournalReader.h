#pragma once

#include <string>

#include "persist/AlertJournalSource.h"

// Reads the alert journal of SntTracks.db back (docs/tracks.md, "The alert journal"),
// as CSqliteTrackReader reads the points: each call opens a read-only connection of its
// own and closes it, so it never waits for the writer nor holds it up, takes none of the
// program's locks, and follows the file when a damaged one has been set aside. A missing
// store (or one written before the journal existed) reads as no rows without a problem;
// a damaged one gives no rows and a problem text. Safe from any number of threads.
//
// A page is found through the indexes: the numbers of the page's rows are picked first
// (the index of the order walked, nothing else read), then only those rows are read.
class CSqliteJournalReader : public AlertJournalSource {
public:
    // How long a query waits when SQLite asks it to (only the rare recovery of a WAL).
    static constexpr int kBusyMs = 1000;

    // `path`: the database file (Windows-1251, as every path of the core).
    explicit CSqliteJournalReader(std::string path);

    Count CountRows(const Filter& filter) override;
    Page Rows(const Filter& filter, Order order, bool descending, int64_t offset,
              int limit) override;

private:
    const std::string path_;
};
