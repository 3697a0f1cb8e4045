#pragma once

#include <cstdint>
#include <optional>
#include <vector>

struct ZoneRecord;

// A spatial index over the zones of a map, so that FindZoneAt tests a handful of zones
// instead of all of them. Every zone gets a box in degrees that surely holds every point
// the zone's own test accepts (circles and polygons padded generously for rounding), and
// the boxes are filed in a grid of several cell sizes: a box goes to the level whose
// cells are at least as large as the box, so it lies in 2 x 2 cells there (3 x 3 at
// most once its edges are rounded like a lookup's point), and a lookup reads one cell
// per level. Zones no box can describe (non-finite coordinates,
// caps over a pole, ...) are tested on every lookup.
//
// The answer is the first zone in map order whose test accepts the point, exactly what
// the linear scan gives; points outside the ordinary range of coordinates (not finite,
// latitude beyond +-90, longitude outside [-180, 180)) are left to that scan.
class CZoneIndex {
public:
    void Build(const std::vector<ZoneRecord>& zones);
    void Clear();
    // The first zone in map order containing the point, -1 for none, or nothing when the
    // point is one the index does not cover (the caller scans then).
    std::optional<int> Find(const std::vector<ZoneRecord>& zones, double latitude,
                            double longitude) const;

private:
    struct Entry {
        double minLatitude;
        double maxLatitude;
        double minLongitude;
        double maxLongitude;
        int32_t zone;
    };
    struct Cell {
        uint64_t key;
        uint32_t begin;
        uint32_t count;
    };
    struct Box {
        double minLatitude;
        double maxLatitude;
        double minLongitude;
        double maxLongitude;
    };

    void File(const Box& box, int32_t zone, std::vector<std::pair<uint64_t, Entry>>& out) const;
    int LevelOf(const Box& box) const;
    uint64_t Key(int level, double latitude, double longitude) const;
    static uint64_t KeyOf(int level, uint64_t row, uint64_t column);
    const Cell* Lookup(uint64_t key) const;

    double baseCell_ = 1.0;
    uint64_t usedLevels_ = 0;
    std::vector<Entry> entries_;   // cell by cell, each cell's entries in map order
    std::vector<Cell> cells_;      // open addressing, size a power of two
    std::vector<int32_t> always_;  // tested on every lookup, in map order
};
