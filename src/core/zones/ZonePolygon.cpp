#include "zones/ZonePolygon.h"

#include <algorithm>
#include <cmath>

#include "zones/Geometry.h"

namespace {

// The number of vertices every list really holds; the public fields may have been set
// by hand, and nothing here may read past a list.
std::size_t VertexSlots(const ZonePolygon& p) {
    if (p.vertexCount <= 0)
        return 0;
    return std::min({static_cast<std::size_t>(p.vertexCount), p.vertexLatitudes.size(),
                     p.vertexLongitudes.size()});
}

}  // namespace

void ZonePolygon::SetVertex(int n, double latitude, double longitude) {
    if (n < 1)
        return;
    const auto slot = static_cast<std::size_t>(n - 1);
    if (n > vertexCount || vertexLatitudes.size() <= slot) {
        const auto size = static_cast<std::size_t>(std::max(n, static_cast<int>(vertexCount)));
        // New slots are (0, 0): a vertex number no line supplies stays visibly missing.
        vertexLatitudes.resize(size, 0.0);
        vertexLongitudes.resize(size, 0.0);
        northMetres.resize(size, 0.0);
        eastMetres.resize(size, 0.0);
        vertexCount = static_cast<int32_t>(size);
    }
    vertexLatitudes[slot] = latitude;
    vertexLongitudes[slot] = longitude;
}

bool ZonePolygon::IsComplete() const {
    const std::size_t n = VertexSlots(*this);
    for (std::size_t i = 0; i < n; ++i) {
        if (vertexLatitudes[i] == 0.0 && vertexLongitudes[i] == 0.0)
            return false;
    }
    return true;
}

double ZonePolygon::NorthOf(double latitude) const {
    using namespace Geometry;
    const double lat0 = VertexSlots(*this) > 0 ? vertexLatitudes[0] : 0.0;
    return (latitude * kDegToRad - lat0 * kDegToRad) * kEarthRadiusMetres;
}

double ZonePolygon::EastOf(double latitude, double longitude) const {
    using namespace Geometry;
    const bool any = VertexSlots(*this) > 0;
    const double lat0 = any ? vertexLatitudes[0] : 0.0;
    const double lon0 = any ? vertexLongitudes[0] : 0.0;
    return std::cos((lat0 + latitude) * kDegToRad * 0.5) *
           (longitude * kDegToRad - lon0 * kDegToRad) * kEarthRadiusMetres;
}

void ZonePolygon::Project() {
    const std::size_t n = VertexSlots(*this);
    northMetres.assign(n, 0.0);
    eastMetres.assign(n, 0.0);
    // Vertex 1 is the origin. The others go through NorthOf/EastOf, the very formulas a
    // tested point goes through, so a point given exactly at a vertex projects onto it.
    for (std::size_t i = 1; i < n; ++i) {
        northMetres[i] = NorthOf(vertexLatitudes[i]);
        eastMetres[i] = EastOf(vertexLatitudes[i], vertexLongitudes[i]);
    }
}

double ZonePolygon::Area() const {
    const std::size_t n = std::min({VertexSlots(*this), northMetres.size(), eastMetres.size()});
    if (n == 0)
        return 0.0;
    double s = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t next = i + 1 == n ? 0 : i + 1;
        s += (eastMetres[i] - eastMetres[next]) * (northMetres[i] + northMetres[next]);
    }
    // Truncated toward zero but not narrowed here: the zone map decides how a value
    // beyond its 32-bit field is stored.
    return std::fabs(std::trunc(s * 0.5));
}

std::pair<double, double> ZonePolygon::Centroid() const {
    const std::size_t n = VertexSlots(*this);
    if (n == 0)
        return {0.0, 0.0};
    double sumLat = 0.0;
    double sumLon = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        sumLat += vertexLatitudes[i];
        sumLon += vertexLongitudes[i];
    }
    const double latM = sumLat / static_cast<double>(n);
    const double lonM = sumLon / static_cast<double>(n);

    double t = 0.0;
    double cLat = 0.0;
    double cLon = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const std::size_t next = (j + 1) % n;
        const double latJ = vertexLatitudes[j];
        const double lonJ = vertexLongitudes[j];
        const double latN = vertexLatitudes[next];
        const double lonN = vertexLongitudes[next];
        const double tj =
            std::fabs((latJ - latN) * (lonM - lonN) - (latM - latN) * (lonJ - lonN)) * 0.5;
        t += tj;
        cLat += tj * (latJ + latN + latM) * Geometry::kOneThird;
        cLon += tj * (lonJ + lonN + lonM) * Geometry::kOneThird;
    }
    // A polygon without area (too few distinct vertices, or all on one line) has no
    // weighted centre; the mean of its vertices is where it lies.
    if (t == 0.0)
        return {latM, lonM};
    return {cLat / t, cLon / t};
}

std::size_t ZonePolygon::Slots() const {
    return VertexSlots(*this);
}

ProjectedPoint ZonePolygon::ProjectedVertex(std::size_t i) const {
    // A polygon built by hand may not have been projected yet; project on the fly then.
    const std::size_t n = VertexSlots(*this);
    if (northMetres.size() >= n && eastMetres.size() >= n)
        return {eastMetres[i], northMetres[i]};
    if (i == 0)
        return {0.0, 0.0};
    return {EastOf(vertexLatitudes[i], vertexLongitudes[i]), NorthOf(vertexLatitudes[i])};
}

bool ZonePolygon::Contains(double latitude, double longitude) const {
    const std::size_t n = VertexSlots(*this);
    if (n == 0)
        return false;

    const ProjectedPoint p{EastOf(latitude, longitude), NorthOf(latitude)};
    bool inside = false;
    for (std::size_t i = 0; i < n; ++i) {
        const int r = ClassifyEdge(p, ProjectedVertex(i), ProjectedVertex(i + 1 == n ? 0 : i + 1));
        if (r == 0)
            return true;
        if (r == 1)
            inside = !inside;
    }
    return inside;
}
