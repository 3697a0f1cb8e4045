#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "zones/ZoneIndex.h"
#include "zones/ZonePolygon.h"

enum ZoneKind : int32_t { Circle = 0, Polygon = 1 };

struct ZoneRecord {
    std::string name;  // Windows-1251
    int32_t kind = Circle;
    double latitude = 0;  // circle: centre; polygon: centroid
    double longitude = 0;
    int32_t radiusMetres = 0;
    int32_t areaSquareMetres = 0;
    ZonePolygon polygon;
    // The area before it was fitted into the 32-bit field above. The zones are ordered
    // by it, so that zones too large for the field still nest; it is consulted only for
    // zones whose field holds the largest value.
    double unclampedArea = 0;
};

// The test of one zone, as FindZoneAt applies it: strictly inside a circle's radius, or
// inside or on the edge of a polygon.
bool ZoneContains(const ZoneRecord& zone, double latitude, double longitude);

// The control zones of the zone file, in map order (ascending area after loading). The
// index in this map is the zone identifier used everywhere else.
class CZoneMap {
public:
    // Clears, then reads the zone file. True only if the file opened, at least one line
    // was accepted, every line was accepted and every polygon is complete. A map that
    // failed to load must not be used.
    bool Load(const std::string& path);
    // The same from bytes already read (used by Load and by tests).
    bool LoadFromBytes(const std::string& bytes);
    void Clear();
    // Splits one line into fields; false for a line shorter than 4 bytes or with fewer
    // than four TABs.
    bool ParseLine(const std::string& line);
    void AddEntry(const std::string& latitudeText, const std::string& longitudeText,
                  const std::string& nameField);
    void SortByArea();
    int FindZoneByName(const std::string& name) const;
    // The first zone in map order containing the point. Uses the spatial index that
    // SortByArea (and so every load) builds; a map changed by hand since then is scanned.
    int FindZoneAt(double latitude, double longitude) const;
    // The same by testing every zone in map order: the definition the index must match.
    int FindZoneAtByScan(double latitude, double longitude) const;
    // "%.02f км" of the distance from zone i's centre to the point.
    std::string FormatDistanceKm(int zoneIndex, double latitude, double longitude) const;

    // The zone's name; "---" for -1 or an index the map does not have.
    std::string NameOf(int zone) const;
    int ZoneCount() const { return static_cast<int>(zones_.size()); }
    const ZoneRecord& Zone(int i) const { return zones_[static_cast<std::size_t>(i)]; }
    const std::vector<ZoneRecord>& Zones() const { return zones_; }
    // For tests and tools that build a map by hand.
    void AppendZone(ZoneRecord zone);

private:
    void Append(ZoneRecord zone);
    void RebuildNames();

    std::vector<ZoneRecord> zones_;
    // The first zone of every name: vertex lines find their polygon, and the data files
    // their zones, without a scan over the map.
    std::unordered_map<std::string, int> firstByName_;
    CZoneIndex index_;
    bool indexCurrent_ = false;
};
