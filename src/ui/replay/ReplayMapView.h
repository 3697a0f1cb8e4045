#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "base/DateTime.h"
#include "zones/MapView.h"

class CReplayRoutesItem;
class CReplayTrack;

// The replay's picture: the zones exactly as the map window draws them (it is the map's
// view, with its projection, zoom and drag), each vehicle's route as a line coloured by
// speed and thinned for the zoom shown (CReplayRoutesItem), a mark per vehicle where it
// was at the replayed moment, and a legend of the speed colours.
class CReplayMapView : public CMapView {
    Q_OBJECT
public:
    explicit CReplayMapView(QWidget* parent = nullptr);

    // Replaces the routes (the tracks must outlive the view or the next call) and fits
    // them into view.
    void SetTracks(const std::vector<const CReplayTrack*>& tracks);
    // Moves every vehicle's mark to where it was at `utc`; a vehicle with no point yet
    // has none.
    void ShowMoment(const DateTime& utc);
    // Zooms to the routes (to everything when there are none).
    void FitTracks();

    // The mark of a vehicle, or null when it has none at the moment shown.
    const QGraphicsItem* Mark(int32_t number) const;
    // How many points the lines drawn at the present zoom have in all (after thinning).
    int DrawnPointCount() const;
    CReplayRoutesItem* RoutesItem() const { return routes_; }

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    QRectF TracksRect() const;
    // Where the legend stands, in viewport pixels.
    QRect LegendArea() const;
    // Gives the map's projection a reference near the routes when there are no zones.
    void AnchorProjection();

    std::vector<const CReplayTrack*> tracks_;
    CReplayRoutesItem* routes_;
    std::map<int32_t, QGraphicsItem*> marks_;
    // Fitted to the routes and not zoomed or dragged since.
    bool fittedTracks_ = false;
    bool anchored_ = false;
};
