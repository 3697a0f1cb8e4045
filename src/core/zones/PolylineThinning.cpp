#include "zones/PolylineThinning.h"

#include <cmath>
#include <utility>

namespace {

// The square of the distance from p to the closed segment ab: the thinning compares
// squares, without a root for every point.
double SquaredDistanceToSegment(const ProjectedPoint& p, const ProjectedPoint& a,
                                const ProjectedPoint& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = 0;
    if (length2 > 0) {
        t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
    }
    const double ex = p.x - (a.x + t * dx);
    const double ey = p.y - (a.y + t * dy);
    return ex * ex + ey * ey;
}

}  // namespace

double PolylineThinning::DistanceToSegment(const ProjectedPoint& p, const ProjectedPoint& a,
                                           const ProjectedPoint& b) {
    return std::sqrt(SquaredDistanceToSegment(p, a, b));
}

std::vector<std::size_t> PolylineThinning::Keep(const std::vector<ProjectedPoint>& points,
                                                double tolerance) {
    std::vector<std::size_t> all(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        all[i] = i;
    if (!(tolerance > 0) || points.size() < 3)
        return all;
    const double half = tolerance / 2;
    const double half2 = half * half;

    // Pass 1: a point within half the tolerance of the last one kept adds nothing.
    std::vector<std::size_t> near;
    near.push_back(0);
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        const ProjectedPoint& last = points[near.back()];
        const double dx = points[i].x - last.x;
        const double dy = points[i].y - last.y;
        if (dx * dx + dy * dy > half2)
            near.push_back(i);
    }
    near.push_back(points.size() - 1);
    if (near.size() < 3)
        return near;

    // Pass 2: Douglas–Peucker over the survivors, spans to look at on a stack of our own.
    std::vector<char> keep(near.size(), 0);
    keep.front() = keep.back() = 1;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    spans.emplace_back(0, near.size() - 1);
    while (!spans.empty()) {
        const auto [first, last] = spans.back();
        spans.pop_back();
        double farthest = -1;
        std::size_t at = first;
        for (std::size_t k = first + 1; k < last; ++k) {
            const double d = SquaredDistanceToSegment(points[near[k]], points[near[first]],
                                                      points[near[last]]);
            if (d > farthest) {
                farthest = d;
                at = k;
            }
        }
        if (farthest > half2) {
            keep[at] = 1;
            if (at - first > 1)
                spans.emplace_back(first, at);
            if (last - at > 1)
                spans.emplace_back(at, last);
        }
    }
    std::vector<std::size_t> kept;
    for (std::size_t k = 0; k < near.size(); ++k) {
        if (keep[k])
            kept.push_back(near[k]);
    }
    return kept;
}
