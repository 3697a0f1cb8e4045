#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zones/ZoneAssignment.h"
#include "zones/ZoneNameList.h"

struct ObjectRecord;

// The window-less half of editing the zone assignment of the selected objects, and the
// orders in which the assignment dialog lists zones.
struct ZoneAssignmentEdit {
    // One assigned zone as the dialog's right-hand lists show it.
    struct Entry {
        std::string name;  // Windows-1251
        int32_t zone = -1;
        int32_t role = Forbidden;
    };

    std::string title;  // Windows-1251
    ZoneAssignment initial;
    // True when two consecutive selected objects had different assignments.
    bool differed = false;
    // The zones of the map in use, copied with the assignment (ForSelection leaves it
    // empty; the console's query fills it).
    ZoneNameList zones;

    // Title "Контрольные районы - 12-Truck, 7-Bus" and the start assignment: the last
    // object's when all consecutive pairs agree (order-sensitive), otherwise empty.
    static ZoneAssignmentEdit ForSelection(const std::vector<const ObjectRecord*>& objects);

    // Every zone name of the map, ascending by bytes, duplicates kept.
    static std::vector<std::string> SortedZoneNames(const ZoneNameList& zones);
    // The entries of `assignment` ascending by zone name. Entries whose zone is not in
    // the map are left out rather than read past the map's end.
    static std::vector<Entry> SortedEntries(const ZoneAssignment& assignment,
                                            const ZoneNameList& zones);
};
