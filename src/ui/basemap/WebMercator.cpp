#include "basemap/WebMercator.h"

#include <QPoint>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180;

// a mod n into 0 … n − 1, for negative a too.
int Wrap(int a, int n) {
    const int r = a % n;
    return r < 0 ? r + n : r;
}

}  // namespace

double WebMercator::WorldSize(int z) {
    return std::ldexp(double(kTileSize), z);
}

bool WebMercator::ValidTile(int z, int x, int y) {
    if (!ValidZoom(z)) {
        return false;
    }
    const int n = TileCount(z);
    return x >= 0 && x < n && y >= 0 && y < n;
}

QPointF WebMercator::ToPixel(double latitude, double longitude, int z) {
    const double size = WorldSize(z);
    const double lat = std::clamp(latitude, -kMaxLatitude, kMaxLatitude) * kDegToRad;
    // ln(tan φ + sec φ) written as asinh(tan φ): the same value, steadier near the poles.
    const double y = (1 - std::asinh(std::tan(lat)) / kPi) / 2 * size;
    const double x = (longitude + 180) / 360 * size;
    return QPointF(x, std::clamp(y, 0.0, size));
}

WebMercator::LatLon WebMercator::ToLatLon(QPointF pixel, int z) {
    const double size = WorldSize(z);
    const double longitude = pixel.x() / size * 360 - 180;
    const double latitude = std::atan(std::sinh(kPi * (1 - 2 * pixel.y() / size))) / kDegToRad;
    return {latitude, longitude};
}

QPoint WebMercator::TileAt(double latitude, double longitude, int z) {
    const QPointF p = ToPixel(latitude, longitude, z);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
        return QPoint(-1, -1);
    }
    const int n = TileCount(z);
    // Columns as doubles first: a longitude far round the world must not overflow an int.
    const double column = std::floor(p.x() / kTileSize);
    const int x = int(column - std::floor(column / n) * n);
    const int y = std::clamp(int(std::floor(p.y() / kTileSize)), 0, n - 1);
    return QPoint(x, y);
}

double WebMercator::MetresPerPixel(double latitude, int z) {
    const double lat = std::clamp(latitude, -kMaxLatitude, kMaxLatitude) * kDegToRad;
    return std::cos(lat) * 2 * kPi * kEarthRadius / WorldSize(z);
}

std::vector<WebMercator::TileSpot> WebMercator::TilesCovering(const QRectF& pixels, int z) {
    std::vector<TileSpot> spots;
    const QRectF r = pixels.normalized();
    if (!ValidZoom(z) || r.isEmpty()) {
        return spots;
    }
    const int n = TileCount(z);
    const double left = std::floor(r.left() / kTileSize);
    const double right = std::ceil(r.right() / kTileSize) - 1;  // the right edge is out
    const double top = std::max(0.0, std::floor(r.top() / kTileSize));
    const double bottom = std::min(double(n - 1), std::ceil(r.bottom() / kTileSize) - 1);
    // (Far beyond the world the column numbers would not fit an int; NaN fails too.)
    if (!(std::abs(left) <= 1e9 && std::abs(right) <= 1e9) || right < left || bottom < top ||
        (right - left + 1) * (bottom - top + 1) > kMaxCover) {
        return spots;
    }
    for (int row = int(top); row <= int(bottom); ++row) {
        for (int column = int(left); column <= int(right); ++column) {
            spots.push_back({Wrap(column, n), row,
                             QPointF(double(column) * kTileSize, double(row) * kTileSize)});
        }
    }
    const QPointF middle = r.center() - QPointF(kTileSize / 2.0, kTileSize / 2.0);
    std::stable_sort(spots.begin(), spots.end(), [&](const TileSpot& a, const TileSpot& b) {
        const QPointF da = a.topLeft - middle;
        const QPointF db = b.topLeft - middle;
        return QPointF::dotProduct(da, da) < QPointF::dotProduct(db, db);
    });
    return spots;
}
