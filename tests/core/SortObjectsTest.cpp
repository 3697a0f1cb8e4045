#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/Cp1251.h"
#include "model/DataStore.h"
#include "zones/ZoneMap.h"

namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
    return DateTime::FromCalendar(year, month, day, hour, minute, 0);
}

// A function, not a global: calendar conversions must not run during static initialisation.
DateTime Now() {
    return At(2024, 6, 1, 12);
}

class SortObjectsTest : public ::testing::Test {
protected:
    CDataStore store{"/nonexistent"};

    ObjectRecord& Add(const std::string& id) {
        store.AppendObject();
        ++store.objectCount;
        ObjectRecord& o = store.Object(store.objectCount - 1);
        o.id = id;
        o.name = "N" + id;
        return o;
    }
    std::string Order() const {
        std::string s;
        for (int i = 0; i < store.objectCount; ++i) {
            if (!s.empty())
                s += ",";
            s += store.Object(i).id;
        }
        return s;
    }
    bool Sort(int key, int descending, int zone = -1, const CZoneMap* map = nullptr) {
        return store.SortObjects(key, descending, zone, map, Now());
    }
};

}  // namespace

namespace {

// Zone "Z", 100 m round 55.0 N 37.0 E.
CZoneMap OneZoneMap() {
    CZoneMap map;
    ZoneRecord zone;
    zone.name = "Z";
    zone.latitude = 55.0;
    zone.longitude = 37.0;
    zone.radiusMetres = 100;
    map.AppendZone(zone);
    return map;
}

}  // namespace

TEST_F(SortObjectsTest, SecondSortWithTheSameKeyMovesNothing) {
    // Ties in every key, so equal keys are met on every pass.
    const int sensors[5][5] = {
        {1, 0, 3, 1, 9}, {0, 0, 3, 2, 9}, {1, 5, 0, 1, 0}, {7, 5, 3, 0, 9}, {0, 1, 3, 1, 2}};
    const char* zones[5] = {"B", "A", "B", "---", "A"};
    const double paths[5] = {1000.001, 1000.004, 5, 0, 7777};
    for (int k = 0; k < 5; ++k) {
        ObjectRecord& o = Add(std::to_string(10 - 2 * (k % 3)));
        for (int s = 0; s < 5; ++s)
            o.inputs[8 + static_cast<std::size_t>(s)] = sensors[k][s];
        o.currentZoneName = zones[k];
        o.pathMetres = paths[k];
        o.speedKmh = (k * 7) % 3;
        o.lastReceivedAt = k == 3 ? DateTime::Never() : At(2024, 5, 1 + k % 2, 3);
        o.zoneEntryTime = k == 1 ? DateTime::Never() : At(2024, 6, 1, 10 - k % 2);
    }
    for (int key = 1; key <= 11; ++key) {
        for (int descending : {0, 1}) {
            Sort(key, descending);
            const std::string after = Order();
            EXPECT_FALSE(Sort(key, descending)) << "key " << key << " desc " << descending;
            EXPECT_EQ(Order(), after);
        }
    }
}

TEST_F(SortObjectsTest, WholeRecordsAreExchanged) {
    ObjectRecord& a = Add("20");
    a.history.StartVisit("Z", 3, At(2024, 1, 1), Now());
    a.zoneAssignment.count = 1;
    a.zoneAssignment.zones.push_back(3);
    a.zoneAssignment.roles.push_back(1);
    a.alertSettings[4] = 1;
    a.firstTimeout = DateTime::FromTimeOfDay(0, 10, 0);
    Add("3");
    EXPECT_TRUE(Sort(6, 0));
    EXPECT_EQ(Order(), "3,20");
    const ObjectRecord& moved = store.Object(1);
    EXPECT_EQ(moved.name, "N20");
    EXPECT_EQ(moved.history.ZoneName(0), "Z");
    EXPECT_EQ(moved.zoneAssignment.zones.size(), 1u);
    EXPECT_EQ(moved.alertSettings[4], 1);
    EXPECT_EQ(moved.firstTimeout, DateTime::FromTimeOfDay(0, 10, 0));
    EXPECT_EQ(store.Object(0).history.visitCount, 0);
    EXPECT_TRUE(Sort(6, 1));
    EXPECT_EQ(Order(), "20,3");
}

