// Ordering of the object list by a column. The records themselves are exchanged, so an
// object index is only valid until the next sort.
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "model/Cp1251.h"
#include "model/DataStore.h"
#include "model/TextUtil.h"
#include "zones/ZoneMap.h"

namespace {

constexpr int kZoneDistanceKey = 12;

int Compare3(long long a, long long b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}
int Compare3(double a, double b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

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

    // <0, 0, >0 as the key of object a is below, equal to or above that of object b.
    auto compare = [&](int a, int b) -> int {
        const ObjectRecord& x = Object(a);
        const ObjectRecord& y = Object(b);
        switch (key) {
            case 1:
            case 2:
            case 3:
            case 4:
            case 5:
                return Compare3(static_cast<long long>(x.Sensor(key - 1)),
                                static_cast<long long>(y.Sensor(key - 1)));
            case 6:
                return Compare3(static_cast<long long>(x.Number()),
                                static_cast<long long>(y.Number()));
            case 7:
                return Cp1251::Compare(x.currentZoneName, y.currentZoneName);
            case 8:
                // By the time spent in the zone, not by its text: ">100 час." must not come
                // before ">26 час.".
                return Compare3(ZoneTimeKey(x, shiftedNow), ZoneTimeKey(y, shiftedNow));
            case 9:
                // By time, not by the day-first text that put 1 December before 2 January.
                return Compare3(ReceivedKey(x), ReceivedKey(y));
            case 10:
                return Compare3(static_cast<long long>(x.speedKmh),
                                static_cast<long long>(y.speedKmh));
            case 11:
                // The path as the cell shows it (two decimals), so equal cells stay put.
                return Compare3(TextUtil::LeadingDouble(FormatPath(a)),
                                TextUtil::LeadingDouble(FormatPath(b)));
            default: {
                // Objects without a position have no distance: they rank above every
                // distance, so they end last ascending and first descending. Two of them
                // are equal and stay where they are.
                const bool xHas = (x.hasMessage & kHasPosition) != 0;
                const bool yHas = (y.hasMessage & kHasPosition) != 0;
                if (!xHas || !yHas)
                    return Compare3(xHas ? 0LL : 1LL, yHas ? 0LL : 1LL);
                const double dx = TextUtil::LeadingDouble(
                    zoneMap->FormatDistanceKm(zoneIndex, x.latitude, x.longitude));
                const double dy = TextUtil::LeadingDouble(
                    zoneMap->FormatDistanceKm(zoneIndex, y.latitude, y.longitude));
                return Compare3(dx, dy);
            }
        }
    };

    const int n = std::min(objectCount, static_cast<int32_t>(objects_.size()));
    bool moved = false;
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            const int c = compare(a, b);
            const bool outOfOrder = descending != 0 ? c < 0 : c > 0;
            if (outOfOrder) {
                std::swap(objects_[static_cast<std::size_t>(a)],
                          objects_[static_cast<std::size_t>(b)]);
                moved = true;
            }
        }
    }
    return moved;
}
