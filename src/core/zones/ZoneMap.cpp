#include "zones/ZoneMap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <numbers>
#include <optional>
#include <utility>

#include "base/Cp1251.h"
#include "base/ExchangeSort.h"
#include "base/TextUtil.h"
#include "platform/FileSystem.h"
#include "zones/Geometry.h"

namespace {

constexpr int kMaxVertexNumber = 1000;
constexpr int32_t kMaxRadiusMetres = 1000000;
constexpr int32_t kDefaultRadiusMetres = 300;
constexpr int32_t kDefaultCircleArea = 282743;  // trunc(pi * 300 * 300)
constexpr int32_t kPolygonAreaPlaceholder = 1000;

// The area field is 32 bits wide, yet a circle above 26,145 m or a polygon above about
// 2,147 km^2 does not fit. Such zones keep the largest value instead of wrapping to a
// negative one, which would sort them before every small zone and swallow its points.
int32_t AreaField(double area) {
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    if (std::isnan(area) || area >= kMax)
        return std::numeric_limits<int32_t>::max();
    if (area <= 0)
        return 0;
    return static_cast<int32_t>(area);
}

ZoneRecord MakeCircle(std::string name, double latitude, double longitude, int32_t radius,
                      double area) {
    ZoneRecord z;
    z.name = std::move(name);
    z.kind = Circle;
    z.latitude = latitude;
    z.longitude = longitude;
    z.radiusMetres = radius;
    z.areaSquareMetres = AreaField(area);
    z.unclampedArea = area;
    return z;
}

// The key of the area order. Below the field's limit it is the field itself (so maps
// built by hand sort as they always did); at the limit, the area the field could not hold.
double SortArea(const ZoneRecord& z) {
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    if (z.areaSquareMetres < std::numeric_limits<int32_t>::max())
        return z.areaSquareMetres;
    if (std::isnan(z.unclampedArea))
        return std::numeric_limits<double>::infinity();
    return std::max(kMax, z.unclampedArea);
}

}  // namespace

void CZoneMap::Clear() {
    zones_.clear();
    firstByName_.clear();
    index_.Clear();
    indexCurrent_ = false;
}

void CZoneMap::Append(ZoneRecord zone) {
    firstByName_.emplace(zone.name, ZoneCount());
    zones_.push_back(std::move(zone));
    indexCurrent_ = false;
}

void CZoneMap::AppendZone(ZoneRecord zone) {
    Append(std::move(zone));
}

void CZoneMap::RebuildNames() {
    firstByName_.clear();
    firstByName_.reserve(zones_.size());
    for (std::size_t i = 0; i < zones_.size(); ++i)
        firstByName_.emplace(zones_[i].name, static_cast<int>(i));
}

bool CZoneMap::Load(const std::string& path) {
    Clear();
    std::string bytes;
    if (!FileSystem::ReadWholeFile(path, bytes))
        return false;
    return LoadFromBytes(bytes);
}

bool CZoneMap::LoadFromBytes(const std::string& bytes) {
    Clear();
    // A corrupt file can ask for a thousand-vertex polygon on every short line; running
    // out of memory on it is a rejected file, not the end of the program.
    try {
        bool anyAccepted = false;
        std::string line;
        // A line ends at CR; LF is dropped wherever it stands. Whatever follows the last
        // CR is an unfinished line and is not read.
        for (std::size_t from = 0;;) {
            const std::size_t end = bytes.find('\r', from);
            if (end == std::string::npos)
                break;
            line.assign(bytes, from, end - from);
            from = end + 1;
            if (line.find('\n') != std::string::npos)
                std::erase(line, '\n');
            if (line.empty())
                continue;
            if (!ParseLine(line))
                return false;
            anyAccepted = true;
        }

        for (ZoneRecord& z : zones_) {
            if (z.kind != Polygon)
                continue;
            if (!z.polygon.IsComplete())
                return false;
            z.polygon.Project();
            z.unclampedArea = z.polygon.Area();
            z.areaSquareMetres = AreaField(z.unclampedArea);
            const auto [lat, lon] = z.polygon.Centroid();
            z.latitude = lat;
            z.longitude = lon;
        }
        SortByArea();
        return anyAccepted;
    } catch (const std::bad_alloc&) {
        Clear();
        return false;
    }
}

bool CZoneMap::ParseLine(const std::string& line) {
    if (line.size() < 4)
        return false;
    std::size_t tabs[4];
    std::size_t from = 0;
    for (std::size_t& t : tabs) {
        t = line.find('\t', from);
        if (t == std::string::npos)
            return false;
        from = t + 1;
    }
    AddEntry(line.substr(tabs[0] + 1, tabs[1] - tabs[0] - 1),
             line.substr(tabs[1] + 1, tabs[2] - tabs[1] - 1), line.substr(tabs[3] + 1));
    return true;
}

