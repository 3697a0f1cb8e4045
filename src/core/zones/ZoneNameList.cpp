#include "zones/ZoneNameList.h"

#include <utility>

#include "zones/ZoneMap.h"

ZoneNameList::ZoneNameList(std::vector<std::string> names) : names_(std::move(names)) {
    for (int i = 0; i < Count(); ++i) {
        // emplace keeps the first zone of a name.
        firstByName_.emplace(names_[static_cast<std::size_t>(i)], i);
    }
}

int ZoneNameList::FindFirst(const std::string& name) const {
    const auto found = firstByName_.find(name);
    return found == firstByName_.end() ? -1 : found->second;
}

ZoneNameList ZoneNameList::Of(const CZoneMap& map) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(map.ZoneCount()));
    for (const ZoneRecord& zone : map.Zones()) {
        names.push_back(zone.name);
    }
    return ZoneNameList(std::move(names));
}
