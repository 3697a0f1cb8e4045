#include "zones/ZoneMap.h"

void CZoneMap::Clear() { zones_.clear(); }

int CZoneMap::FindZoneByName(const std::string& name) const {
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        if (zones_[i].name == name) return static_cast<int>(i);
    }
    return -1;
}
