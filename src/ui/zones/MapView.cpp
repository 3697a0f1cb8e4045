#include "zones/MapView.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <set>

#include "app/QtText.h"
#include "zones/MapObjectItem.h"

namespace {

const QColor kBackground(226, 232, 236);
const QColor kZoneFill(70, 130, 180, 60);
const QColor kZoneLine(40, 90, 150);
const QColor kZoneName(20, 50, 100);
const QColor kScaleColour(60, 60, 60);

// Pixels per metre the wheel may reach: from a whole region down to a yard.
constexpr qreal kMinScale = 1e-5;
constexpr qreal kMaxScale = 20;
// A press that moves less than this is a click, not a drag.
constexpr int kClickSlop = 4;
// How far beyond what it shows the map can be dragged, at least.
constexpr qreal kMinScrollReach = 200000;

QPen ZonePen() {
    QPen pen(kZoneLine, 1.5);
    pen.setCosmetic(true);  // the same line width at every zoom
    return pen;
}

// Text of the scale bar: "500 м", "2 км".
QString ScaleText(double metres) {
    if (metres >= 1000) {
        return QStringLiteral("%1 км").arg(metres / 1000);
    }
    return QStringLiteral("%1 м").arg(metres);
}

// The largest 1, 2 or 5 times a power of ten not above `metres`.
double RoundLength(double metres) {
    const double power = std::pow(10.0, std::floor(std::log10(metres)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= metres) {
            return step * power;
        }
    }
    return power;
}

}  // namespace

CMapView::CMapView(QWidget* parent) : QGraphicsView(parent), scene_(new QGraphicsScene(this)) {
    setScene(scene_);
    setBackgroundBrush(kBackground);
    setRenderHint(QPainter::Antialiasing);
    setDragMode(QGraphicsView::ScrollHandDrag);
    // The wheel keeps the point under the cursor in place itself (see wheelEvent).
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The scale bar is drawn over the whole viewport: a partial update would smear it.
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setFocusPolicy(Qt::StrongFocus);
}

QPointF CMapView::ScenePoint(double latitude, double longitude) const {
    const ProjectedPoint p = projection_.ToPlane(latitude, longitude);
    return QPointF(p.x, -p.y);
}

CMapObjectItem* CMapView::ObjectItem(int32_t objectNumber) const {
    const auto it = objects_.find(objectNumber);
    return it == objects_.end() ? nullptr : it->second.item;
}

