#pragma once

#include <QGraphicsView>
#include <QPoint>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "basemap/WebMercator.h"
#include "console/ConsoleView.h"
#include "zones/MapLabelPlacer.h"
#include "zones/MapProjection.h"
#include "zones/ZoneMap.h"

class CMapObjectItem;
class CMapTileLayer;
class QGraphicsScene;
class TileSource;
class QGraphicsSimpleTextItem;

// The picture of the map window: the zones of the zone map (circles and polygons with
// their names) and the shown objects at their positions. Scene units are metres of the
// map projection, y pointing south as on the screen.
//
// The wheel zooms around the cursor, dragging moves the map, FitAll shows everything;
// a click (a press and release without a drag) on an object reports its number. Until
// the dispatcher zooms, drags or scrolls with the keys, the view keeps fitting
// everything in as objects come.
//
// With a base layer (SetBaseLayer) the map is drawn in Web Mercator over the layer's
// tiles, its scene units metres at the reference latitude; without one, in MapProjection
// as before. The attribution of the tiles stands in the bottom right corner.
//
// Every object keeps its mark; the labels are placed anew after each refresh pass that
// changed something and each change of zoom so that none overlaps another or another object's mark,
// those of rows higher in the list first (CMapLabelPlacer). A label with no room is left out until
// a zoom or a move makes room; its title shows on hover.
//
// A refresh pass touches only the objects that changed, so that Qt paints only them
// again; the view is fitted again only when the outline of what it shows changes, or
// the zones or the view's size do.
class CMapView : public QGraphicsView {
    Q_OBJECT
public:
    explicit CMapView(QWidget* parent = nullptr);

    // Replaces the zones. The projection's reference moves to the middle of the zones, so
    // the objects are placed again.
    void SetZones(const std::vector<ZoneRecord>& zones);
    // The objects of one refresh pass: objects without a position and rows no longer
    // shown leave the map, the others move to their positions and take their rows' looks.
    // Rows of a pass cut short (`complete` false: the workers were stopping) are applied,
    // but the objects after them stay on the map.
    void ApplyRows(const std::vector<RowSnapshot>& rows, bool complete = true);
    // Zooms and centres so that every zone and object is in view.
    void FitAll();

    // The reference point (its origin); the plane of the map without a base layer.
    const MapProjection& Projection() const { return projection_; }
    // The scene point of a position (what an item's pos() is), in the map's projection.
    QPointF ScenePoint(double latitude, double longitude) const;
    // Scene units in a metre on the ground at a latitude: 1 without a base layer, in Web
    // Mercator the stretch at that latitude against the reference's.
    double SceneUnitsPerMetre(double latitude) const;
    // The position at a scene point (ScenePoint's inverse).
    WebMercator::LatLon ScenePosition(QPointF scenePoint) const;

    // Puts the tiles of `source` under the zones (the view takes it over), or none when
    // null; `note` (a problem with the base layer, in Russian) shows in the corner
    // instead. The zones and objects are placed again in the projection that goes with it.
    void SetBaseLayer(TileSource* source, const QString& note = QString());
    bool UsesWebMercator() const { return tiles_ != nullptr; }
    CMapTileLayer* TileLayer() const { return tiles_; }
    // What the bottom right corner shows: the tiles' attribution (as text, also when the
    // source gives it as HTML), or the note.
    QString CornerText() const;
    // Where it stands, in viewport pixels (empty when there is none).
    QRect CornerTextArea() const;
    // The item of an object on the map, or null.
    CMapObjectItem* ObjectItem(int32_t objectNumber) const;
    int ObjectCount() const { return static_cast<int>(objects_.size()); }
    int ZoneCount() const { return static_cast<int>(zones_.size()); }
    // Whether the view still fits itself to what it shows.
    bool FollowsContent() const { return followContent_; }
    // Gives every object's label its side for the present zoom (see above).
    void PlaceLabels();

signals:
    void objectClicked(int32_t objectNumber);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
    struct Placed {
        CMapObjectItem* item;
        double latitude;
        double longitude;
        // The row's title (Windows-1251) and state bits the item shows.
        std::string title;
        int state;
    };
    QRectF ContentRect() const;
    // Where the scale bar may be drawn, in viewport pixels.
    QRect ScaleBarArea() const;
    // Lets the view scroll well past what it shows, so that a drag is never stopped.
    void UpdateSceneRect();
    QFont CornerFont() const;
    // CornerText cut to the viewport's width.
    QString ShownCornerText() const;
    // Sets the reference point of both projections.
    void SetReference(double latitude, double longitude);
    // Scene coordinates of world pixels of zoom 0 (Web Mercator).
    QTransform World0ToScene() const;
    void TileArrived(const QRectF& world0);

    QGraphicsScene* scene_;
    MapProjection projection_;
    bool projectionSet_ = false;
    // The base layer, or null; with it, where the reference lies in world pixels of zoom 0
    // and the metres (scene units) in one of them there.
    CMapTileLayer* tiles_ = nullptr;
    QString baseLayerNote_;
    QPointF mercatorOrigin_;
    double mercatorScale_ = 1;
    std::vector<ZoneRecord> zones_;
    std::vector<QGraphicsItem*> zoneItems_;
    std::vector<QGraphicsSimpleTextItem*> zoneNames_;
    std::map<int32_t, Placed> objects_;
    // Object numbers in the order of the rows: whose label goes first.
    std::vector<int32_t> labelOrder_;
    CMapLabelPlacer placer_;
    bool followContent_ = true;
    // What the last fit took in (ContentRect).
    QRectF fittedContent_;
    QPoint pressPos_;
    bool pressed_ = false;
    bool dragged_ = false;
};
