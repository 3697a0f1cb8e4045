// Ordering of the object list by a column. The records themselves are exchanged, so an
// object index is only valid until the next sort.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "base/Cp1251.h"
#include "base/ExchangeSort.h"
#include "base/TextUtil.h"
#include "model/DataStore.h"
#include "zones/ZoneMap.h"

namespace {

constexpr int kZoneDistanceKey = 12;

// Stamps from a damaged file (not a number, far outside the calendar) count as never, so
// that the conversion to seconds below stays defined.
bool IsUsable(DateTime t) {
    return std::isfinite(t.date) && std::fabs(t.date) < 3.0e6 && !t.IsNever();
}

// A stamp in whole seconds, the resolution at which the list shows it: two stamps the
// list shows alike never change places.
long long Seconds(DateTime t) {
    return std::llround(t.Linear() * 86400.0);
}

// Time of an object in its zone, in seconds, against the stamps' now. A stamp ahead of
// that now shows as no time at all, and "never entered" is below every real value.
long long ZoneTimeKey(const ObjectRecord& o, DateTime shiftedNow) {
    if (!IsUsable(o.zoneEntryTime))
        return -1;
    if (!IsUsable(shiftedNow))
        return 0;
    const long long span = Seconds(shiftedNow) - Seconds(o.zoneEntryTime);
    return span < 0 ? 0 : span;
}

long long ReceivedKey(const ObjectRecord& o) {
    if (!IsUsable(o.lastReceivedAt))
        return std::numeric_limits<long long>::min();
    return Seconds(o.lastReceivedAt);
}

}  // namespace

bool CDataStore::SortObjects(int key, int descending, int zoneIndex, const CZoneMap* zoneMap,
                             DateTime now) {
    if (key < 1 || key > kZoneDistanceKey)
        return false;
    if (key == kZoneDistanceKey &&
        (zoneMap == nullptr || zoneIndex < 0 || zoneIndex >= zoneMap->ZoneCount())) {
        return false;
    }
    const DateTime shiftedNow = now.AddMinutes(timeOffsetMinutes);
    const int n = std::min(objectCount, static_cast<int32_t>(objects_.size()));
    const auto count = static_cast<std::size_t>(std::max(n, 0));

    // Every key is computed once per object, not once per comparison; the order is the
    // exchange procedure's (ExchangeSortOrder), ascending or descending.
    std::vector<std::size_t> order;
    const auto sortBy = [&](auto keyOf, auto less) {
        using Key = decltype(keyOf(0));
        std::vector<Key> keys;
        keys.reserve(count);
        for (int i = 0; i < n; ++i)
            keys.push_back(keyOf(i));
        if (descending != 0) {
            order = ExchangeSortOrder(keys, [&](const Key& a, const Key& b) { return less(b, a); });
        } else {
            order = ExchangeSortOrder(keys, less);
        }
    };
    const auto numeric = [](auto a, auto b) { return a < b; };
    if (count == 0)
        return false;

    switch (key) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            sortBy([&](int i) { return static_cast<long long>(Object(i).Sensor(key - 1)); },
                   numeric);
            break;
        case 6:
            sortBy([&](int i) { return static_cast<long long>(Object(i).Number()); }, numeric);
            break;
        case 7:
            sortBy([&](int i) { return Object(i).currentZoneName; },
                   [](const std::string& a, const std::string& b) {
                       return Cp1251::Compare(a, b) < 0;
                   });
            break;
        case 8:
            // By the time spent in the zone, not by its text: ">100 час." must not come
            // before ">26 час.".
            sortBy([&](int i) { return ZoneTimeKey(Object(i), shiftedNow); }, numeric);
            break;
        case 9:
            // By time, not by the day-first text that put 1 December before 2 January.
            sortBy([&](int i) { return ReceivedKey(Object(i)); }, numeric);
            break;
        case 10:
            sortBy([&](int i) { return static_cast<long long>(Object(i).speedKmh); }, numeric);
            break;
        case 11:
            // The path as the cell shows it (two decimals), so equal cells stay put.
            sortBy([&](int i) { return TextUtil::LeadingDouble(FormatPath(i)); }, numeric);
            break;
        default:
            // Objects without a position have no distance: they rank above every
            // distance, so they end last ascending and first descending. Two of them
            // are equal and stay where they are.
            sortBy(
                [&](int i) {
                    const ObjectRecord& o = Object(i);
                    if ((o.hasMessage & kHasPosition) == 0)
                        return std::pair<int, double>(1, 0.0);
                    return std::pair<int, double>(
                        0, TextUtil::LeadingDouble(
                               zoneMap->FormatDistanceKm(zoneIndex, o.latitude, o.longitude)));
                },
                numeric);
            break;
    }

    bool moved = false;
    for (std::size_t p = 0; p < count && !moved; ++p)
        moved = order[p] != p;
    if (!moved)
        return false;
    // The records themselves are exchanged: every sequence of an object moves with it.
    std::vector<ObjectRecord> sorted;
    sorted.reserve(objects_.size());
    for (const std::size_t i : order)
        sorted.push_back(std::move(objects_[i]));
    for (std::size_t i = count; i < objects_.size(); ++i)
        sorted.push_back(std::move(objects_[i]));
    objects_ = std::move(sorted);
    return true;
}

bool CDataStore::SortByKey(int key, int zoneIndex, const CZoneMap* zoneMap, DateTime now) {
    if (key == sortKey) {
        sortDescending = sortDescending != 0 ? 0 : 1;
    } else {
        sortDescending = 0;
        sortKey = key;
    }
    if (!SortObjects(sortKey, sortDescending, zoneIndex, zoneMap, now))
        return false;
    ResetShownRows();
    return true;
}
