#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <cstdint>
#include <vector>

class QPainter;
class TileSource;

// The base layer under the map's zones: the tiles of a source (basemap/TileSource.h) for
// what the view shows, at the zoom whose pixels come nearest the screen's. It works in
// world pixels of zoom 0 (basemap/WebMercator.h: the whole world is 256 of them across);
// the map view maps them to its scene.
//
// - Draw paints the tiles it has; when the view shows other tiles than at the last call,
//   the source forgets what it was asked and not started yet, and the missing tiles are
//   asked for, those nearest the middle first.
// - A tile not here yet is drawn from a coarser one kept (up to kFallbackLevels zooms
//   out), scaled up; with none either, the background stays.
// - The tiles are kept in memory up to kCacheKilobytes, the least used going first.
// - A tile the source failed to give is not asked for again for kRetryMs.
class CMapTileLayer : public QObject {
    Q_OBJECT
public:
    static constexpr int kCacheKilobytes = 64 * 1024;
    static constexpr int kFallbackLevels = 4;
    static constexpr qint64 kRetryMs = 60000;

    // Takes the source over (it becomes the layer's child).
    explicit CMapTileLayer(TileSource* source, QObject* parent = nullptr);

    TileSource* Source() const { return source_; }
    // The zoom whose tiles fit a view of `pixelsPerWorld0` screen pixels per world pixel
    // of zoom 0, within what the source has.
    int ZoomFor(double pixelsPerWorld0) const;
    // Paints onto `painter`, whose coordinates are world pixels of zoom 0, what lies in
    // `exposed`; `visible` is the view's whole rectangle (what is asked for).
    void Draw(QPainter* painter, const QRectF& exposed, const QRectF& visible,
              double pixelsPerWorld0);
    // Tiles kept in memory; tiles asked for and not answered yet.
    int CachedCount() const { return cache_.count(); }
    int PendingCount() const { return static_cast<int>(pending_.size()); }
    bool HasTile(int z, int x, int y) const { return cache_.contains(KeyOf(z, x, y)); }

signals:
    // A tile came; it lies at `world0` (world pixels of zoom 0): paint it there.
    void tileArrived(const QRectF& world0);

private:
    static quint64 KeyOf(int z, int x, int y) {
        return (quint64(z) << 50) | (quint64(x) << 25) | quint64(y);
    }
    void AskFor(int z, const std::vector<quint64>& wanted);
    void TileReady(int z, int x, int y, const QImage& image);
    void Failed(int z, int x, int y);
    // Draws the tile, or the part of a coarser one that covers it; false when neither is
    // kept.
    bool DrawTile(QPainter* painter, int z, int x, int y, const QRectF& target);

    TileSource* source_;
    QCache<quint64, QImage> cache_;
    QHash<quint64, bool> pending_;
    QHash<quint64, qint64> failedAt_;
    // What the last Draw wanted: its zoom and tiles in order.
    int wantedZoom_ = -1;
    std::vector<quint64> wanted_;
    // Where each wanted tile is drawn (a view across the 180th meridian may show one twice).
    std::vector<QRectF> wantedRects_;
};
