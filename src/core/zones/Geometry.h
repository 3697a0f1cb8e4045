#pragma once

// The one distance formula of the system and its constants.
namespace Geometry {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kEarthRadiusMetres = 6371006.84;
constexpr double kZeroThreshold = 1e-7;
constexpr double kMetresToKm = 0.001;
constexpr double kOneThird = 0.3333333333333333;

}  // namespace Geometry

// Great-circle distance in metres between two points given in degrees; never negative.
double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2);

// A point in projected metres: x = east, y = north.
struct ProjectedPoint {
    double x = 0;
    double y = 0;
};

// 1: the ray from P towards growing east crosses edge AB; 0: P lies on the closed
// segment AB; 2: neither.
int ClassifyEdge(const ProjectedPoint& p, const ProjectedPoint& a, const ProjectedPoint& b);
