#include "zones/MapView.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextDocumentFragment>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <set>

#include "app/QtText.h"
#include "basemap/TileSource.h"
#include "basemap/WebMercator.h"
#include "zones/MapObjectItem.h"
#include "zones/MapTileLayer.h"

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
// The scale bar: its longest length, its left end and its line's distance from the
// viewport's bottom, in pixels.
constexpr int kScaleBarLength = 120;
constexpr int kScaleBarLeft = 12;
constexpr int kScaleBarBottom = 14;
// The attribution's box: its distance from the viewport's edges and its text's margin.
constexpr int kCornerGap = 2;
constexpr int kCornerPad = 3;
const QColor kCornerBack(255, 255, 255, 200);
const QColor kCornerText(40, 40, 40);

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
    // Only what changed is painted again: a pass that moves a few vehicles repaints a few
    // small rectangles, while one that moves many of them (past Qt's threshold of some
    // fifty rectangles) repaints the rectangle around them. The scale bar, which stays
    // put on the viewport while the map scrolls under it, is repainted by
    // scrollContentsBy.
    setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
    setFocusPolicy(Qt::StrongFocus);
}

QPointF CMapView::ScenePoint(double latitude, double longitude) const {
    if (tiles_ != nullptr) {
        return (WebMercator::ToPixel(latitude, longitude, 0) - mercatorOrigin_) * mercatorScale_;
    }
    const ProjectedPoint p = projection_.ToPlane(latitude, longitude);
    return QPointF(p.x, -p.y);
}

double CMapView::SceneUnitsPerMetre(double latitude) const {
    if (tiles_ == nullptr) {
        return 1;
    }
    return mercatorScale_ / WebMercator::MetresPerPixel(latitude, 0);
}

WebMercator::LatLon CMapView::ScenePosition(QPointF scenePoint) const {
    if (tiles_ != nullptr) {
        return WebMercator::ToLatLon(scenePoint / mercatorScale_ + mercatorOrigin_, 0);
    }
    const double metresPerDegree = Geometry::kEarthRadiusMetres * Geometry::kDegToRad;
    const double east =
        metresPerDegree * std::cos(projection_.OriginLatitude() * Geometry::kDegToRad);
    return {projection_.OriginLatitude() - scenePoint.y() / metresPerDegree,
            projection_.OriginLongitude() + scenePoint.x() / east};
}

void CMapView::SetReference(double latitude, double longitude) {
    projection_ = MapProjection(latitude, longitude);
    projectionSet_ = true;
    mercatorOrigin_ = WebMercator::ToPixel(latitude, longitude, 0);
    mercatorScale_ = WebMercator::MetresPerPixel(latitude, 0);
}

QTransform CMapView::World0ToScene() const {
    return QTransform(mercatorScale_, 0, 0, mercatorScale_, -mercatorOrigin_.x() * mercatorScale_,
                      -mercatorOrigin_.y() * mercatorScale_);
}

void CMapView::SetBaseLayer(TileSource* source, const QString& note) {
    delete tiles_;
    tiles_ = nullptr;
    baseLayerNote_ = source == nullptr ? note : QString();
    if (source != nullptr) {
        tiles_ = new CMapTileLayer(source, this);
        connect(tiles_, &CMapTileLayer::tileArrived, this, &CMapView::TileArrived);
    }
    // Everything again in the projection that goes with the layer (or its absence).
    if (projectionSet_) {
        SetReference(projection_.OriginLatitude(), projection_.OriginLongitude());
    }
    const std::vector<ZoneRecord> zones = zones_;
    SetZones(zones);
    viewport()->update();
}

void CMapView::TileArrived(const QRectF& world0) {
    const QRectF scene = World0ToScene().mapRect(world0);
    viewport()->update(mapFromScene(scene).boundingRect().adjusted(-1, -1, 1, 1));
}

QString CMapView::CornerText() const {
    if (tiles_ == nullptr) {
        return baseLayerNote_;
    }
    // MBTiles files often give their attribution as HTML (links): its text is shown.
    const QString attribution = tiles_->Source()->Attribution();
    return Qt::mightBeRichText(attribution)
               ? QTextDocumentFragment::fromHtml(attribution).toPlainText().simplified()
               : attribution;
}

