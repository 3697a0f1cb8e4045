#include "replay/ReplayMapView.h"

#include <QGraphicsScene>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "app/QtText.h"
#include "replay/ReplayRoutesItem.h"
#include "replay/ReplayTrack.h"
#include "zones/MapObjectItem.h"

namespace {

// The legend's place from the top right corner.
constexpr int kLegendMargin = 8;

}  // namespace

CReplayMapView::CReplayMapView(QWidget* parent) : CMapView(parent), routes_(new CReplayRoutesItem) {
    scene()->addItem(routes_);
}

void CReplayMapView::SetTracks(const std::vector<const CReplayTrack*>& tracks) {
    tracks_ = tracks;
    for (auto& [number, mark] : marks_) {
        delete mark;
    }
    marks_.clear();
    AnchorProjection();
    std::vector<CReplayRoutesItem::Route> lines;
    for (const CReplayTrack* track : tracks_) {
        CReplayRoutesItem::Route route;
        route.points.reserve(track->Points().size());
        route.bands.reserve(track->Points().size());
        for (const TrackPoint& p : track->Points()) {
            route.points.push_back(ScenePoint(p.latitude, p.longitude));
            route.bands.push_back(static_cast<int8_t>(CReplayTrack::SpeedBand(p.speedKmh)));
        }
        lines.push_back(std::move(route));
    }
    routes_->SetRoutes(std::move(lines));
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
    return routes_->PointsRect();
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
}

int CReplayMapView::DrawnPointCount() const {
    return routes_->LinesFor(transform().m11()).pointCount;
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
}

void CReplayMapView::resizeEvent(QResizeEvent* event) {
    // The map fits its zones on a resize until the dispatcher zooms or drags; the
    // replay keeps to its routes instead.
    CMapView::resizeEvent(event);
    if (fittedTracks_ && FollowsContent()) {
        FitTracks();
    }
}

void CReplayMapView::scrollContentsBy(int dx, int dy) {
    CMapView::scrollContentsBy(dx, dy);
    // The legend stays put on the viewport while the map scrolls under it: its place and
    // where the scrolled picture took its copy are painted again, nothing else.
    const QRect legend = LegendArea();
    if (!legend.isEmpty() && viewportUpdateMode() != QGraphicsView::FullViewportUpdate) {
        viewport()->update(legend);
        viewport()->update(legend.translated(dx, dy));
    }
}

QRect CReplayMapView::LegendArea() const {
    if (tracks_.empty()) {
        return {};
    }
    const QFontMetrics metrics(viewport()->font());
    int textWidth = 0;
    for (int band = 0; band < CReplayTrack::kBandCount; ++band) {
        textWidth = std::max(textWidth, metrics.horizontalAdvance(
                                            QString::fromUtf8(CReplayTrack::BandTextUtf8(band))));
    }
    const int line = metrics.height() + 2;
    return QRect(viewport()->width() - kLegendMargin - (textWidth + 40), kLegendMargin,
                 textWidth + 40, line * CReplayTrack::kBandCount + 8);
}

void CReplayMapView::drawForeground(QPainter* painter, const QRectF& rect) {
    CMapView::drawForeground(painter, rect);
    if (tracks_.empty()) {
        return;
    }
    painter->save();
    painter->resetTransform();
    const QFontMetrics metrics(viewport()->font());
    const int line = metrics.height() + 2;
    const QRect box = LegendArea();
    painter->setPen(QColor(120, 120, 120));
    painter->setBrush(QColor(255, 255, 255, 220));
    painter->drawRect(box);
    for (int band = 0; band < CReplayTrack::kBandCount; ++band) {
        const int y = box.top() + 4 + band * line + line / 2;
        painter->setPen(QPen(CReplayTrack::BandColour(band), CReplayRoutesItem::kLineWidth,
                             Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(box.left() + 8, y, box.left() + 28, y);
        painter->setPen(Qt::black);
        painter->drawText(QPoint(box.left() + 34, y + metrics.ascent() / 2 - 1),
                          QString::fromUtf8(CReplayTrack::BandTextUtf8(band)));
    }
    painter->restore();
}
