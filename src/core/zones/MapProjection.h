#pragma once

#include "zones/Geometry.h"

// Flat map coordinates in metres around a reference point: equirectangular, with the
// east axis shrunk by the cosine of the reference latitude. Over a city's worth of zones
// and vehicles the error is far below what a dispatcher can see on the map.
class MapProjection {
public:
    MapProjection() = default;
    MapProjection(double originLatitude, double originLongitude);

    double OriginLatitude() const { return originLatitude_; }
    double OriginLongitude() const { return originLongitude_; }
    // x = metres east of the reference, y = metres north of it.
    ProjectedPoint ToPlane(double latitude, double longitude) const;

private:
    double originLatitude_ = 0;
    double originLongitude_ = 0;
    double eastScale_ = Geometry::kEarthRadiusMetres * Geometry::kDegToRad;
};
