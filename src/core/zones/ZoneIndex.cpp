#include "zones/ZoneIndex.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "zones/Geometry.h"
#include "zones/ZoneMap.h"

namespace {

using Geometry::kDegToRad;
using Geometry::kEarthRadiusMetres;

constexpr uint64_t kEmptyKey = std::numeric_limits<uint64_t>::max();
constexpr int kLevelShift = 58;
constexpr int kRowShift = 29;
// The smallest cell: 0.1 m. Cell numbers then stay below 2^29 in both directions.
constexpr double kMinCellDegrees = 1e-6;
constexpr int kMaxLevel = 40;

// Rounding in the zone tests is a few units in the 15th digit; these pads are many
// orders of magnitude above it (about a centimetre in degrees, a millimetre in metres).
constexpr double kPadDegrees = 1e-7;
constexpr double kPadMetres = 1e-3;
constexpr double kPadRelative = 1e-9;

// Beyond these a box in degrees is either meaningless or too close to a pole for the
// longitude bound; such zones are simply tested on every lookup.
constexpr double kPolarLatitude = 89.5;
constexpr double kFarLongitude = 1e4;
constexpr double kNearRightAngle = std::numbers::pi / 2 - 0.01;

uint64_t Mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

bool Finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}

}  // namespace

bool ZoneContains(const ZoneRecord& z, double latitude, double longitude) {
    if (z.kind == Circle) {
        // With a coordinate that is not a number the distance formula falls through to 0,
        // which would put such a point in every circle and every point in such a circle.
        if (!Finite(latitude, longitude) || !Finite(z.latitude, z.longitude))
            return false;
        return GreatCircleDistance(latitude, longitude, z.latitude, z.longitude) < z.radiusMetres;
    }
    if (z.kind == Polygon)
        return z.polygon.Contains(latitude, longitude);
    return false;
}

void CZoneIndex::Clear() {
    baseCell_ = 1.0;
    usedLevels_ = 0;
    entries_.clear();
    cells_.clear();
    always_.clear();
}

int CZoneIndex::LevelOf(const Box& box) const {
    const double size =
        std::max(box.maxLatitude - box.minLatitude, box.maxLongitude - box.minLongitude);
    int level = 0;
    double cell = baseCell_;
    while (cell < size && level < kMaxLevel) {
        cell *= 2;
        ++level;
    }
    return level;
}

uint64_t CZoneIndex::Key(int level, double latitude, double longitude) const {
    const double cell = std::ldexp(baseCell_, level);
    const auto column = static_cast<uint64_t>(std::floor((longitude + 180.0) / cell));
    const auto row = static_cast<uint64_t>(std::floor((latitude + 90.0) / cell));
    return KeyOf(level, row, column);
}

uint64_t CZoneIndex::KeyOf(int level, uint64_t row, uint64_t column) {
    return (static_cast<uint64_t>(level) << kLevelShift) | (row << kRowShift) | column;
}

void CZoneIndex::File(const Box& box, int32_t zone,
                      std::vector<std::pair<uint64_t, Entry>>& out) const {
    const int level = LevelOf(box);
    const Entry entry{box.minLatitude, box.maxLatitude, box.minLongitude, box.maxLongitude, zone};
    // The box is no larger than a cell, but its edges go through the same rounding as a
    // lookup: one exactly a cell wide on a cell boundary can come out three cells wide.
    // Every cell between the edges' cells is filed, as a point there is looked up.
    const uint64_t first = Key(level, box.minLatitude, box.minLongitude);
    const uint64_t last = Key(level, box.maxLatitude, box.maxLongitude);
    const uint64_t mask = (uint64_t{1} << kRowShift) - 1;
    for (uint64_t row = (first >> kRowShift) & mask; row <= ((last >> kRowShift) & mask); ++row) {
        for (uint64_t column = first & mask; column <= (last & mask); ++column)
            out.emplace_back(KeyOf(level, row, column), entry);
    }
}

