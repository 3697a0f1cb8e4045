#pragma once

#include <cstddef>
#include <vector>

#include "zones/Geometry.h"

// Fewer points for drawing a long line (a vehicle's route) at a given scale: points closer
// together than a pixel, or that lie on what is drawn anyway, are left out.
class PolylineThinning {
public:
    // The indexes (ascending) of the points to keep. The first and the last point are
    // always kept; every point left out lies within `tolerance` (in the points' units:
    // give the metres of one pixel of the zoom to draw at) of the segment between the
    // kept points on either side of it. A tolerance that is not above 0 keeps every point.
    //
    // Two passes of half the tolerance each: points within it of the last point kept are
    // left out (a vehicle standing still), then Douglas–Peucker over the rest (without
    // recursion: a route of any length).
    static std::vector<std::size_t> Keep(const std::vector<ProjectedPoint>& points,
                                         double tolerance);
    // Distance from p to the closed segment ab (a point when a and b coincide).
    static double DistanceToSegment(const ProjectedPoint& p, const ProjectedPoint& a,
                                    const ProjectedPoint& b);
};
