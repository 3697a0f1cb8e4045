#pragma once

#include <QFont>
#include <QGraphicsItem>
#include <QString>
#include <cstdint>

#include "objectlist/RowColouring.h"

// One object on the map: a dot at its position and a label with its title in the colours
// of its list row (background, text, italics when it is in no zone). The item keeps its
// size on the screen whatever the zoom; its position is the object's point on the map.
class CMapObjectItem : public QGraphicsItem {
public:
    explicit CMapObjectItem(int32_t objectNumber);

    int32_t ObjectNumber() const { return objectNumber_; }
    const QString& Title() const { return title_; }
    const RowColours& Colours() const { return colours_; }
    // The title and the row's state bits; repaints only what changed.
    void SetLook(const QString& title, int rowState);

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
               QWidget* widget) override;

private:
    QRectF LabelRect() const;

    int32_t objectNumber_;
    QString title_;
    int rowState_ = -1;
    RowColours colours_;
    QFont font_;
};
