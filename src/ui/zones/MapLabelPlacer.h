#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <cstdint>
#include <unordered_map>
#include <vector>

// Where the labels of the map's objects go, so that no two of them overlap and none
// covers another object's mark. Each label is tried, in the order given (the first ones
// win), right of its mark, then left, above and below; the first place that is free
// takes it, and a label with no free place is left out (its object keeps its mark, and
// the full label shows on hover). Places that would cover a zone's name are taken only
// when no other is free.
//
// Everything is in view pixels. Taken rectangles are kept in a grid of square cells, so
// that a try looks only at its neighbours: a few hundred labels take well under a
// millisecond.
class CMapLabelPlacer {
public:
    enum Side : uint8_t { kRight, kLeft, kAbove, kBelow, kHidden };

    struct Label {
        QPointF anchor;  // the mark's centre
        QSizeF size;     // the label's size
    };

    // Room around a mark that no other label may cover (a square of twice this).
    static constexpr qreal kMarkReach = 6;
    // Between the mark's centre and the near edge of a label.
    static constexpr qreal kGap = 8.5;

    // The rectangle of a label of `size` on `side` of a mark at `anchor` (null for
    // kHidden).
    static QRectF LabelRect(QPointF anchor, QSizeF size, Side side);

    // A side for every label of `labels`; `softObstacles` (the zones' names) are avoided
    // where possible.
    std::vector<Side> Place(const std::vector<Label>& labels,
                            const std::vector<QRectF>& softObstacles);

private:
    struct Cell {
        std::vector<int> hard;  // indices into hard_
        std::vector<int> soft;  // indices into soft_
    };
    static int64_t Key(int cx, int cy);
    void Insert(const QRectF& rect, bool hard);
    // Whether `rect` overlaps a mark or a placed label (with `soft` also a zone's
    // name). A label never overlaps its own mark: kGap is wider than kMarkReach.
    bool Meets(const QRectF& rect, bool soft) const;

    std::unordered_map<int64_t, Cell> grid_;
    std::vector<QRectF> hard_;
    std::vector<QRectF> soft_;
};
