#pragma once

#include <QGraphicsObject>
#include <QPolygonF>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The routes of the replay as one item of the map's scene: each route a line coloured by
// the speed band of each stretch, thinned for the zoom it is drawn at.
//
// Thinning a hundred thousand points takes about ten milliseconds and drawing them all
// many times that, so neither is done for every paint: the lines are thinned once per
// zoom level (levels half an octave apart, each thinned to a pixel of its most zoomed-out
// scale: under 1.42 pixels at the others, inside the line's own width) and kept (the
// dozen nearest the zoom shown), cut into short pieces with their bounding rectangles; a
// paint draws only the pieces that cross the area being painted. A drag therefore draws
// the strips it uncovers, and a wheel step draws the view once from the level's pieces.
//
// The first paint after SetRoutes thins its level on the spot. Later levels are thinned
// on a thread of the item's own (the routes are not changed while it reads them): a wheel
// step into a level not thinned yet draws the nearest level at hand and asks for its
// own, which is drawn when it comes; the levels beside the one drawn are asked for
// before the wheel gets there.
class CReplayRoutesItem : public QGraphicsObject {
    Q_OBJECT
public:
    // One route in scene units (the map's projection), with each point's speed band;
    // a segment takes the band of the point it starts from.
    struct Route {
        std::vector<QPointF> points;
        std::vector<int8_t> bands;
    };
    // One piece of a line: a few dozen points of one band.
    struct Piece {
        int band = 0;
        QRectF bounds;
        QPolygonF points;
    };
    // What a zoom level draws: the pieces in the order of their bands, and how many
    // points the thinned lines have.
    struct Level {
        std::vector<Piece> pieces;
        int pointCount = 0;
    };

    // Line width in pixels, and the most points of a piece.
    static constexpr qreal kLineWidth = 3;
    static constexpr int kPiecePoints = 64;

    CReplayRoutesItem();
    ~CReplayRoutesItem() override;

    void SetRoutes(std::vector<Route> routes);
    // Around every point of the routes (null when there are none).
    QRectF PointsRect() const { return points_; }
    // The lines for a zoom (pixels per scene unit), thinned now when not at hand.
    const Level& LinesFor(qreal scale);
    // The level a scale falls in, and the thinning tolerance of a level in scene units.
    static int LevelOf(qreal scale);
    static double ToleranceOf(int level);
    // Whether a level is at hand, and the level the last paint drew (the nearest at hand
    // while its own was being thinned).
    bool HasLevel(int level) const { return levels_.count(level) != 0; }
    int LevelCount() const { return static_cast<int>(levels_.size()); }
    int DrawnLevel() const { return drawnLevel_; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    using Routes = std::shared_ptr<const std::vector<Route>>;
    static Level Thin(const std::vector<Route>& routes, double tolerance);
    // The level to draw at `level` now: its own, or the nearest at hand (null: none).
    const Level* Nearest(int level, int& drawn) const;
    // Drops the levels farthest from `near` beyond the number kept.
    void Forget(int near);
    // Has the thread thin `level` unless it is at hand or asked for already.
    void Ask(int level);
    void Work();
    // The thread's levels, on the item's thread.
    Q_INVOKABLE void TakeThinned();

    Routes routes_;
    std::map<int, std::unique_ptr<const Level>> levels_;
    QRectF points_;
    QRectF bounds_;
    // The level the last paint drew, and the one its zoom wanted.
    int drawnLevel_ = 0;
    int wantedLevel_ = 0;

    // Shared with the thread: the routes and their number, levels asked for and thinned.
    std::mutex mutex_;
    std::condition_variable wake_;
    Routes workRoutes_;
    int generation_ = 0;
    std::deque<int> asked_;
    std::vector<std::pair<int, std::unique_ptr<const Level>>> thinned_;
    int thinnedGeneration_ = 0;
    bool stop_ = false;
    std::thread worker_;
};
