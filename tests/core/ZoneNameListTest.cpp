#include <gtest/gtest.h>

#include "zones/ZoneMap.h"
#include "zones/ZoneNameList.h"

TEST(ZoneNameListTest, CopiesTheMapsNamesAndFindsTheSameZonesByName) {
    CZoneMap map;
    for (const char* name : {"Depot", "Base", "Depot", "", "Base"}) {
        ZoneRecord z;
        z.name = name;
        map.AppendZone(std::move(z));
    }
    const ZoneNameList names = ZoneNameList::Of(map);
    ASSERT_EQ(names.Count(), 5);
    EXPECT_EQ(names.Names(), (std::vector<std::string>{"Depot", "Base", "Depot", "", "Base"}));
    // Of two zones with one name, the first; the empty name is a name like any other.
    for (const char* name : {"Depot", "Base", "", "Gone", "depot"}) {
        EXPECT_EQ(names.FindFirst(name), map.FindZoneByName(name)) << name;
    }
    EXPECT_EQ(names.FindFirst("Base"), 1);

    const ZoneNameList none;
    EXPECT_EQ(none.Count(), 0);
    EXPECT_EQ(none.FindFirst(""), -1);
}
