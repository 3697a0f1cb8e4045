#include "alerts/VisitHistory.h"

#include <algorithm>
#include <utility>

namespace {

// What a reader hands out for an index that holds no visit: a time whose status says it
// is not a valid value, so that callers can tell it from a real stamp.
DateTime InvalidTime() {
    return DateTime(0.0, 1);
}

}  // namespace

void VisitHistory::StartVisit(const std::string& zoneName, int zoneIndex, DateTime arrivalTime,
                              DateTime now) {
    const auto count = static_cast<std::size_t>(visitCount < 0 ? 0 : visitCount);
    // Keep the sequences exactly visitCount long; anything beyond belongs to no visit.
    zoneIndexes.resize(count);
    zoneNames.resize(count);
    arrivalTimes.resize(count);
    departureTimes.resize(count);
    if (count >= static_cast<std::size_t>(kMaxVisits)) {
        // The oldest visit gives way to the new one; the history never grows past the limit.
        zoneIndexes.resize(kMaxVisits - 1);
        zoneNames.resize(kMaxVisits - 1);
        arrivalTimes.resize(kMaxVisits - 1);
        departureTimes.resize(kMaxVisits - 1);
    }
    zoneIndexes.insert(zoneIndexes.begin(), zoneIndex);
    zoneNames.insert(zoneNames.begin(), zoneName);
    arrivalTimes.insert(arrivalTimes.begin(), arrivalTime);
    departureTimes.insert(departureTimes.begin(), now);
    visitCount = static_cast<int32_t>(zoneIndexes.size());
    lastVisitClosed = 0;
}

bool VisitHistory::EndVisit(DateTime departureTime, bool markClosed) {
    if (visitCount <= 0 || departureTimes.empty())
        return false;
    departureTimes[0] = departureTime;
    if (markClosed)
        lastVisitClosed = 1;
    return true;
}

void VisitHistory::Clear() {
    visitCount = 0;
    lastVisitClosed = 0;
    zoneIndexes.clear();
    zoneNames.clear();
    arrivalTimes.clear();
    departureTimes.clear();
}

namespace {

bool InRange(int i, int32_t count, std::size_t stored) {
    return i >= 0 && i < count && static_cast<std::size_t>(i) < stored;
}

}  // namespace

std::string VisitHistory::ZoneName(int i) const {
    return ZoneNameRef(i);
}

const std::string& VisitHistory::ZoneNameRef(int i) const {
    static const std::string kNone;
    if (!InRange(i, visitCount, zoneNames.size()))
        return kNone;
    return zoneNames[static_cast<std::size_t>(i)];
}

int VisitHistory::ZoneIndex(int i) const {
    if (!InRange(i, visitCount, zoneIndexes.size()))
        return -1;
    return zoneIndexes[static_cast<std::size_t>(i)];
}

DateTime VisitHistory::ArrivalTime(int i) const {
    if (!InRange(i, visitCount, arrivalTimes.size()))
        return InvalidTime();
    return arrivalTimes[static_cast<std::size_t>(i)];
}

DateTime VisitHistory::DepartureTime(int i) const {
    if (!InRange(i, visitCount, departureTimes.size()))
        return InvalidTime();
    return departureTimes[static_cast<std::size_t>(i)];
}

DateTime VisitHistory::ArrivalTimeShown(int i) const {
    if (!InRange(i, visitCount, arrivalTimes.size()))
        return InvalidTime();
    return arrivalTimes[static_cast<std::size_t>(i)].AddMinutes(-displayOffsetMinutes);
}

DateTime VisitHistory::DepartureTimeShown(int i) const {
    if (!InRange(i, visitCount, departureTimes.size()))
        return InvalidTime();
    return departureTimes[static_cast<std::size_t>(i)].AddMinutes(-displayOffsetMinutes);
}

bool VisitHistory::HasEnded(int i) const {
    if (!InRange(i, visitCount, arrivalTimes.size()) ||
        !InRange(i, visitCount, departureTimes.size())) {
        return false;
    }
    return !(departureTimes[static_cast<std::size_t>(i)] <
             arrivalTimes[static_cast<std::size_t>(i)]);
}

double VisitHistory::Duration(int i) const {
    if (!HasEnded(i))
        return 0.0;
    return departureTimes[static_cast<std::size_t>(i)] - arrivalTimes[static_cast<std::size_t>(i)];
}

void VisitHistory::SwapVisits(int i, int j) {
    const std::size_t stored = std::min(
        {zoneIndexes.size(), zoneNames.size(), arrivalTimes.size(), departureTimes.size()});
    if (!InRange(i, visitCount, stored) || !InRange(j, visitCount, stored) || i == j)
        return;
    const auto a = static_cast<std::size_t>(i);
    const auto b = static_cast<std::size_t>(j);
    std::swap(zoneIndexes[a], zoneIndexes[b]);
    std::swap(zoneNames[a], zoneNames[b]);
    std::swap(arrivalTimes[a], arrivalTimes[b]);
    std::swap(departureTimes[a], departureTimes[b]);
}
