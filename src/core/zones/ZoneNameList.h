#pragma once

#include <string>
#include <unordered_map>
#include <vector>

class CZoneMap;

// The names of a zone map's zones in map order, copied out of it: what the zone
// assignment dialog needs of the map, without the map. A zone is its index in the list,
// as in the map it was copied from.
class ZoneNameList {
public:
    ZoneNameList() = default;
    // `names` in map order (Windows-1251); duplicates are kept.
    explicit ZoneNameList(std::vector<std::string> names);
    // The names of every zone of `map`.
    static ZoneNameList Of(const CZoneMap& map);

    int Count() const { return static_cast<int>(names_.size()); }
    // The name of `zone`, which must be in the list.
    const std::string& Name(int zone) const { return names_[static_cast<std::size_t>(zone)]; }
    const std::vector<std::string>& Names() const { return names_; }
    // The first zone called `name`, -1 when none is: the same answer as the map's
    // FindZoneByName.
    int FindFirst(const std::string& name) const;

private:
    std::vector<std::string> names_;
    std::unordered_map<std::string, int> firstByName_;
};