TEST_F(SortObjectsTest, IntegerAndTextKeys) {
    Add("10").currentZoneName = "Zeta";
    Add("9").currentZoneName = W("Яма");
    Add("0011x").currentZoneName = W("Арбат");
    EXPECT_TRUE(Sort(6, 0));
    EXPECT_EQ(Order(), "9,10,0011x");
    // Byte order of Windows-1251: Latin below Cyrillic, А below Я.
    EXPECT_TRUE(Sort(7, 0));
    EXPECT_EQ(Order(), "10,0011x,9");
    EXPECT_TRUE(Sort(7, 1));
    EXPECT_EQ(Order(), "9,0011x,10");
}

TEST_F(SortObjectsTest, LastMessageKeyComparesTimes) {
    Add("1").lastReceivedAt = At(2007, 12, 1, 8);
    Add("2").lastReceivedAt = At(2007, 1, 2, 8);
    Add("3");  // never heard from: the smallest value
    EXPECT_TRUE(Sort(9, 0));
    EXPECT_EQ(Order(), "3,2,1");
    EXPECT_TRUE(Sort(9, 1));
    EXPECT_EQ(Order(), "1,2,3");
}

TEST_F(SortObjectsTest, ZoneTimeKeyComparesTimeInZone) {
    store.timeOffsetMinutes = -180;                    // stamps' now: 09:00 on 1 June
    Add("long").zoneEntryTime = At(2024, 5, 28, 4);    // >100 час.
    Add("short").zoneEntryTime = At(2024, 5, 31, 7);   // >26 час.
    Add("none");                                       // never in a zone
    Add("recent").zoneEntryTime = At(2024, 6, 1, 8);   // 01:00:00
    Add("future").zoneEntryTime = At(2024, 6, 1, 11);  // shows 00:00:00
    EXPECT_EQ(store.FormatZoneTime(0, Now()), W(">101 час."));
    EXPECT_TRUE(Sort(8, 0));
    EXPECT_EQ(Order(), "none,future,recent,short,long");
    EXPECT_TRUE(Sort(8, 1));
    EXPECT_EQ(Order(), "long,short,recent,future,none");
}

TEST_F(SortObjectsTest, SpeedAndPathKeys) {
    Add("a").speedKmh = 100;
    Add("b").speedKmh = 9;
    Add("c").speedKmh = -1;
    EXPECT_TRUE(Sort(10, 0));
    EXPECT_EQ(Order(), "c,b,a");
    store.Object(0).pathMetres = 1000.004;  // both read 1.00
    store.Object(1).pathMetres = 1000.001;
    store.Object(2).pathMetres = 999.0;  // 1.00 as well
    EXPECT_FALSE(Sort(11, 0));
    store.Object(2).pathMetres = 21000;
    EXPECT_TRUE(Sort(11, 1));
    EXPECT_EQ(Order(), "a,b,c");  // b and c both read 1.00: never exchanged with each other
}

TEST_F(SortObjectsTest, ZoneDistanceKey) {
    const CZoneMap map = OneZoneMap();

    auto place = [&](const std::string& id, double latitude, bool heard) {
        ObjectRecord& o = Add(id);
        o.latitude = latitude;
        o.longitude = 37.0;
        o.hasMessage = heard ? kHasPosition : kHasAlarm;
    };
    place("far", 56.0, true);
    place("quiet1", 55.0, false);
    place("near", 55.01, true);
    place("quiet2", 55.0, false);
    place("mid", 55.5, true);

    // No zone or no map: nothing moves.
    EXPECT_FALSE(Sort(12, 0, -1, &map));
    EXPECT_FALSE(Sort(12, 0, 0, nullptr));
    EXPECT_FALSE(Sort(12, 0, 5, &map));
    EXPECT_EQ(Order(), "far,quiet1,near,quiet2,mid");

    EXPECT_TRUE(Sort(12, 0, 0, &map));
    EXPECT_EQ(Order(), "near,mid,far,quiet2,quiet1");
    EXPECT_FALSE(Sort(12, 0, 0, &map));

    EXPECT_TRUE(Sort(12, 1, 0, &map));
    EXPECT_EQ(Order(), "quiet2,quiet1,far,mid,near");
    EXPECT_FALSE(Sort(12, 1, 0, &map));
}

