#include "zones/MapTileLayer.h"

#include <QDateTime>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "basemap/TileSource.h"
#include "basemap/WebMercator.h"

CMapTileLayer::CMapTileLayer(TileSource* source, QObject* parent)
    : QObject(parent), source_(source) {
    source_->setParent(this);
    cache_.setMaxCost(kCacheKilobytes);
    connect(source_, &TileSource::tileReady, this, &CMapTileLayer::TileReady);
    connect(source_, &TileSource::failed, this,
            [this](int z, int x, int y, const QString&) { Failed(z, x, y); });
}

int CMapTileLayer::ZoomFor(double pixelsPerWorld0) const {
    const int low = std::max(0, source_->MinZoom());
    const int high = std::clamp(source_->MaxZoom(), low, WebMercator::kMaxZoom);
    if (!(pixelsPerWorld0 > 0) || !std::isfinite(pixelsPerWorld0)) {
        return low;
    }
    // The tiles are scaled by at most √2 either way.
    const double z = std::round(std::log2(pixelsPerWorld0));
    return int(std::clamp(z, double(low), double(high)));
}

void CMapTileLayer::Draw(QPainter* painter, const QRectF& exposed, const QRectF& visible,
                         double pixelsPerWorld0) {
    const int z = ZoomFor(pixelsPerWorld0);
    const double toZoom = WebMercator::WorldSize(z) / WebMercator::kTileSize;  // 2^z
    const QRectF scaled(visible.topLeft() * toZoom, visible.size() * toZoom);
    const std::vector<WebMercator::TileSpot> spots = WebMercator::TilesCovering(scaled, z);
    std::vector<quint64> wanted;
    std::vector<QRectF> rects;
    wanted.reserve(spots.size());
    rects.reserve(spots.size());
    const double side = WebMercator::kTileSize / toZoom;
    for (const WebMercator::TileSpot& spot : spots) {
        wanted.push_back(KeyOf(z, spot.x, spot.y));
        rects.emplace_back(spot.topLeft / toZoom, QSizeF(side, side));
    }
    if (z != wantedZoom_ || wanted != wanted_) {
        wantedZoom_ = z;
        wanted_ = std::move(wanted);
        wantedRects_ = std::move(rects);
        AskFor(z, wanted_);
    }

    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    // Tiles edge to edge: no antialiased seams between them.
    painter->setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t i = 0; i < wanted_.size(); ++i) {
        if (!wantedRects_[i].intersects(exposed)) {
            continue;
        }
        const quint64 key = wanted_[i];
        const int x = int((key >> 25) & 0x1FFFFFF);
        const int y = int(key & 0x1FFFFFF);
        DrawTile(painter, z, x, y, wantedRects_[i]);
    }
    painter->restore();
}

bool CMapTileLayer::DrawTile(QPainter* painter, int z, int x, int y, const QRectF& target) {
    for (int up = 0; up <= kFallbackLevels && up <= z; ++up) {
        const QImage* image = cache_.object(KeyOf(z - up, x >> up, y >> up));
        if (image == nullptr) {
            continue;
        }
        // The part of the coarser tile that covers (x, y): 1/2^up of its side.
        const double part = double(image->width()) / (1 << up);
        const double partHeight = double(image->height()) / (1 << up);
        const int mask = (1 << up) - 1;
        const QRectF source((x & mask) * part, (y & mask) * partHeight, part, partHeight);
        painter->drawImage(target, *image, source);
        return true;
    }
    return false;
}

void CMapTileLayer::AskFor(int z, const std::vector<quint64>& wanted) {
    source_->CancelPending();
    pending_.clear();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const quint64 key : wanted) {
        if (cache_.contains(key) || pending_.contains(key)) {
            continue;
        }
        const auto failed = failedAt_.constFind(key);
        if (failed != failedAt_.cend() && now - failed.value() < kRetryMs) {
            continue;
        }
        pending_.insert(key, true);
        source_->Request(z, int((key >> 25) & 0x1FFFFFF), int(key & 0x1FFFFFF));
    }
}

void CMapTileLayer::TileReady(int z, int x, int y, const QImage& image) {
    const quint64 key = KeyOf(z, x, y);
    pending_.remove(key);
    failedAt_.remove(key);
    if (image.isNull()) {
        return;
    }
    auto* kept = new QImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    cache_.insert(key, kept, std::max<qsizetype>(1, kept->sizeInBytes() / 1024));
    // Painted where the view shows it (also when it only fills in for a finer one).
    for (std::size_t i = 0; i < wanted_.size(); ++i) {
        const quint64 w = wanted_[i];
        const int up = wantedZoom_ - z;
        if (up >= 0 && up <= kFallbackLevels &&
            KeyOf(z, int((w >> 25) & 0x1FFFFFF) >> up, int(w & 0x1FFFFFF) >> up) == key) {
            emit tileArrived(wantedRects_[i]);
        }
    }
}

void CMapTileLayer::Failed(int z, int x, int y) {
    const quint64 key = KeyOf(z, x, y);
    pending_.remove(key);
    failedAt_.insert(key, QDateTime::currentMSecsSinceEpoch());
}