QFont CMapView::CornerFont() const {
    QFont font = viewport()->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QString CMapView::ShownCornerText() const {
    // No wider than the viewport: a long text loses its beginning.
    const int room = viewport()->width() - 2 * kCornerGap - 2 * kCornerPad;
    return QFontMetrics(CornerFont()).elidedText(CornerText(), Qt::ElideLeft, std::max(0, room));
}

QRect CMapView::CornerTextArea() const {
    const QString text = ShownCornerText();
    if (text.isEmpty()) {
        return QRect();
    }
    const QFontMetrics metrics(CornerFont());
    const QSize size(metrics.horizontalAdvance(text) + 2 * kCornerPad,
                     metrics.height() + 2 * kCornerPad);
    return QRect(QPoint(viewport()->width() - kCornerGap - size.width(),
                        viewport()->height() - kCornerGap - size.height()),
                 size);
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
        SetReference((south + north) / 2, (west + east) / 2);
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
            const qreal r = z.radiusMetres * SceneUnitsPerMetre(z.latitude);
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
        // Kept as a picture: it never changes and keeps its pixel size at every zoom.
        name->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
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

void CMapView::ApplyRows(const std::vector<RowSnapshot>& rows, bool complete) {
    std::set<int32_t> shown;
    std::vector<int32_t> order;
    order.reserve(labelOrder_.size());
    bool changed = false;
    for (const RowSnapshot& row : rows) {
        if (!row.hasPosition) {
            continue;
        }
        order.push_back(row.objectNumber);
        if (!projectionSet_) {
            // No zones to centre on: the first object is the reference.
            SetReference(row.latitude, row.longitude);
            UpdateSceneRect();
        }
        shown.insert(row.objectNumber);
        auto it = objects_.find(row.objectNumber);
        const bool added = it == objects_.end();
        if (added) {
            auto* item = new CMapObjectItem(row.objectNumber);
            scene_->addItem(item);
            it = objects_.emplace(row.objectNumber, Placed{item, 0, 0, {}, -1}).first;
            changed = true;
        }
        Placed& placed = it->second;
        // An object that did not change is not touched, so that nothing of it is painted
        // again.
        const std::string& title = row.texts[kColObject];
        if (title != placed.title || row.state != placed.state) {
            placed.title = title;
            placed.state = row.state;
            changed |= placed.item->SetLook(FromCp(title), row.state);
        }
        if (added || row.latitude != placed.latitude || row.longitude != placed.longitude) {
            placed.latitude = row.latitude;
            placed.longitude = row.longitude;
            const QPointF at = ScenePoint(row.latitude, row.longitude);
            if (placed.item->pos() != at) {
                placed.item->setPos(at);
                changed = true;
            }
        }
    }
    for (auto it = objects_.begin(); complete && it != objects_.end();) {
        if (shown.count(it->first) == 0) {
            delete it->second.item;
            it = objects_.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    if (!complete) {
        // The labels of the rows not in this pass keep their turn, after the others.
        for (const int32_t number : labelOrder_) {
            if (objects_.count(number) != 0 && shown.count(number) == 0) {
                order.push_back(number);
            }
        }
    }
    if (order != labelOrder_) {
        labelOrder_ = std::move(order);
        changed = true;
    }
    if (!changed) {
        // Nothing moved, came or went: the view and the labels stay as they are.
        return;
    }
    // Fitted again only when what it must show has another outline: the view does not
    // jump, and is not painted whole, because something moved inside it.
    if (followContent_ && ContentRect() != fittedContent_) {
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
    fittedContent_ = content;
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

void CMapView::keyPressEvent(QKeyEvent* event) {
    // The arrow and page keys scroll the map: the dispatcher's own move, like a drag.
    const int x = horizontalScrollBar()->value();
    const int y = verticalScrollBar()->value();
    QGraphicsView::keyPressEvent(event);
    if (horizontalScrollBar()->value() != x || verticalScrollBar()->value() != y) {
        followContent_ = false;
    }
}

void CMapView::scrollContentsBy(int dx, int dy) {
    QGraphicsView::scrollContentsBy(dx, dy);
    // The viewport's picture was shifted: the scale bar's copy went with it, and its own
    // place now shows what was beside it.
    if (viewportUpdateMode() != QGraphicsView::FullViewportUpdate) {
        for (const QRect& area : {ScaleBarArea(), CornerTextArea()}) {
            if (!area.isEmpty()) {
                viewport()->update(area);
                viewport()->update(area.translated(dx, dy));
            }
        }
    }
}

void CMapView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    if (followContent_) {
        FitAll();
    }
}

QRect CMapView::ScaleBarArea() const {
    // The bar is at most kScaleBarLength long; its text stands above it, from its left end.
    const QFontMetrics metrics(viewport()->font());
    const int width = kScaleBarLeft +
                      std::max(kScaleBarLength, 4 + metrics.horizontalAdvance(ScaleText(999000))) +
                      8;
    const int height = kScaleBarBottom + 5 + metrics.height() + 8;
    return QRect(0, viewport()->height() - height, width, height);
}

void CMapView::drawBackground(QPainter* painter, const QRectF& rect) {
    QGraphicsView::drawBackground(painter, rect);
    if (tiles_ == nullptr) {
        return;
    }
    const QTransform toScene = World0ToScene();
    const QTransform toWorld0 = toScene.inverted();
    const QRectF visible = mapToScene(viewport()->rect()).boundingRect();
    painter->save();
    painter->setTransform(toScene, true);
    tiles_->Draw(painter, toWorld0.mapRect(rect), toWorld0.mapRect(visible),
                 transform().m11() * mercatorScale_);
    painter->restore();
}

void CMapView::drawForeground(QPainter* painter, const QRectF&) {
    // Metres at the middle of the view: in Web Mercator the scale changes with latitude.
    const QPointF middle = mapToScene(viewport()->rect().center());
    const qreal pixelsPerMetre =
        transform().m11() * SceneUnitsPerMetre(ScenePosition(middle).latitude);
    if (pixelsPerMetre <= 0) {
        return;
    }
    const double metres = RoundLength(kScaleBarLength / pixelsPerMetre);
    const qreal length = metres * pixelsPerMetre;
    painter->save();
    painter->resetTransform();
    const qreal x = kScaleBarLeft;
    const qreal y = viewport()->height() - kScaleBarBottom;
    painter->setPen(QPen(kScaleColour, 2));
    painter->drawLine(QPointF(x, y), QPointF(x + length, y));
    painter->drawLine(QPointF(x, y - 5), QPointF(x, y + 1));
    painter->drawLine(QPointF(x + length, y - 5), QPointF(x + length, y + 1));
    painter->drawText(QPointF(x + 4, y - 5), ScaleText(metres));
    const QRect corner = CornerTextArea();
    if (!corner.isEmpty()) {
        painter->setFont(CornerFont());
        painter->fillRect(corner, kCornerBack);
        painter->setPen(kCornerText);
        painter->drawText(corner, Qt::AlignCenter, ShownCornerText());
    }
    painter->restore();
}