void CMapView::SetZones(const std::vector<ZoneRecord>& zones) {
    for (QGraphicsItem* item : zoneItems_) {
        delete item;
    }
    zoneItems_.clear();
    zoneNames_.clear();
    zones_ = zones;

    // The reference point: the middle of the zones' extent (a circle counts by its centre,
    // a polygon by its vertices).
    double south = 90, north = -90, west = 180, east = -180;
    for (const ZoneRecord& z : zones_) {
        auto take = [&](double lat, double lon) {
            south = std::min(south, lat);
            north = std::max(north, lat);
            west = std::min(west, lon);
            east = std::max(east, lon);
        };
        if (z.kind == Polygon) {
            for (std::size_t k = 0; k < z.polygon.vertexLatitudes.size(); ++k) {
                take(z.polygon.vertexLatitudes[k], z.polygon.vertexLongitudes[k]);
            }
        } else {
            take(z.latitude, z.longitude);
        }
    }
    if (south <= north) {
        projection_ = MapProjection((south + north) / 2, (west + east) / 2);
        projectionSet_ = true;
    }

    // Larger zones first, so that a small zone inside a large one stays visible on top.
    const int count = static_cast<int>(zones_.size());
    for (int i = count - 1; i >= 0; --i) {
        const ZoneRecord& z = zones_[static_cast<std::size_t>(i)];
        QAbstractGraphicsShapeItem* shape = nullptr;
        if (z.kind == Polygon) {
            QPolygonF polygon;
            for (std::size_t k = 0; k < z.polygon.vertexLatitudes.size(); ++k) {
                polygon << ScenePoint(z.polygon.vertexLatitudes[k], z.polygon.vertexLongitudes[k]);
            }
            shape = new QGraphicsPolygonItem(polygon);
        } else {
            const QPointF centre = ScenePoint(z.latitude, z.longitude);
            const qreal r = z.radiusMetres;
            shape = new QGraphicsEllipseItem(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
        }
        shape->setPen(ZonePen());
        shape->setBrush(kZoneFill);
        shape->setZValue(0);
        scene_->addItem(shape);
        zoneItems_.push_back(shape);

        auto* name = new QGraphicsSimpleTextItem(FromCp(z.name));
        name->setBrush(kZoneName);
        QFont font = name->font();
        font.setBold(true);
        name->setFont(font);
        name->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        // Centred on the zone's centre, in screen pixels whatever the zoom.
        const QRectF box = name->boundingRect();
        name->setTransform(QTransform::fromTranslate(-box.width() / 2, -box.height() / 2));
        name->setPos(ScenePoint(z.latitude, z.longitude));
        name->setZValue(1);
        scene_->addItem(name);
        zoneItems_.push_back(name);
        zoneNames_.push_back(name);
    }

    for (auto& [number, placed] : objects_) {
        placed.item->setPos(ScenePoint(placed.latitude, placed.longitude));
    }
    UpdateSceneRect();
    if (followContent_) {
        FitAll();
    } else {
        PlaceLabels();
    }
}

void CMapView::ApplyRows(const std::vector<RowSnapshot>& rows) {
    std::set<int32_t> shown;
    labelOrder_.clear();
    for (const RowSnapshot& row : rows) {
        if (!row.hasPosition) {
            continue;
        }
        labelOrder_.push_back(row.objectNumber);
        if (!projectionSet_) {
            // No zones to centre on: the first object is the reference.
            projection_ = MapProjection(row.latitude, row.longitude);
            projectionSet_ = true;
            UpdateSceneRect();
        }
        shown.insert(row.objectNumber);
        auto it = objects_.find(row.objectNumber);
        if (it == objects_.end()) {
            auto* item = new CMapObjectItem(row.objectNumber);
            scene_->addItem(item);
            it = objects_.emplace(row.objectNumber, Placed{item, 0, 0}).first;
        }
        Placed& placed = it->second;
        placed.latitude = row.latitude;
        placed.longitude = row.longitude;
        placed.item->SetLook(FromCp(row.texts[kColObject]), row.state);
        placed.item->setPos(ScenePoint(row.latitude, row.longitude));
    }
    for (auto it = objects_.begin(); it != objects_.end();) {
        if (shown.count(it->first) == 0) {
            delete it->second.item;
            it = objects_.erase(it);
        } else {
            ++it;
        }
    }
    if (followContent_) {
        FitAll();
    } else {
        PlaceLabels();
    }
}

void CMapView::PlaceLabels() {
    // View pixels relative to the scene's origin: scrolling moves everything alike, so
    // only the zoom matters.
    const QTransform& zoom = transform();
    std::vector<CMapObjectItem*> items;
    std::vector<CMapLabelPlacer::Label> labels;
    items.reserve(objects_.size());
    labels.reserve(objects_.size());
    std::set<int32_t> taken;
    for (const int32_t number : labelOrder_) {
        const auto it = objects_.find(number);
        if (it == objects_.end() || !taken.insert(number).second) {
            continue;
        }
        CMapObjectItem* item = it->second.item;
        items.push_back(item);
        labels.push_back({zoom.map(item->pos()), item->LabelSize()});
    }
    std::vector<QRectF> names;
    names.reserve(zoneNames_.size());
    for (const QGraphicsSimpleTextItem* name : zoneNames_) {
        const QRectF box = name->boundingRect();
        names.push_back(
            box.translated(zoom.map(name->pos()) - QPointF(box.width() / 2, box.height() / 2)));
    }
    const std::vector<CMapLabelPlacer::Side> sides = placer_.Place(labels, names);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->SetLabelSide(sides[i]);
    }
}

