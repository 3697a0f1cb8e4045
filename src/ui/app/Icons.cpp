#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace Icons {

namespace {

constexpr int kSize = 16;

QPixmap Blank(int size = kSize) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Prepare(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, true);
}

// Amber lightning bolt; the second frame is dimmer so that the pair blinks.
QPixmap PowerOn(bool bright) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    const QPolygonF bolt(
        {{9.5, 0.5}, {3.0, 9.0}, {7.5, 9.0}, {5.5, 15.5}, {13.0, 6.5}, {8.5, 6.5}, {10.5, 0.5}});
    painter.setPen(QPen(bright ? QColor(140, 80, 0) : QColor(150, 120, 60), 1.0));
    painter.setBrush(bright ? QColor(255, 180, 0) : QColor(250, 225, 150));
    painter.drawPolygon(bolt);
    return pixmap;
}

// Red round alarm sign with an exclamation mark; four frames give the blink.
QPixmap Alarm(int frame) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    QColor fill;
    QColor mark = Qt::white;
    switch (frame) {
        case 0:
            fill = QColor(230, 0, 0);
            break;
        case 1:
            fill = QColor(160, 0, 0);
            break;
        case 2:
            fill = QColor(255, 255, 255);
            mark = QColor(220, 0, 0);
            break;
        default:
            fill = QColor(255, 90, 90);
            break;
    }
    painter.setPen(QPen(QColor(120, 0, 0), 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(0.5, 0.5, 15.0, 15.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(mark);
    painter.drawRoundedRect(QRectF(6.8, 3.0, 2.4, 6.8), 1.0, 1.0);
    painter.drawEllipse(QRectF(6.7, 10.8, 2.6, 2.6));
    return pixmap;
}

QPixmap Sensor(bool on) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    if (on) {
        painter.setPen(QPen(QColor(0, 100, 0), 1.0));
        painter.setBrush(QColor(30, 200, 30));
    } else {
        painter.setPen(QPen(QColor(130, 130, 130), 1.5));
        painter.setBrush(Qt::NoBrush);
    }
    painter.drawEllipse(QRectF(3.0, 3.0, 10.0, 10.0));
    return pixmap;
}

// A zone (a ring in the zone's colour) with an arrow going into it or leaving it.
QPixmap ZoneMove(bool arrived, bool destination) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    const QColor zone = destination ? QColor(0, 150, 0) : QColor(210, 0, 0);
    const QColor zoneFill = destination ? QColor(200, 240, 200) : QColor(255, 210, 210);
    painter.setPen(QPen(zone, 1.5));
    painter.setBrush(zoneFill);
    const QRectF ring = arrived ? QRectF(6.0, 2.0, 9.5, 12.0) : QRectF(0.5, 2.0, 9.5, 12.0);
    painter.drawEllipse(ring);

    // Arrow: in from the left edge to the zone's middle, or out from the middle to the right.
    const double y = 8.0;
    const double from = arrived ? 0.5 : 4.5;
    const double to = arrived ? 11.5 : 15.5;
    painter.setPen(QPen(QColor(20, 20, 20), 2.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(from, y), QPointF(to - 3.5, y));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 20, 20));
    painter.drawPolygon(QPolygonF({{to, y}, {to - 4.5, y - 4.0}, {to - 4.5, y + 4.0}}));
    return pixmap;
}

QPixmap DrawApp(int size) {
    QPixmap pixmap = Blank(size);
    QPainter painter(&pixmap);
    Prepare(painter);
    painter.scale(size / 32.0, size / 32.0);
    // Navy tile, a radar sweep and a red point: a watched object on the dispatcher's map.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 128));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    painter.setPen(QPen(QColor(120, 220, 255), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(6, 6, 20, 20));
    painter.setPen(QPen(QColor(120, 220, 255), 1.2));
    painter.drawEllipse(QRectF(11, 11, 10, 10));
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(16, 16), QPointF(25, 9));
    painter.setPen(QPen(QColor(90, 0, 0), 1.0));
    painter.setBrush(QColor(255, 40, 40));
    painter.drawEllipse(QRectF(19, 17, 6, 6));
    return pixmap;
}

QPixmap AddressBookState(bool shown) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    Prepare(painter);
    // A small screen: lit with a green point when the object is in the main list.
    painter.setPen(QPen(shown ? QColor(0, 0, 128) : QColor(150, 150, 150), 1.0));
    painter.setBrush(shown ? QColor(210, 225, 255) : QColor(245, 245, 245));
    painter.drawRoundedRect(QRectF(1.5, 2.5, 13.0, 10.0), 1.5, 1.5);
    painter.drawLine(QPointF(5.0, 14.5), QPointF(11.0, 14.5));
    if (shown) {
        painter.setPen(QPen(QColor(0, 100, 0), 1.0));
        painter.setBrush(QColor(30, 200, 30));
        painter.drawEllipse(QRectF(5.0, 4.5, 6.0, 6.0));
    }
    return pixmap;
}

}  // namespace

QPixmap ListPixmap(int index) {
    switch (index) {
        case kPowerOn1:
            return PowerOn(true);
        case kPowerOn2:
            return PowerOn(false);
        case kAlarm1:
        case kAlarm2:
        case kAlarm3:
        case kAlarm4:
            return Alarm(index - kAlarm1);
        case kSensorOn:
            return Sensor(true);
        case kSensorOff:
            return Sensor(false);
        case kArrivedForbidden:
            return ZoneMove(true, false);
        case kLeftForbidden:
            return ZoneMove(false, false);
        case kArrivedDestination:
            return ZoneMove(true, true);
        case kLeftDestination:
            return ZoneMove(false, true);
        default:
            return Blank();
    }
}

QList<QIcon> ListIcons() {
    QList<QIcon> icons;
    for (int i = 0; i < kListImageCount; ++i) {
        icons.append(QIcon(ListPixmap(i)));
    }
    return icons;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(DrawApp(size));
    }
    return icon;
}

QPixmap AppPixmap(int size) {
    return DrawApp(size);
}

QIcon ObjectShownIcon() {
    return QIcon(AddressBookState(true));
}
QIcon ObjectHiddenIcon() {
    return QIcon(AddressBookState(false));
}

}  // namespace Icons