void CZoneMap::AddEntry(const std::string& latitudeText, const std::string& longitudeText,
                        const std::string& nameField) {
    const double latitude = TextUtil::LeadingDouble(latitudeText);
    const double longitude = TextUtil::LeadingDouble(longitudeText);

    // The first byte of the field is never part of the name; the name ends at the last
    // '(' and one space before it.
    const std::size_t open = nameField.rfind('(');
    std::string name;
    if (open == std::string::npos) {
        if (nameField.size() > 1)
            name = nameField.substr(1);
    } else if (open > 1) {
        name = nameField.substr(1, open - 1);
        if (nameField[open - 1] == ' ')
            name.pop_back();
    }

    const bool hasSuffix = open != std::string::npos && nameField.back() == ')';
    const char letter = hasSuffix ? nameField[open + 1] : '\0';

    if (letter == 'N' || letter == 'n') {
        const int k = TextUtil::LeadingInt(std::string_view(nameField).substr(open + 2));
        if (k < 1 || k > kMaxVertexNumber) {
            Append(MakeCircle(nameField, latitude, longitude, kDefaultRadiusMetres,
                              kDefaultCircleArea));
            return;
        }
        int index = FindZoneByName(name);
        if (index < 0) {
            ZoneRecord z;
            z.name = name;
            z.kind = Polygon;
            z.latitude = latitude;
            z.longitude = longitude;
            z.radiusMetres = 0;
            z.areaSquareMetres = kPolygonAreaPlaceholder;
            z.unclampedArea = kPolygonAreaPlaceholder;
            index = ZoneCount();
            Append(std::move(z));
        }
        // A circle of the same name takes the vertex into its unused polygon.
        zones_[static_cast<std::size_t>(index)].polygon.SetVertex(k, latitude, longitude);
        indexCurrent_ = false;
        return;
    }

    if (letter == 'R' || letter == 'r') {
        // The radius is the number between the letter and the final ')'.
        const std::size_t first = open + 2;
        const std::size_t last = nameField.size() - 1;
        int32_t r =
            first < last
                ? TextUtil::LeadingInt(std::string_view(nameField).substr(first, last - first))
                : 0;
        if (r < 1 || r > kMaxRadiusMetres)
            r = kDefaultRadiusMetres;
        const double rd = r;
        Append(MakeCircle(std::move(name), latitude, longitude, r,
                          std::trunc(std::numbers::pi * rd * rd)));
        return;
    }

    Append(
        MakeCircle(std::move(name), latitude, longitude, kDefaultRadiusMetres, kDefaultCircleArea));
}

void CZoneMap::SortByArea() {
    // The order of the exchange procedure, not that of a stable sort: zones of equal area
    // end where it leaves them, and that decides which of two same-named zones is found
    // first. ExchangeSortOrder gives that order without the n^2 comparisons.
    std::vector<double> areas(zones_.size());
    for (std::size_t i = 0; i < zones_.size(); ++i)
        areas[i] = SortArea(zones_[i]);
    const std::vector<std::size_t> order = ExchangeSortOrder(areas, std::less<double>());
    std::vector<ZoneRecord> sorted;
    sorted.reserve(zones_.size());
    for (const std::size_t i : order)
        sorted.push_back(std::move(zones_[i]));
    zones_ = std::move(sorted);
    RebuildNames();
    index_.Build(zones_);
    indexCurrent_ = true;
}

int CZoneMap::FindZoneByName(const std::string& name) const {
    const auto found = firstByName_.find(name);
    return found == firstByName_.end() ? -1 : found->second;
}

int CZoneMap::FindZoneAt(double latitude, double longitude) const {
    if (indexCurrent_) {
        if (const std::optional<int> zone = index_.Find(zones_, latitude, longitude))
            return *zone;
    }
    return FindZoneAtByScan(latitude, longitude);
}

int CZoneMap::FindZoneAtByScan(double latitude, double longitude) const {
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        if (ZoneContains(zones_[i], latitude, longitude))
            return static_cast<int>(i);
    }
    return -1;
}

std::string CZoneMap::FormatDistanceKm(int zoneIndex, double latitude, double longitude) const {
    if (zoneIndex < 0 || zoneIndex >= ZoneCount())
        return "---";
    const ZoneRecord& z = zones_[static_cast<std::size_t>(zoneIndex)];
    const double km =
        GreatCircleDistance(z.latitude, z.longitude, latitude, longitude) * Geometry::kMetresToKm;
    static const std::string kKm = W("км");  // every distance cell, every second
    return TextUtil::Format("%.02f ", km) + kKm;
}

std::string CZoneMap::NameOf(int zone) const {
    if (zone < 0 || zone >= ZoneCount())
        return "---";
    return Zone(zone).name;
}
