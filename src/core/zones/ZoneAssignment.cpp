#include "zones/ZoneAssignment.h"

#include <algorithm>
#include <utility>

namespace {

// Entries every list really holds: `count` comes from a file as often as from Append.
std::size_t Entries(const ZoneAssignment& a) {
    if (a.count <= 0)
        return 0;
    return std::min({static_cast<std::size_t>(a.count), a.roles.size(), a.zones.size()});
}

}  // namespace

int ZoneAssignment::CheckZone(int zone, int role) const {
    const std::size_t n = Entries(*this);
    for (std::size_t i = 0; i < n; ++i) {
        if (zones[i] == zone)
            return roles[i] == role ? 1 : -1;
    }
    return 0;
}

int ZoneAssignment::IndexOf(int zone) const {
    const std::size_t n = Entries(*this);
    for (std::size_t i = 0; i < n; ++i) {
        if (zones[i] == zone)
            return static_cast<int>(i);
    }
    return -1;
}

void ZoneAssignment::SortByZoneDescending() {
    const std::size_t n = Entries(*this);
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t k = j + 1; k < n; ++k) {
            if (zones[j] < zones[k]) {
                std::swap(zones[j], zones[k]);
                std::swap(roles[j], roles[k]);
            }
        }
    }
}

bool ZoneAssignment::DiffersFrom(const ZoneAssignment& other) const {
    if (count != other.count)
        return true;
    const std::size_t n = Entries(*this);
    if (n != Entries(other))
        return true;
    for (std::size_t i = 0; i < n; ++i) {
        if (zones[i] != other.zones[i] || roles[i] != other.roles[i])
            return true;
    }
    return false;
}

void ZoneAssignment::Append(int zone, int role) {
    // Drop any tail the count does not cover so the new entry lands at position `count`.
    const std::size_t n = Entries(*this);
    zones.resize(n);
    roles.resize(n);
    zones.push_back(zone);
    roles.push_back(role);
    count = static_cast<int32_t>(n + 1);
}

void ZoneAssignment::RemoveAt(int position) {
    const std::size_t n = Entries(*this);
    if (position < 0 || static_cast<std::size_t>(position) >= n)
        return;
    zones.resize(n);
    roles.resize(n);
    zones.erase(zones.begin() + position);
    roles.erase(roles.begin() + position);
    count = static_cast<int32_t>(n - 1);
}