TEST_F(SortObjectsTest, UnknownKeysAndEmptyStore) {
    EXPECT_FALSE(Sort(6, 0));
    Add("2");
    Add("1");
    EXPECT_FALSE(Sort(0, 0));
    EXPECT_FALSE(Sort(13, 0));
    EXPECT_EQ(Order(), "2,1");
}

// Every key, both directions, over objects with many equal keys: the order is the one the
// exchange procedure gives when it compares the keys pair by pair, as the list always did.
TEST_F(SortObjectsTest, EveryKeyGivesTheExchangeProcedureOrder) {
    const CZoneMap map = OneZoneMap();

    std::mt19937 random(8);
    const char* zoneNames[] = {"---", "A", "B", "\xC0\xE2", "a"};
    for (int k = 0; k < 240; ++k) {
        ObjectRecord& o = Add(std::to_string(random() % 60) + "x" + std::to_string(k));
        for (std::size_t s = 0; s < 5; ++s)
            o.inputs[8 + s] = static_cast<int32_t>(random() % 3);
        o.currentZoneName = zoneNames[random() % 5];
        o.speedKmh = static_cast<int32_t>(random() % 4);
        o.pathMetres = 1000.0 * (random() % 5) + (random() % 2 == 0 ? 0.001 : 0.0);
        o.lastReceivedAt =
            random() % 6 == 0 ? DateTime::Never() : At(2024, 5, 1 + random() % 3, random() % 2);
        o.zoneEntryTime = random() % 6 == 0 ? DateTime::Never() : At(2024, 6, 1, random() % 4);
        o.hasMessage = random() % 5 == 0 ? 0 : kHasPosition;
        o.latitude = 55.0 + 0.01 * (random() % 4);
        o.longitude = 37.0;
    }

    // The keys as plain values, read straight from the records (whole seconds, usable
    // times only, so times compare as their dates).
    const auto less = [&](int key, const ObjectRecord& x, const ObjectRecord& y) -> bool {
        switch (key) {
            case 6:
                return x.Number() < y.Number();
            case 7:
                return Cp1251::Compare(x.currentZoneName, y.currentZoneName) < 0;
            case 8: {
                // Time in the zone: never entered is below every time.
                const double a = x.zoneEntryTime.IsNever() ? 1e9 : x.zoneEntryTime.date;
                const double b = y.zoneEntryTime.IsNever() ? 1e9 : y.zoneEntryTime.date;
                return a > b;
            }
            case 9: {
                const double a = x.lastReceivedAt.IsNever() ? -1e9 : x.lastReceivedAt.date;
                const double b = y.lastReceivedAt.IsNever() ? -1e9 : y.lastReceivedAt.date;
                return a < b;
            }
            case 10:
                return x.speedKmh < y.speedKmh;
            case 11:
                return std::lround(x.pathMetres / 10) < std::lround(y.pathMetres / 10);
            case 12: {
                const bool xHas = x.hasMessage != 0;
                const bool yHas = y.hasMessage != 0;
                if (!xHas || !yHas)
                    return xHas && !yHas;
                return x.latitude < y.latitude;
            }
            default:
                return x.Sensor(key - 1) < y.Sensor(key - 1);
        }
    };

    for (int key = 1; key <= 12; ++key) {
        for (const int descending : {0, 1}) {
            std::vector<ObjectRecord> expected;
            for (int i = 0; i < store.objectCount; ++i)
                expected.push_back(store.Object(i));
            bool exchanged = false;
            for (std::size_t a = 0; a < expected.size(); ++a) {
                for (std::size_t b = a + 1; b < expected.size(); ++b) {
                    const bool out = descending != 0 ? less(key, expected[a], expected[b])
                                                     : less(key, expected[b], expected[a]);
                    if (out) {
                        std::swap(expected[a], expected[b]);
                        exchanged = true;
                    }
                }
            }
            std::string want;
            for (const ObjectRecord& o : expected)
                want += (want.empty() ? "" : ",") + o.id;

            EXPECT_EQ(Sort(key, descending, 0, &map), exchanged) << key << " " << descending;
            ASSERT_EQ(Order(), want) << "key " << key << " descending " << descending;
        }
    }
}
