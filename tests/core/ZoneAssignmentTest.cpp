#include <gtest/gtest.h>

#include "zones/ZoneAssignment.h"

namespace {

ZoneAssignment Make(std::initializer_list<std::pair<int, int>> entries) {
    ZoneAssignment a;
    for (const auto& [zone, role] : entries)
        a.Append(zone, role);
    return a;
}

TEST(ZoneAssignment, CheckZoneAndIndexOf) {
    const ZoneAssignment a = Make({{4, Destination}, {0, Forbidden}, {9, Destination}});
    EXPECT_EQ(a.count, 3);
    EXPECT_EQ(a.CheckZone(4, Destination), 1);
    EXPECT_EQ(a.CheckZone(4, Forbidden), -1);
    EXPECT_EQ(a.CheckZone(0, Forbidden), 1);
    EXPECT_EQ(a.CheckZone(0, Destination), -1);
    EXPECT_EQ(a.CheckZone(5, Destination), 0);
    EXPECT_EQ(a.CheckZone(-1, Forbidden), 0);  // "no zone" is never assigned
    EXPECT_EQ(ZoneAssignment{}.CheckZone(0, Forbidden), 0);
    EXPECT_EQ(a.IndexOf(9), 2);
    EXPECT_EQ(a.IndexOf(7), -1);

    // Only the first entry of a zone counts.
    ZoneAssignment twice = Make({{3, Forbidden}, {3, Destination}});
    EXPECT_EQ(twice.CheckZone(3, Destination), -1);
    EXPECT_EQ(twice.IndexOf(3), 0);
}

TEST(ZoneAssignment, DiffersFromIsOrderSensitive) {
    const ZoneAssignment a = Make({{1, Destination}, {2, Forbidden}});
    EXPECT_FALSE(a.DiffersFrom(Make({{1, Destination}, {2, Forbidden}})));
    EXPECT_TRUE(a.DiffersFrom(Make({{2, Forbidden}, {1, Destination}})));
    EXPECT_TRUE(a.DiffersFrom(Make({{1, Destination}, {2, Destination}})));
    EXPECT_TRUE(a.DiffersFrom(Make({{1, Destination}})));
    EXPECT_TRUE(a.DiffersFrom(ZoneAssignment{}));
    EXPECT_FALSE(ZoneAssignment{}.DiffersFrom(ZoneAssignment{}));
    EXPECT_TRUE(a == Make({{1, Destination}, {2, Forbidden}}));
}

TEST(ZoneAssignment, SortByZoneDescendingMovesRolesAlong) {
    ZoneAssignment a = Make({{2, Destination}, {7, Forbidden}, {0, Destination}, {5, Forbidden}});
    a.SortByZoneDescending();
    EXPECT_EQ(a.zones, (std::vector<int32_t>{7, 5, 2, 0}));
    EXPECT_EQ(a.roles, (std::vector<int32_t>{Forbidden, Forbidden, Destination, Destination}));
    EXPECT_EQ(a.count, 4);
}

TEST(ZoneAssignment, AppendAndRemoveKeepCountAndListsTogether) {
    ZoneAssignment a = Make({{1, Destination}, {2, Forbidden}, {3, Destination}});
    a.RemoveAt(1);
    EXPECT_EQ(a.count, 2);
    EXPECT_EQ(a.zones, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(a.roles, (std::vector<int32_t>{Destination, Destination}));
    a.RemoveAt(2);
    a.RemoveAt(-1);
    EXPECT_EQ(a.count, 2);

    // A count that disagrees with the lists is never read past.
    ZoneAssignment odd;
    odd.count = 5;
    odd.zones = {4};
    odd.roles = {Forbidden};
    EXPECT_EQ(odd.CheckZone(4, Forbidden), 1);
    EXPECT_EQ(odd.IndexOf(9), -1);
    odd.SortByZoneDescending();
    odd.Append(6, Destination);
    EXPECT_EQ(odd.count, 2);
    EXPECT_EQ(odd.zones, (std::vector<int32_t>{4, 6}));
}

}  // namespace
