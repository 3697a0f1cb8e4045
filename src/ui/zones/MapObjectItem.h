#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QStaticText>
#include <QString>
#include <cstdint>

#include "objectlist/RowColouring.h"
#include "zones/MapLabelPlacer.h"

// One object on the map: a dot at its position and a label with its title in the colours
// of its list row (background, text, italics when it is in no zone). The item keeps its
// size on the screen whatever the zoom; its position is the object's point on the map.
// The label stands on the side the view gives it, or is left out where objects crowd;
// the title is the item's tooltip either way.
//
// The label's size, its laid-out text and its colours are worked out when the title or
// the state changes, not on each paint: shaping each title anew was much of the cost of
// painting a map of a thousand objects.
class CMapObjectItem : public QGraphicsItem {
public:
    using Side = CMapLabelPlacer::Side;

    explicit CMapObjectItem(int32_t objectNumber);

    int32_t ObjectNumber() const { return objectNumber_; }
    const QString& Title() const { return title_; }
    const RowColours& Colours() const { return colours_; }
    // The title and the row's state bits; repaints only what changed. Returns whether
    // anything did.
    bool SetLook(const QString& title, int rowState);

    // The label's size in pixels, wherever it stands.
    QSizeF LabelSize() const { return labelSize_; }
    Side LabelSide() const { return side_; }
    void SetLabelSide(Side side);
    // The label's rectangle in the item's coordinates (pixels from the dot); null when
    // the label is left out.
    QRectF LabelRect() const;

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int32_t objectNumber_;
    QString title_;
    int rowState_ = -1;
    RowColours colours_;
    QColor back_;
    QColor text_;
    QFont font_;
    QStaticText label_;
    QSizeF labelSize_;
    Side side_ = CMapLabelPlacer::kRight;
};
