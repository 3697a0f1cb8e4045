#pragma once

#include <string>
#include <vector>

#include "persist/JournalEntry.h"
#include "persist/TrackPoint.h"

// Where the group commit keeps every applied position, and the alert journal beside
// them. The core needs only this: the SQLite store lives outside it (src/tracks), tests
// give fakes, and a console without a sink gathers no points and no alerts at all.
class TrackSink {
public:
    virtual ~TrackSink() = default;

    struct Written {
        bool ok = false;
        // Why the points were not written (Windows-1251, for the log and the dispatcher).
        std::string problem;
        // A damaged store was set aside under this name and a fresh one started (the
        // points may still have been written to the fresh one).
        std::string setAsidePath;
    };
    // The points of one commit, in one transaction; called by the commit before its
    // inbox files are deleted, without the store lock. A point already kept (its batch
    // applied again after a crash or a failed commit) is not added a second time.
    // The journal's entries go into the same transaction, after the points and in their
    // order; an alert already kept (object, message time, receive time, kind) is not
    // added a second time, and an acknowledgement that covers no alert is not kept.
    virtual Written Append(const std::vector<TrackPoint>& points,
                           const std::vector<JournalEntry>& journal) = 0;
    Written Append(const std::vector<TrackPoint>& points) { return Append(points, {}); }
    // Once the program folder is this copy's: points whose message time is more than
    // `days` days old are removed in the background, a day at a time (0: kept for good).
    virtual void StartRetention(int days) = 0;
    // Where the store is, for messages.
    virtual std::string Location() const = 0;
};