QRectF CMapView::ContentRect() const {
    QRectF rect;
    for (const QGraphicsItem* item : zoneItems_) {
        // Zone names keep their pixel size: only the shapes count.
        if (item->type() != QGraphicsSimpleTextItem::Type) {
            rect = rect.united(item->sceneBoundingRect());
        }
    }
    for (const auto& [number, placed] : objects_) {
        const QPointF p = placed.item->pos();
        rect = rect.united(QRectF(p, QSizeF(1, 1)));
    }
    return rect;
}

void CMapView::UpdateSceneRect() {
    const QRectF content = ContentRect();
    const QPointF centre = content.isNull() ? QPointF(0, 0) : content.center();
    const qreal reach = std::max({kMinScrollReach, 10 * content.width(), 10 * content.height()});
    setSceneRect(QRectF(centre.x() - reach, centre.y() - reach, 2 * reach, 2 * reach));
}

void CMapView::FitAll() {
    followContent_ = true;
    QRectF content = ContentRect();
    if (content.isNull()) {
        return;
    }
    if (!sceneRect().contains(content)) {
        UpdateSceneRect();
    }
    // Room around the edges for the labels that stand right of the objects, and a
    // sensible size for a single object.
    const qreal margin = std::max(150.0, 0.08 * std::max(content.width(), content.height()));
    content.adjust(-margin, -margin, 2 * margin, margin);
    fitInView(content, Qt::KeepAspectRatio);
    PlaceLabels();
}

void CMapView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const qreal now = transform().m11();
    const qreal wanted = std::clamp(now * std::pow(1.0015, delta), kMinScale, kMaxScale);
    followContent_ = false;
    // Zoom around the point under the cursor: after scaling, scroll it back under it.
    const QPoint cursor = event->position().toPoint();
    const QPointF fixed = mapToScene(cursor);
    scale(wanted / now, wanted / now);
    PlaceLabels();
    const QPoint drift = mapFromScene(fixed) - cursor;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + drift.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + drift.y());
    event->accept();
}

void CMapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        dragged_ = false;
        pressPos_ = event->position().toPoint();
    }
    QGraphicsView::mousePressEvent(event);
}

void CMapView::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ && !dragged_ &&
        (event->position().toPoint() - pressPos_).manhattanLength() > kClickSlop) {
        dragged_ = true;
        followContent_ = false;
    }
    QGraphicsView::mouseMoveEvent(event);
}

void CMapView::mouseReleaseEvent(QMouseEvent* event) {
    QGraphicsView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !pressed_) {
        return;
    }
    pressed_ = false;
    if (dragged_) {
        return;
    }
    // The topmost object under the cursor; the zones and their names are not picked.
    for (QGraphicsItem* item : items(event->position().toPoint())) {
        if (const auto* object = dynamic_cast<CMapObjectItem*>(item)) {
            emit objectClicked(object->ObjectNumber());
            return;
        }
    }
}

void CMapView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    if (followContent_) {
        FitAll();
    }
}

void CMapView::drawForeground(QPainter* painter, const QRectF&) {
    const qreal pixelsPerMetre = transform().m11();
    if (pixelsPerMetre <= 0) {
        return;
    }
    const double metres = RoundLength(120 / pixelsPerMetre);
    const qreal length = metres * pixelsPerMetre;
    painter->save();
    painter->resetTransform();
    const qreal x = 12;
    const qreal y = viewport()->height() - 14;
    painter->setPen(QPen(kScaleColour, 2));
    painter->drawLine(QPointF(x, y), QPointF(x + length, y));
    painter->drawLine(QPointF(x, y - 5), QPointF(x, y + 1));
    painter->drawLine(QPointF(x + length, y - 5), QPointF(x + length, y + 1));
    painter->drawText(QPointF(x + 4, y - 5), ScaleText(metres));
    painter->restore();
}
