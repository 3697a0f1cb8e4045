#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

// The program's pictures, drawn in code so that they stay sharp at 16x16 and need no
// resource files.
namespace Icons {

// Indexes of the object list's images; the refresh writes these numbers into cells.
enum ListImage : int {
    kNone = 0,
    kPowerOn1 = 1,
    kPowerOn2 = 2,
    kAlarm1 = 3,
    kAlarm2 = 4,
    kAlarm3 = 5,
    kAlarm4 = 6,
    kSensorOn = 7,
    kSensorOff = 8,
    kArrivedForbidden = 9,
    kLeftForbidden = 10,
    kArrivedDestination = 11,
    kLeftDestination = 12,
    kListImageCount = 13
};

// One list image, 16x16; an index out of range gives the empty image.
QPixmap ListPixmap(int index);
// All thirteen, in index order.
QList<QIcon> ListIcons();

// The application's icon (several sizes).
QIcon AppIcon();
// The application's picture at one size (About box).
QPixmap AppPixmap(int size);

// Address book: the object is shown in the main list / is not.
QIcon ObjectShownIcon();
QIcon ObjectHiddenIcon();

}  // namespace Icons
