#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"

// One object's visits to control zones, newest first (index 0), at most 99.
struct VisitHistory {
    static constexpr int kMaxVisits = 99;

    int32_t displayOffsetMinutes = 0;
    int32_t visitCount = 0;
    // 1 when the newest visit has ended, 0 while the object is still in that zone.
    int32_t lastVisitClosed = 0;
    std::vector<int32_t> zoneIndexes;
    std::vector<std::string> zoneNames;
    std::vector<DateTime> arrivalTimes;
    std::vector<DateTime> departureTimes;

    // Adds a visit at index 0 (dropping the oldest at the limit); its departure time is
    // the current local time `now`; the newest visit is open afterwards.
    void StartVisit(const std::string& zoneName, int zoneIndex, DateTime arrivalTime, DateTime now);
    // Sets the departure time of visit 0. False (and nothing changes) without visits.
    bool EndVisit(DateTime departureTime, bool markClosed);
    void Clear();

    // Readers; an index outside 0..visitCount-1 gives "" / -1 / an invalid time.
    std::string ZoneName(int i) const;
    // The same without a copy; an empty text outside the range.
    const std::string& ZoneNameRef(int i) const;
    int ZoneIndex(int i) const;
    DateTime ArrivalTime(int i) const;
    DateTime DepartureTime(int i) const;
    // Times as shown: stored - displayOffsetMinutes.
    DateTime ArrivalTimeShown(int i) const;
    DateTime DepartureTimeShown(int i) const;
    // A visit has ended when its departure is not earlier than its arrival.
    bool HasEnded(int i) const;
    // Departure - arrival in days when ended, else 0.
    double Duration(int i) const;
    void SwapVisits(int i, int j);
};
