#include "zones/MapLabelPlacer.h"

#include <cmath>

namespace {

// About the height of a label: a label touches a handful of cells.
constexpr qreal kCell = 32;

int CellOf(qreal v) {
    return static_cast<int>(std::floor(v / kCell));
}

}  // namespace

QRectF CMapLabelPlacer::LabelRect(QPointF anchor, QSizeF size, Side side) {
    const qreal w = size.width();
    const qreal h = size.height();
    switch (side) {
        case kRight:
            return QRectF(anchor.x() + kGap, anchor.y() - h / 2, w, h);
        case kLeft:
            return QRectF(anchor.x() - kGap - w, anchor.y() - h / 2, w, h);
        case kAbove:
            return QRectF(anchor.x() - w / 2, anchor.y() - kGap - h, w, h);
        case kBelow:
            return QRectF(anchor.x() - w / 2, anchor.y() + kGap, w, h);
        case kHidden:
            break;
    }
    return QRectF();
}

int64_t CMapLabelPlacer::Key(int cx, int cy) {
    return (static_cast<int64_t>(cx) << 32) ^ static_cast<uint32_t>(cy);
}

void CMapLabelPlacer::Insert(const QRectF& rect, bool hard) {
    std::vector<QRectF>& list = hard ? hard_ : soft_;
    const int index = static_cast<int>(list.size());
    list.push_back(rect);
    for (int cx = CellOf(rect.left()); cx <= CellOf(rect.right()); ++cx) {
        for (int cy = CellOf(rect.top()); cy <= CellOf(rect.bottom()); ++cy) {
            Cell& cell = grid_[Key(cx, cy)];
            (hard ? cell.hard : cell.soft).push_back(index);
        }
    }
}

bool CMapLabelPlacer::Meets(const QRectF& rect, bool soft) const {
    for (int cx = CellOf(rect.left()); cx <= CellOf(rect.right()); ++cx) {
        for (int cy = CellOf(rect.top()); cy <= CellOf(rect.bottom()); ++cy) {
            const auto found = grid_.find(Key(cx, cy));
            if (found == grid_.end()) {
                continue;
            }
            for (const int i : found->second.hard) {
                if (hard_[static_cast<std::size_t>(i)].intersects(rect)) {
                    return true;
                }
            }
            if (soft) {
                for (const int i : found->second.soft) {
                    if (soft_[static_cast<std::size_t>(i)].intersects(rect)) {
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

std::vector<CMapLabelPlacer::Side> CMapLabelPlacer::Place(
    const std::vector<Label>& labels, const std::vector<QRectF>& softObstacles) {
    grid_.clear();
    hard_.clear();
    soft_.clear();
    hard_.reserve(2 * labels.size());
    for (const Label& label : labels) {
        Insert(QRectF(label.anchor.x() - kMarkReach, label.anchor.y() - kMarkReach, 2 * kMarkReach,
                      2 * kMarkReach),
               true);
    }
    for (const QRectF& rect : softObstacles) {
        Insert(rect, false);
    }

    std::vector<Side> sides(labels.size(), kHidden);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const Label& label = labels[i];
        // Clear of the zones' names if possible, clear of marks and labels always.
        for (const bool avoidNames : {true, false}) {
            for (const Side side : {kRight, kLeft, kAbove, kBelow}) {
                const QRectF rect = LabelRect(label.anchor, label.size, side);
                if (!Meets(rect, avoidNames)) {
                    sides[i] = side;
                    Insert(rect, true);
                    break;
                }
            }
            if (sides[i] != kHidden) {
                break;
            }
        }
    }
    return sides;
}
