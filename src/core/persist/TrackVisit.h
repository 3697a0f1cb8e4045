#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "persist/TrackPoint.h"

// One stay in a control zone as the points of a period show it: a run of consecutive
// points that carry the same zone name. Leaving a zone for another one ends the visit
// and starts the next; a point outside every zone ends it.
struct TrackVisit {
    std::string zoneName;  // Windows-1251, as TrackPoint::zoneName
    // Message times (UTC) of the run's first and last point.
    DateTime firstInside;
    DateTime lastInside;
    // Message time of the point right after the run (outside the zone or in another);
    // DateTime::Never() when the period's points end inside.
    DateTime firstOutside;
    // The run's points: indexes into the points it was derived from.
    std::size_t firstPoint = 0;
    std::size_t lastPoint = 0;
    // The run begins with the period's first point: the object may have entered before.
    bool beganBeforePeriod = false;
    // The run ends with the period's last point: the object may have stayed on after it.
    bool lastsBeyondPeriod = false;

    // The visits of `points` (in message time order), oldest first.
    static std::vector<TrackVisit> FromPoints(const std::vector<TrackPoint>& points);
};
