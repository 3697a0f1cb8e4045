#include "zones/Geometry.h"

#include <cmath>

double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2) {
    using namespace Geometry;
    // Each coordinate is converted on its own (not the difference of the degrees): the
    // distances of the stored path counters were computed this way and must not drift.
    const double phi1 = lat1 * kDegToRad;
    const double phi2 = lat2 * kDegToRad;
    const double dLambda = lon2 * kDegToRad - lon1 * kDegToRad;
    const double a = std::cos(phi2) * std::sin(dLambda);
    const double b =
        std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dLambda);
    const double y = std::sqrt(std::fabs(a * a + b * b));
    const double x =
        std::sin(phi1) * std::sin(phi2) + std::cos(phi1) * std::cos(phi2) * std::cos(dLambda);
    if (std::fabs(y) > kZeroThreshold || std::fabs(x) > kZeroThreshold) {
        return std::atan2(y, x) * kEarthRadiusMetres;
    }
    return 0.0;
}

int ClassifyEdge(const ProjectedPoint& p, const ProjectedPoint& a, const ProjectedPoint& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double ex = p.x - a.x;
    const double ey = p.y - a.y;
    const double c = ey * dx - ex * dy;
    // Of each edge the southern end is excluded and the northern end included, so a ray
    // through a vertex is counted once; edges of constant north never count.
    if (c > 0)
        return (a.y < p.y && p.y <= b.y) ? 1 : 2;
    if (c < 0)
        return (b.y < p.y && p.y <= a.y) ? 1 : 2;
    if (ex * dx >= 0 && ey * dy >= 0 && ex * ex + ey * ey <= dx * dx + dy * dy)
        return 0;
    return 2;
}
