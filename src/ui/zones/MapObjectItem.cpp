#include "zones/MapObjectItem.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal kDotRadius = 4.5;
constexpr qreal kPadding = 3;  // inside the label, left and right

QColor FromRgb(uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

}  // namespace

CMapObjectItem::CMapObjectItem(int32_t objectNumber) : objectNumber_(objectNumber) {
    const QFontMetricsF metrics(font_);
    labelSize_ = QSizeF(2 * kPadding, metrics.height() + 2);
    back_ = FromRgb(colours_.back);
    text_ = FromRgb(colours_.text);
    // Plain text laid out once, kept with its glyphs.
    label_.setTextFormat(Qt::PlainText);
    label_.setPerformanceHint(QStaticText::AggressiveCaching);
    // Zooming moves the item with its point but leaves its size alone.
    setFlag(ItemIgnoresTransformations);
    setZValue(2);
    // Painted once into a picture that zooms and moves reuse; painted again only when its
    // look or its label's side changes. The pictures of the items in view take about the
    // view's own size at most, since no two labels overlap; those of items out of view
    // are the first to leave Qt's pixmap cache.
    setCacheMode(DeviceCoordinateCache);
}

bool CMapObjectItem::SetLook(const QString& title, int rowState) {
    if (title == title_ && rowState == rowState_) {
        return false;
    }
    prepareGeometryChange();
    const bool retitled = title != title_;
    title_ = title;
    rowState_ = rowState;
    colours_ = RowColours::ForState(rowState);
    back_ = FromRgb(colours_.back);
    text_ = FromRgb(colours_.text);
    font_.setItalic(colours_.italicZone);
    const QFontMetricsF metrics(font_);
    labelSize_ = QSizeF(metrics.horizontalAdvance(title_) + 2 * kPadding, metrics.height() + 2);
    label_.setText(title_);
    label_.prepare(QTransform(), font_);
    if (retitled) {
        setToolTip(title);
    }
    update();
    return true;
}

void CMapObjectItem::SetLabelSide(Side side) {
    if (side == side_) {
        return;
    }
    prepareGeometryChange();
    side_ = side;
    update();
}

QRectF CMapObjectItem::LabelRect() const {
    return CMapLabelPlacer::LabelRect(QPointF(0, 0), labelSize_, side_);
}

QRectF CMapObjectItem::boundingRect() const {
    const QRectF dot(-kDotRadius - 1, -kDotRadius - 1, 2 * kDotRadius + 2, 2 * kDotRadius + 2);
    if (side_ == CMapLabelPlacer::kHidden) {
        return dot;
    }
    return dot.united(LabelRect().adjusted(-1, -1, 1, 1));
}

QPainterPath CMapObjectItem::shape() const {
    QPainterPath path;
    path.addEllipse(QPointF(0, 0), kDotRadius + 2, kDotRadius + 2);
    if (side_ != CMapLabelPlacer::kHidden) {
        path.addRect(LabelRect());
    }
    return path;
}

void CMapObjectItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    painter->setRenderHint(QPainter::Antialiasing);

    painter->setPen(QPen(text_, 1.5));
    painter->setBrush(back_);
    painter->drawEllipse(QPointF(0, 0), kDotRadius, kDotRadius);
    painter->setPen(Qt::NoPen);
    painter->setBrush(text_);
    painter->drawEllipse(QPointF(0, 0), kDotRadius / 2, kDotRadius / 2);

    if (side_ == CMapLabelPlacer::kHidden) {
        return;
    }
    const QRectF label = LabelRect();
    painter->setPen(QPen(text_, 1));
    painter->setBrush(back_);
    painter->drawRect(label);
    painter->setFont(font_);
    painter->setPen(text_);
    // Centred vertically as the label's height was measured: the text's own line height.
    const QSizeF textSize = label_.size();
    painter->drawStaticText(
        QPointF(label.left() + kPadding, label.top() + (label.height() - textSize.height()) / 2),
        label_);
}
