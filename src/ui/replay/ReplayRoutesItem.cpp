#include "replay/ReplayRoutesItem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "replay/ReplayTrack.h"
#include "zones/PolylineThinning.h"

namespace {

// Room around the points for the lines' width, in scene units (metres): more than a
// line's half width down to a zoom of over a kilometre a pixel.
constexpr qreal kBoundsMargin = 2000;

// Levels waiting for the thread, and levels kept, at most.
constexpr std::size_t kAskedKept = 4;
constexpr std::size_t kLevelsKept = 12;

// A line about three pixels wide drawn as three strokes one pixel wide, their middles
// 0.8 px from the route's point at the corners of a triangle: Qt draws thin cosmetic
// lines on a fast path of its own, while a wide pen has its outline built and filled,
// several times slower. However the route turns, the three strokes lie less than a pixel
// apart across it, so that no gap shows between them.
constexpr QPointF kStrokes[] = {{0, -0.8}, {0.69, 0.4}, {-0.69, 0.4}};

}  // namespace

CReplayRoutesItem::CReplayRoutesItem() {
    setFlag(QGraphicsItem::ItemUsesExtendedStyleOption);
    setZValue(2);
    worker_ = std::thread([this] { Work(); });
}

CReplayRoutesItem::~CReplayRoutesItem() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void CReplayRoutesItem::SetRoutes(std::vector<Route> routes) {
    prepareGeometryChange();
    routes_ = std::make_shared<const std::vector<Route>>(std::move(routes));
    levels_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workRoutes_ = routes_;
        ++generation_;
        asked_.clear();
    }
    qreal left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    for (const Route& route : *routes_) {
        for (const QPointF& p : route.points) {
            left = any ? std::min(left, p.x()) : p.x();
            right = any ? std::max(right, p.x()) : p.x();
            top = any ? std::min(top, p.y()) : p.y();
            bottom = any ? std::max(bottom, p.y()) : p.y();
            any = true;
        }
    }
    points_ = any ? QRectF(QPointF(left, top), QPointF(right + 1, bottom + 1)) : QRectF();
    bounds_ = any ? points_.adjusted(-kBoundsMargin, -kBoundsMargin, kBoundsMargin, kBoundsMargin)
                  : QRectF();
    update();
}

int CReplayRoutesItem::LevelOf(qreal scale) {
    return static_cast<int>(std::floor(2 * std::log2(std::max<qreal>(scale, 1e-12))));
}

double CReplayRoutesItem::ToleranceOf(int level) {
    // The level's scales run from 2^(level / 2) up to 2^((level + 1) / 2): a pixel at the
    // first, less than 1.42 pixels at every other, so that the line drawn never leaves the
    // route's own line (three pixels wide: 1.5 on either side).
    return std::pow(2.0, -level / 2.0);
}

const CReplayRoutesItem::Level& CReplayRoutesItem::LinesFor(qreal scale) {
    const int level = LevelOf(scale);
    auto it = levels_.find(level);
    if (it == levels_.end()) {
        it =
            levels_
                .emplace(level, std::make_unique<const Level>(Thin(
                                    routes_ ? *routes_ : std::vector<Route>(), ToleranceOf(level))))
                .first;
    }
    const Level& lines = *it->second;
    Forget(level);
    return lines;
}

void CReplayRoutesItem::Forget(int near) {
    // The finest levels hold nearly every point: only those near the zoom shown are kept.
    while (levels_.size() > kLevelsKept) {
        const auto first = levels_.begin();
        const auto last = std::prev(levels_.end());
        const auto far = near - first->first > last->first - near ? first : last;
        if (far->first == near) {
            return;
        }
        levels_.erase(far);
    }
}

const CReplayRoutesItem::Level* CReplayRoutesItem::Nearest(int level, int& drawn) const {
    // A coarser level strays from the route by more than a pixel (1.4 pixels a step) for
    // the moment; a finer one has more points than needed (1.4 times as many a step), and
    // several steps finer would take longer to draw than a frame may. Its own level, one
    // step coarser or finer, then the nearest coarser one; none of them: null.
    for (const int at : {level, level - 1, level + 1}) {
        const auto it = levels_.find(at);
        if (it != levels_.end()) {
            drawn = at;
            return it->second.get();
        }
    }
    auto it = levels_.lower_bound(level);
    if (it == levels_.begin()) {
        return nullptr;
    }
    --it;
    drawn = it->first;
    return it->second.get();
}

void CReplayRoutesItem::Ask(int level) {
    if (levels_.count(level) != 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // The latest first: a wheel turned on leaves the levels it passed behind.
        const auto at = std::find(asked_.begin(), asked_.end(), level);
        if (at != asked_.end()) {
            asked_.erase(at);
        }
        asked_.push_front(level);
        if (asked_.size() > kAskedKept) {
            asked_.pop_back();
        }
    }
    wake_.notify_one();
}

