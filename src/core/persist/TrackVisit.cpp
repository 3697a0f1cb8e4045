#include "persist/TrackVisit.h"

std::vector<TrackVisit> TrackVisit::FromPoints(const std::vector<TrackPoint>& points) {
    std::vector<TrackVisit> visits;
    std::size_t i = 0;
    while (i < points.size()) {
        if (points[i].zoneName.empty()) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < points.size() && points[last + 1].zoneName == points[i].zoneName)
            ++last;
        TrackVisit visit;
        visit.zoneName = points[i].zoneName;
        visit.firstInside = points[i].messageTime;
        visit.lastInside = points[last].messageTime;
        visit.firstOutside =
            last + 1 < points.size() ? points[last + 1].messageTime : DateTime::Never();
        visit.firstPoint = i;
        visit.lastPoint = last;
        visit.beganBeforePeriod = i == 0;
        visit.lastsBeyondPeriod = last + 1 == points.size();
        visits.push_back(std::move(visit));
        i = last + 1;
    }
    return visits;
}
