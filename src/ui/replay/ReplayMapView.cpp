#include "replay/ReplayMapView.h"

#include <QGraphicsPathItem>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "app/QtText.h"
#include "replay/ReplayTrack.h"
#include "zones/MapObjectItem.h"
#include "zones/PolylineThinning.h"

namespace {

// Line width of the routes in pixels; the legend's place from the top right corner.
constexpr qreal kLineWidth = 3;
constexpr int kLegendMargin = 8;

}  // namespace

CReplayMapView::CReplayMapView(QWidget* parent) : CMapView(parent) {
    // Wheel steps come in bursts: the lines are thinned again once the zoom settles.
    redraw_.setSingleShot(true);
    redraw_.setInterval(120);
    connect(&redraw_, &QTimer::timeout, this, [this] {
        if (transform().m11() != linesScale_) {
            DrawLines();
        }
    });
}

void CReplayMapView::SetTracks(const std::vector<const CReplayTrack*>& tracks) {
    tracks_ = tracks;
    for (auto& [number, mark] : marks_) {
        delete mark;
    }
    marks_.clear();
    AnchorProjection();
    // Scrolling must reach every route, also one far from the zones.
    const QRectF routes = TracksRect();
    if (!routes.isNull()) {
        const qreal reach = std::max({200000.0, 10 * routes.width(), 10 * routes.height()});
        setSceneRect(sceneRect().united(routes.adjusted(-reach, -reach, reach, reach)));
    }
    FitTracks();
}

void CReplayMapView::AnchorProjection() {
    // With zones the map's projection is centred on them. Without, the map takes the first
    // object it is given as its reference: a point of the routes is given and taken away
    // again, so that they are not drawn on a projection centred at 0° 0° (stretched east
    // and west by the latitude's cosine).
    if (ZoneCount() != 0 || anchored_) {
        return;
    }
    for (const CReplayTrack* track : tracks_) {
        if (!track->Points().empty()) {
            RowSnapshot anchor;
            anchor.objectNumber = track->Number();
            anchor.hasPosition = true;
            anchor.latitude = track->Points().front().latitude;
            anchor.longitude = track->Points().front().longitude;
            ApplyRows({anchor});
            ApplyRows({});
            anchored_ = true;
            return;
        }
    }
}

QRectF CReplayMapView::TracksRect() const {
    QRectF rect;
    for (const CReplayTrack* track : tracks_) {
        for (const TrackPoint& p : track->Points()) {
            rect = rect.united(QRectF(ScenePoint(p.latitude, p.longitude), QSizeF(1, 1)));
        }
    }
    return rect;
}

void CReplayMapView::FitTracks() {
    QRectF rect = TracksRect();
    if (rect.isNull()) {
        fittedTracks_ = false;
        FitAll();
    } else {
        const qreal margin = std::max(150.0, 0.08 * std::max(rect.width(), rect.height()));
        rect.adjust(-margin, -margin, 2 * margin, margin);
        fitInView(rect, Qt::KeepAspectRatio);
        fittedTracks_ = true;
    }
    DrawLines();
}

void CReplayMapView::DrawLines() {
    for (QGraphicsPathItem* line : lines_) {
        delete line;
    }
    lines_.clear();
    drawnPoints_ = 0;
    linesScale_ = transform().m11();
    const double metresPerPixel = linesScale_ > 0 ? 1 / linesScale_ : 0;
    for (const CReplayTrack* track : tracks_) {
        const std::vector<TrackPoint>& points = track->Points();
        // A segment takes the band of the point it starts from. Each run of segments in
        // one band is thinned and drawn on its own, so that thinning never carries a
        // colour over a stretch driven at another speed.
        std::size_t runStart = 0;
        while (runStart + 1 < points.size()) {
            const int band = CReplayTrack::SpeedBand(points[runStart].speedKmh);
            std::size_t runEnd = runStart + 1;
            while (runEnd + 1 < points.size() &&
                   CReplayTrack::SpeedBand(points[runEnd].speedKmh) == band) {
                ++runEnd;
            }
            std::vector<ProjectedPoint> plane;
            plane.reserve(runEnd - runStart + 1);
            for (std::size_t i = runStart; i <= runEnd; ++i) {
                plane.push_back(Projection().ToPlane(points[i].latitude, points[i].longitude));
            }
            const std::vector<std::size_t> kept = PolylineThinning::Keep(plane, metresPerPixel);
            drawnPoints_ += static_cast<int>(kept.size());
            QPainterPath path;
            for (std::size_t k = 0; k < kept.size(); ++k) {
                const TrackPoint& p = points[runStart + kept[k]];
                const QPointF at = ScenePoint(p.latitude, p.longitude);
                if (k == 0) {
                    path.moveTo(at);
                } else {
                    path.lineTo(at);
                }
            }
            QPen pen(CReplayTrack::BandColour(band), kLineWidth);
            pen.setCosmetic(true);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            QGraphicsPathItem* line = scene()->addPath(path, pen);
            line->setZValue(2);
            lines_.push_back(line);
            runStart = runEnd;
        }
    }
}

