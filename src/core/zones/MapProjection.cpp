#include "zones/MapProjection.h"

#include <cmath>

MapProjection::MapProjection(double originLatitude, double originLongitude)
    : originLatitude_(originLatitude),
      originLongitude_(originLongitude),
      eastScale_(Geometry::kEarthRadiusMetres * Geometry::kDegToRad *
                 std::cos(originLatitude * Geometry::kDegToRad)) {}

ProjectedPoint MapProjection::ToPlane(double latitude, double longitude) const {
    ProjectedPoint p;
    p.x = (longitude - originLongitude_) * eastScale_;
    p.y = (latitude - originLatitude_) * Geometry::kEarthRadiusMetres * Geometry::kDegToRad;
    return p;
}
