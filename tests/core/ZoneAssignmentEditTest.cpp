#include <gtest/gtest.h>

#include "base/Cp1251.h"
#include "model/ObjectRecord.h"
#include "model/ZoneAssignmentEdit.h"
#include "zones/ZoneMap.h"

namespace {

ObjectRecord Object(const char* id, const char* name, std::vector<std::pair<int, int>> entries) {
    ObjectRecord o;
    o.id = id;
    o.name = name;
    for (const auto& [zone, role] : entries) {
        o.zoneAssignment.Append(zone, role);
    }
    return o;
}

// The names of a map built from `names`, as the console copies them for the dialog.
ZoneNameList MapOf(std::vector<std::string> names) {
    CZoneMap map;
    for (std::string& name : names) {
        ZoneRecord z;
        z.name = std::move(name);
        map.AppendZone(std::move(z));
    }
    return ZoneNameList::Of(map);
}

}  // namespace

TEST(ZoneAssignmentEditTest, TitleNamesEveryObjectInSelectionOrder) {
    const ObjectRecord truck = Object("12", "Truck", {});
    const ObjectRecord bus = Object("7", "Bus", {});
    const ZoneAssignmentEdit e = ZoneAssignmentEdit::ForSelection({&truck, &bus});
    EXPECT_EQ(e.title, W("Контрольные районы - 12-Truck, 7-Bus"));
}

TEST(ZoneAssignmentEditTest, EqualAssignmentsStartTheDialogWithThem) {
    const ObjectRecord a = Object("1", "A", {{3, Destination}, {1, Forbidden}});
    const ObjectRecord b = Object("2", "B", {{3, Destination}, {1, Forbidden}});
    const ObjectRecord c = Object("3", "C", {{3, Destination}, {1, Forbidden}});
    const ZoneAssignmentEdit e = ZoneAssignmentEdit::ForSelection({&a, &b, &c});
    EXPECT_FALSE(e.differed);
    EXPECT_FALSE(e.initial.DiffersFrom(c.zoneAssignment));
}

TEST(ZoneAssignmentEditTest, AnyDifferingPairStartsEmptyEvenWhenOnlyTheOrderDiffers) {
    const ObjectRecord a = Object("1", "A", {{3, Destination}, {1, Forbidden}});
    const ObjectRecord b = Object("2", "B", {{3, Destination}, {1, Forbidden}});
    const ObjectRecord c = Object("3", "C", {{1, Forbidden}, {3, Destination}});
    const ZoneAssignmentEdit e = ZoneAssignmentEdit::ForSelection({&a, &b, &c});
    EXPECT_TRUE(e.differed);
    EXPECT_EQ(e.initial.count, 0);
    EXPECT_TRUE(e.initial.zones.empty());
}

TEST(ZoneAssignmentEditTest, ZoneNamesSortByWindows1251BytesKeepingDuplicates) {
    // In Windows-1251 every Cyrillic letter sorts after the Latin ones; 'Ё' (0xA8) before 'А'.
    const ZoneNameList map = MapOf({W("Склад"), "Depot", W("Ёлки"), W("Аэропорт"), "Depot", "B"});
    const std::vector<std::string> names = ZoneAssignmentEdit::SortedZoneNames(map);
    const std::vector<std::string> expected = {"B",       "Depot",       "Depot",
                                               W("Ёлки"), W("Аэропорт"), W("Склад")};
    EXPECT_EQ(names, expected);
}

TEST(ZoneAssignmentEditTest, EntriesSortByNameAndSkipZonesOutsideTheMap) {
    const ZoneNameList map = MapOf({"C", "A", "B"});
    ZoneAssignment a;
    a.Append(0, Destination);
    a.Append(7, Forbidden);  // stale index
    a.Append(1, Forbidden);
    a.Append(2, Destination);
    const auto entries = ZoneAssignmentEdit::SortedEntries(a, map);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "A");
    EXPECT_EQ(entries[0].zone, 1);
    EXPECT_EQ(entries[0].role, Forbidden);
    EXPECT_EQ(entries[1].name, "B");
    EXPECT_EQ(entries[1].role, Destination);
    EXPECT_EQ(entries[2].name, "C");
    EXPECT_EQ(entries[2].zone, 0);
}