void CReplayRoutesItem::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !asked_.empty(); });
        if (stop_) {
            return;
        }
        const int level = asked_.front();
        asked_.pop_front();
        const Routes routes = workRoutes_;
        const int generation = generation_;
        lock.unlock();
        auto lines = std::make_unique<const Level>(Thin(*routes, ToleranceOf(level)));
        lock.lock();
        if (generation == generation_) {
            thinnedGeneration_ = generation;
            thinned_.emplace_back(level, std::move(lines));
            QMetaObject::invokeMethod(this, "TakeThinned", Qt::QueuedConnection);
        }
    }
}

void CReplayRoutesItem::TakeThinned() {
    std::vector<std::pair<int, std::unique_ptr<const Level>>> thinned;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (thinnedGeneration_ == generation_) {
            thinned.swap(thinned_);
        }
        thinned_.clear();
    }
    bool wanted = false;
    for (auto& [level, lines] : thinned) {
        wanted = wanted || (level == wantedLevel_ && drawnLevel_ != wantedLevel_);
        levels_.emplace(level, std::move(lines));
    }
    Forget(wantedLevel_);
    // The level the view waits for has come.
    if (wanted) {
        update();
    }
}

CReplayRoutesItem::Level CReplayRoutesItem::Thin(const std::vector<Route>& routes,
                                                 double tolerance) {
    Level level;
    std::vector<ProjectedPoint> plane;
    for (const Route& route : routes) {
        const std::vector<QPointF>& points = route.points;
        // Each run of segments in one band is thinned on its own, so that thinning never
        // carries a colour over a stretch driven at another speed.
        std::size_t runStart = 0;
        while (runStart + 1 < points.size()) {
            const int band = route.bands[runStart];
            std::size_t runEnd = runStart + 1;
            while (runEnd + 1 < points.size() && route.bands[runEnd] == band) {
                ++runEnd;
            }
            plane.clear();
            for (std::size_t i = runStart; i <= runEnd; ++i) {
                plane.push_back({points[i].x(), points[i].y()});
            }
            const std::vector<std::size_t> kept = PolylineThinning::Keep(plane, tolerance);
            level.pointCount += static_cast<int>(kept.size());
            // Pieces of at most kPiecePoints points, each starting where the last ended.
            for (std::size_t first = 0; first + 1 < kept.size(); first += kPiecePoints - 1) {
                const std::size_t last = std::min(kept.size() - 1, first + kPiecePoints - 1);
                Piece piece;
                piece.band = band;
                piece.points.reserve(static_cast<qsizetype>(last - first + 1));
                for (std::size_t k = first; k <= last; ++k) {
                    piece.points.append(points[runStart + kept[k]]);
                }
                piece.bounds = piece.points.boundingRect();
                level.pieces.push_back(std::move(piece));
            }
            runStart = runEnd;
        }
    }
    // One pen a band.
    std::stable_sort(level.pieces.begin(), level.pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.band < b.band; });
    return level;
}

QRectF CReplayRoutesItem::boundingRect() const {
    return bounds_;
}

void CReplayRoutesItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) {
    const qreal scale = painter->worldTransform().m11();
    if (!routes_ || routes_->empty() || !(scale > 0)) {
        return;
    }
    // The level of this zoom; when it is still being thinned, the nearest at hand. The
    // first paint of the routes thins its own, and so does one with only much finer
    // levels at hand.
    const int wanted = LevelOf(scale);
    int drawn = wanted;
    const Level* nearest = Nearest(wanted, drawn);
    const Level& level = nearest != nullptr ? *nearest : LinesFor(scale);
    if (drawn != wanted) {
        Ask(wanted);
    }
    drawnLevel_ = drawn;
    wantedLevel_ = wanted;
    // Those the wheel reaches next.
    Ask(wanted - 1);
    Ask(wanted + 1);
    const qreal pixel = 1 / scale;
    // The pieces that reach into the area painted, with their width.
    const qreal reach = pixel * (kLineWidth + 1);
    const QRectF area = option->exposedRect.adjusted(-reach, -reach, reach, reach);
    std::vector<const Piece*> shown;
    for (const Piece& piece : level.pieces) {
        // Not QRectF::intersects: the bounds of a straight piece may have no width.
        const QRectF& b = piece.bounds;
        if (b.left() <= area.right() && b.right() >= area.left() && b.top() <= area.bottom() &&
            b.bottom() >= area.top()) {
            shown.push_back(&piece);
        }
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    std::size_t from = 0;
    while (from < shown.size()) {
        const int band = shown[from]->band;
        std::size_t to = from;
        while (to < shown.size() && shown[to]->band == band) {
            ++to;
        }
        QPen pen(CReplayTrack::BandColour(band), 1);
        pen.setCosmetic(true);
        painter->setPen(pen);
        for (const QPointF& stroke : kStrokes) {
            painter->translate(stroke * pixel);
            for (std::size_t i = from; i < to; ++i) {
                painter->drawPolyline(shown[i]->points);
            }
            painter->translate(-stroke * pixel);
        }
        from = to;
    }
    painter->restore();
}