void CReplayMapView::ShowMoment(const DateTime& utc) {
    for (const CReplayTrack* track : tracks_) {
        const std::optional<CReplayTrack::Position> at = track->At(utc);
        auto it = marks_.find(track->Number());
        if (!at) {
            if (it != marks_.end()) {
                delete it->second;
                marks_.erase(it);
            }
            continue;
        }
        if (it == marks_.end()) {
            auto* mark = new CMapObjectItem(track->Number());
            mark->SetLook(FromCp(track->Title()), 0);
            mark->setZValue(3);
            scene()->addItem(mark);
            it = marks_.emplace(track->Number(), mark).first;
        }
        it->second->setPos(ScenePoint(at->latitude, at->longitude));
    }
}

const QGraphicsItem* CReplayMapView::Mark(int32_t number) const {
    const auto it = marks_.find(number);
    return it == marks_.end() ? nullptr : it->second;
}

void CReplayMapView::wheelEvent(QWheelEvent* event) {
    CMapView::wheelEvent(event);
    fittedTracks_ = false;
    redraw_.start();
}

void CReplayMapView::resizeEvent(QResizeEvent* event) {
    // The map fits its zones on a resize until the dispatcher zooms or drags; the
    // replay keeps to its routes instead.
    CMapView::resizeEvent(event);
    if (fittedTracks_ && FollowsContent()) {
        FitTracks();
    } else {
        redraw_.start();
    }
}

void CReplayMapView::scrollContentsBy(int dx, int dy) {
    CMapView::scrollContentsBy(dx, dy);
    // The legend stays put on the viewport while the map scrolls under it.
    viewport()->update();
}

void CReplayMapView::drawForeground(QPainter* painter, const QRectF& rect) {
    CMapView::drawForeground(painter, rect);
    if (tracks_.empty()) {
        return;
    }
    painter->save();
    painter->resetTransform();
    const QFontMetrics metrics(viewport()->font());
    int textWidth = 0;
    for (int band = 0; band < CReplayTrack::kBandCount; ++band) {
        textWidth = std::max(textWidth, metrics.horizontalAdvance(
                                            QString::fromUtf8(CReplayTrack::BandTextUtf8(band))));
    }
    const int line = metrics.height() + 2;
    const QRect box(viewport()->width() - kLegendMargin - (textWidth + 40), kLegendMargin,
                    textWidth + 40, line * CReplayTrack::kBandCount + 8);
    painter->setPen(QColor(120, 120, 120));
    painter->setBrush(QColor(255, 255, 255, 220));
    painter->drawRect(box);
    for (int band = 0; band < CReplayTrack::kBandCount; ++band) {
        const int y = box.top() + 4 + band * line + line / 2;
        painter->setPen(
            QPen(CReplayTrack::BandColour(band), kLineWidth, Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(box.left() + 8, y, box.left() + 28, y);
        painter->setPen(Qt::black);
        painter->drawText(QPoint(box.left() + 34, y + metrics.ascent() / 2 - 1),
                          QString::fromUtf8(CReplayTrack::BandTextUtf8(band)));
    }
    painter->restore();
}
