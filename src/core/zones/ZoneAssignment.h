#pragma once

#include <cstdint>
#include <vector>

enum ZoneRole : int32_t { Forbidden = 0, Destination = 1 };

// The zones assigned to one object and the role of each. A zone occurs at most once.
struct ZoneAssignment {
    int32_t count = 0;
    std::vector<int32_t> roles;  // ZoneRole of entry i
    std::vector<int32_t> zones;  // zone index of entry i

    // 1 when the first entry for `zone` has `role`, -1 when it has the other role,
    // 0 when no entry has the zone.
    int CheckZone(int zone, int role) const;
    // Position of the first entry with this zone, -1 if none.
    int IndexOf(int zone) const;
    // Exchange sort, highest zone index first; zone and role move together.
    void SortByZoneDescending();
    // True if the counts differ or any zone or role differs position by position.
    bool DiffersFrom(const ZoneAssignment& other) const;
    void Append(int zone, int role);
    void RemoveAt(int position);
    bool operator==(const ZoneAssignment& other) const { return !DiffersFrom(other); }
};
