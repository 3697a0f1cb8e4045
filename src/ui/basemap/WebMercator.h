#pragma once

#include <QPointF>
#include <QRectF>
#include <vector>

// Web Mercator as tile servers and MBTiles files use it: at zoom z the world is a square
// of 256·2^z pixels, x growing east from longitude −180°, y growing south from latitude
// +85.0511° (where the square ends), tiles of 256 × 256 pixels numbered from the top left.
//
//   x = (lon + 180) / 360 · size
//   y = (1 − ln(tan φ + sec φ) / π) / 2 · size
//
// World pixels are doubles; tiles are addressed by column and row at a zoom.
class WebMercator {
public:
    static constexpr int kTileSize = 256;
    // Beyond this zoom a world pixel no longer fits the int arithmetic of tile numbers.
    static constexpr int kMaxZoom = 24;
    // The latitude where the square ends: atan(sinh π), in degrees.
    static constexpr double kMaxLatitude = 85.05112877980659;
    // The sphere of the projection (metres), for ground distances.
    static constexpr double kEarthRadius = 6378137.0;
    // How many tiles TilesCovering hands out at most.
    static constexpr int kMaxCover = 4096;

    struct LatLon {
        double latitude;
        double longitude;
    };
    // One tile to draw: its address (the column taken into 0 … 2^z − 1) and where its top
    // left corner lies in world pixels. A view across the 180th meridian sees columns
    // left of 0 or right of the last one: they are drawn where they lie and fetched as the
    // column they repeat.
    struct TileSpot {
        int x;
        int y;
        QPointF topLeft;
    };

    static bool ValidZoom(int z) { return z >= 0 && z <= kMaxZoom; }
    // 2^z: tiles along each side of the world at zoom z.
    static int TileCount(int z) { return 1 << z; }
    // Pixels along each side of the world at zoom z.
    static double WorldSize(int z);
    // Whether (x, y) is a tile of zoom z.
    static bool ValidTile(int z, int x, int y);

    // Latitudes beyond ±kMaxLatitude are taken as the edge; longitudes beyond ±180° give
    // pixels beyond the world's sides (TileAt takes them round the world).
    static QPointF ToPixel(double latitude, double longitude, int z);
    static LatLon ToLatLon(QPointF pixel, int z);
    // The tile holding a point: the column wrapped into the world, the row clamped to it;
    // (−1, −1), no tile, for a position that is not a number.
    static QPoint TileAt(double latitude, double longitude, int z);
    // Ground metres one pixel spans at a latitude.
    static double MetresPerPixel(double latitude, int z);

    // The tiles that cover a rectangle of world pixels at zoom z (right and bottom edges
    // excluded), those nearest its middle first. Rows beyond the poles are left out; none
    // at all when the rectangle is empty or needs more than kMaxCover tiles (a zoom that
    // does not fit the view).
    static std::vector<TileSpot> TilesCovering(const QRectF& pixels, int z);
};
