#pragma once

#include <string>

#include "persist/TrackSource.h"

// Reads the points of SntTracks.db back (docs/tracks.md, "Reading a route"): each query
// opens a read-only connection of its own, so it never waits for the writer
// (CSqliteTrackStore) nor holds it up (WAL: readers see the last whole commit), takes
// neither that store's lock nor the console's, and follows the file when a damaged one
// has been set aside and a fresh one started. It never creates, changes or sets aside
// the file: a missing store reads as no points, a damaged one as a problem.
// Safe to call from any number of threads at once.
class CSqliteTrackReader : public TrackSource {
public:
    // How long a query waits when SQLite asks it to (only the rare recovery of a WAL).
    static constexpr int kBusyMs = 1000;

    // `path`: the database file (Windows-1251, as every path of the core).
    explicit CSqliteTrackReader(std::string path);

    Read Points(int32_t object, DateTime fromUtc, DateTime toUtc) override;

private:
    const std::string path_;
};
