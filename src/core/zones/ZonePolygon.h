#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "zones/Geometry.h"

// The vertices of a polygon zone and their flat projection around vertex 1.
struct ZonePolygon {
    int32_t vertexCount = 0;
    std::vector<double> vertexLatitudes;  // slot k-1 holds vertex number k
    std::vector<double> vertexLongitudes;
    std::vector<double> northMetres;  // filled by Project
    std::vector<double> eastMetres;

    // Sets vertex number n (1-based), growing the polygon with (0, 0) slots as needed.
    void SetVertex(int n, double latitude, double longitude);
    // False when some vertex is exactly (0, 0): a vertex number that no line supplied.
    bool IsComplete() const;
    void Project();
    // Area in square metres of the projected polygon (after Project).
    double Area() const;
    // The centre as (latitude, longitude); the mean of the vertices when the
    // triangle-weighted centre is undefined.
    std::pair<double, double> Centroid() const;
    double NorthOf(double latitude) const;
    double EastOf(double latitude, double longitude) const;
    // Points on an edge or a vertex are inside. An empty polygon contains nothing.
    bool Contains(double latitude, double longitude) const;

    // The vertices every list really holds (the fields may have been set by hand).
    std::size_t Slots() const;
    // Vertex i (< Slots()) as Contains sees it: the stored projection, or computed when
    // the polygon has not been projected.
    ProjectedPoint ProjectedVertex(std::size_t i) const;
};
