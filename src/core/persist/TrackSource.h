#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "persist/TrackPoint.h"

// Where the points kept by a TrackSink are read back (the route of a vehicle over a
// period: the replay, the export). The SQLite store reads through a connection of its
// own (src/tracks); tests give fakes. Safe to call from any thread, beside the writer.
class TrackSource {
public:
    virtual ~TrackSource() = default;

    struct Read {
        // In message time order (ties: by receive time).
        std::vector<TrackPoint> points;
        // Why nothing could be read (Windows-1251, for the dispatcher); empty when the
        // points were read, and also when there is no store yet (no points then). When
        // set, `points` is empty: a route is shown whole or not at all.
        std::string problem;
    };
    // The points of one object whose message time t lies in fromUtc <= t < toUtc (both
    // UTC, to the millisecond): consecutive periods neither overlap nor leave a gap.
    virtual Read Points(int32_t object, DateTime fromUtc, DateTime toUtc) = 0;
};
