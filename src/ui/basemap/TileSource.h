#pragma once

#include <QHashFunctions>
#include <QImage>
#include <QObject>
#include <QString>

// One tile: zoom, column, row counted from the top.
struct TileKey {
    int z;
    int x;
    int y;
    bool operator==(const TileKey&) const = default;
};
inline size_t qHash(const TileKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.z, key.x, key.y);
}

// Where the map's base layer comes from: tiles of Web Mercator (basemap/WebMercator.h)
// addressed by zoom, column and row, row 0 at the top (as XYZ tile servers number them).
//
// Asking is asynchronous. Every tile asked for is answered once, later and never from
// inside Request: by tileReady with the picture, or by failed with a Russian reason that
// may be shown to the dispatcher (a tile the source does not have, a file or server that
// cannot be read). Asking again for a tile still waiting for its answer adds nothing: the
// one answer serves both. Nothing is thrown.
class TileSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void Request(int z, int x, int y) = 0;
    // Forgets the tiles asked for and not started yet (a view that moved on no longer needs
    // them); they get no answer. Tiles being read or fetched are still answered.
    virtual void CancelPending() = 0;
    // The copyright line the map must show with the tiles (may be empty).
    virtual QString Attribution() const = 0;
    // The zooms the source has tiles for.
    virtual int MinZoom() const = 0;
    virtual int MaxZoom() const = 0;

signals:
    void tileReady(int z, int x, int y, const QImage& image);
    void failed(int z, int x, int y, const QString& reason);
};