void CZoneIndex::Build(const std::vector<ZoneRecord>& zones) {
    Clear();
    std::vector<std::pair<Box, int32_t>> boxes;
    boxes.reserve(zones.size());

    for (std::size_t i = 0; i < zones.size(); ++i) {
        const ZoneRecord& z = zones[i];
        const auto zone = static_cast<int32_t>(i);
        if (z.kind == Circle) {
            // No distance is below a radius of zero or less.
            if (z.radiusMetres <= 0)
                continue;
            if (!Finite(z.latitude, z.longitude))
                continue;  // holds no point (ZoneContains)
            if (std::fabs(z.longitude) > kFarLongitude) {
                always_.push_back(zone);
                continue;
            }
            const double angle = z.radiusMetres / kEarthRadiusMetres;
            const double dLat = angle / kDegToRad * (1 + kPadRelative) + kPadDegrees;
            if (std::fabs(z.latitude) + dLat >= kPolarLatitude) {
                always_.push_back(zone);
                continue;
            }
            // The widest longitude of a cap that holds no pole.
            const double q =
                std::sin(angle) * (1 + kPadRelative) / std::cos(z.latitude * kDegToRad);
            if (!(q < 1.0)) {
                always_.push_back(zone);
                continue;
            }
            const double dLon = std::asin(q) / kDegToRad * (1 + kPadRelative) + kPadDegrees;
            const double minLat = std::max(-90.0, z.latitude - dLat);
            const double maxLat = std::min(90.0, z.latitude + dLat);
            // The distance formula is periodic in longitude; a cap across the date line
            // is filed on both sides of it.
            const double centre = std::remainder(z.longitude, 360.0);
            const double lo = centre - dLon;
            const double hi = centre + dLon;
            boxes.push_back({{minLat, maxLat, std::max(lo, -180.0), std::min(hi, 180.0)}, zone});
            if (lo < -180.0)
                boxes.push_back({{minLat, maxLat, lo + 360.0, 180.0}, zone});
            if (hi > 180.0)
                boxes.push_back({{minLat, maxLat, -180.0, hi - 360.0}, zone});
            continue;
        }
        if (z.kind != Polygon)
            continue;

        const ZonePolygon& p = z.polygon;
        const std::size_t n = p.Slots();
        if (n == 0)
            continue;  // contains nothing
        const double lat0 = p.vertexLatitudes[0];
        const double lon0 = p.vertexLongitudes[0];
        if (!Finite(lat0, lon0) || std::fabs(lon0) > kFarLongitude) {
            always_.push_back(zone);
            continue;
        }
        // Every accepted point lies within the projected vertices' extent (on an edge
        // counts), so that extent, turned back into degrees, bounds the zone.
        double minE = std::numeric_limits<double>::infinity();
        double maxE = -minE;
        double minN = minE;
        double maxN = -minE;
        for (std::size_t v = 0; v < n; ++v) {
            const ProjectedPoint q = p.ProjectedVertex(v);
            minE = std::min(minE, q.x);
            maxE = std::max(maxE, q.x);
            minN = std::min(minN, q.y);
            maxN = std::max(maxN, q.y);
        }
        if (!Finite(minE, maxE) || !Finite(minN, maxN)) {
            always_.push_back(zone);
            continue;
        }
        const double padMetres =
            kPadMetres + kPadRelative * std::max({std::fabs(minE), std::fabs(maxE), std::fabs(minN),
                                                  std::fabs(maxN)});
        minE -= padMetres;
        maxE += padMetres;
        minN -= padMetres;
        maxN += padMetres;

        // North is linear in latitude.
        const double toDegrees = 1.0 / (kEarthRadiusMetres * kDegToRad);
        double minLat = lat0 + minN * toDegrees - kPadDegrees;
        double maxLat = lat0 + maxN * toDegrees + kPadDegrees;
        if (maxLat < -90.0 || minLat > 90.0)
            continue;  // no point the index is asked about
        minLat = std::max(minLat, -90.0);
        maxLat = std::min(maxLat, 90.0);

        // East is the longitude difference scaled by cos of the mean of the point's and
        // vertex 1's latitudes: bound that factor over the latitudes just found.
        const double lowAngle = (lat0 + minLat) * kDegToRad * 0.5;
        const double highAngle = (lat0 + maxLat) * kDegToRad * 0.5;
        if (lowAngle <= -kNearRightAngle || highAngle >= kNearRightAngle) {
            always_.push_back(zone);
            continue;
        }
        const double cosLow = std::cos(lowAngle);
        const double cosHigh = std::cos(highAngle);
        const double cMin = std::min(cosLow, cosHigh);
        const double cMax = lowAngle <= 0 && highAngle >= 0 ? 1.0 : std::max(cosLow, cosHigh);
        const double toLongitude = 1.0 / (kEarthRadiusMetres * kDegToRad);
        const double dLo = std::min(minE / cMin, minE / cMax) * toLongitude;
        const double dHi = std::max(maxE / cMin, maxE / cMax) * toLongitude;
        const double lonPad = kPadDegrees + kPadRelative * (dHi - dLo);
        const double minLon = std::max(lon0 + dLo - lonPad, -180.0);
        const double maxLon = std::min(lon0 + dHi + lonPad, 180.0);
        if (minLon > maxLon)
            continue;
        boxes.push_back({{minLat, maxLat, minLon, maxLon}, zone});
    }

    if (boxes.empty())
        return;
    double smallest = std::numeric_limits<double>::infinity();
    for (const auto& [box, zone] : boxes) {
        smallest = std::min(smallest, std::max(box.maxLatitude - box.minLatitude,
                                               box.maxLongitude - box.minLongitude));
    }
    baseCell_ = std::max(smallest, kMinCellDegrees);

    std::vector<std::pair<uint64_t, Entry>> filed;
    filed.reserve(boxes.size() * 4);
    for (const auto& [box, zone] : boxes)
        File(box, zone, filed);
    // The boxes were filed in map order, so a stable sort by cell keeps every cell's
    // entries in map order.
    std::stable_sort(filed.begin(), filed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    std::size_t distinct = 0;
    for (std::size_t k = 0; k < filed.size(); ++k)
        distinct += k == 0 || filed[k].first != filed[k - 1].first ? 1 : 0;
    std::size_t size = 16;
    while (size < distinct * 2)
        size *= 2;
    cells_.assign(size, Cell{kEmptyKey, 0, 0});
    entries_.reserve(filed.size());
    for (std::size_t k = 0; k < filed.size();) {
        const uint64_t key = filed[k].first;
        const auto begin = static_cast<uint32_t>(entries_.size());
        for (; k < filed.size() && filed[k].first == key; ++k)
            entries_.push_back(filed[k].second);
        std::size_t slot = Mix(key) & (size - 1);
        while (cells_[slot].key != kEmptyKey)
            slot = (slot + 1) & (size - 1);
        cells_[slot] = {key, begin, static_cast<uint32_t>(entries_.size() - begin)};
        usedLevels_ |= uint64_t{1} << (key >> kLevelShift);
    }
}

const CZoneIndex::Cell* CZoneIndex::Lookup(uint64_t key) const {
    const std::size_t mask = cells_.size() - 1;
    for (std::size_t slot = Mix(key) & mask;; slot = (slot + 1) & mask) {
        const Cell& c = cells_[slot];
        if (c.key == key)
            return &c;
        if (c.key == kEmptyKey)
            return nullptr;
    }
}

std::optional<int> CZoneIndex::Find(const std::vector<ZoneRecord>& zones, double latitude,
                                    double longitude) const {
    if (!(latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude < 180.0))
        return std::nullopt;

    // Candidates are tested in map order within a cell and skipped once they cannot beat
    // the best zone found so far; the smaller zones sit in the lower levels, so the first
    // levels usually settle it.
    int32_t best = std::numeric_limits<int32_t>::max();
    for (uint64_t levels = usedLevels_; levels != 0; levels &= levels - 1) {
        const int level = std::countr_zero(levels);
        const Cell* cell = Lookup(Key(level, latitude, longitude));
        if (cell == nullptr)
            continue;
        const Entry* e = entries_.data() + cell->begin;
        const Entry* end = e + cell->count;
        for (; e != end && e->zone < best; ++e) {
            if (latitude < e->minLatitude || latitude > e->maxLatitude ||
                longitude < e->minLongitude || longitude > e->maxLongitude)
                continue;
            if (ZoneContains(zones[static_cast<std::size_t>(e->zone)], latitude, longitude)) {
                best = e->zone;
                break;
            }
        }
    }
    for (const int32_t zone : always_) {
        if (zone >= best)
            break;
        if (ZoneContains(zones[static_cast<std::size_t>(zone)], latitude, longitude)) {
            best = zone;
            break;
        }
    }
    return best == std::numeric_limits<int32_t>::max() ? -1 : best;
}
