#pragma once

#include <QMargins>
#include <QSize>
#include <functional>
#include <optional>

#include "settings/WindowLayout.h"

class QWidget;

// Window places are stored as outer rectangles (frame included), while Qt moves a window
// by its frame and sizes it by its inside. These turn one into the other for every
// top-level window that keeps its place in the layout.
//
// The frame's size is known only once the window is on screen, and under X11 only when
// the window manager gets round to telling it, which may be well after the first show. A
// window placed before that was sized for no frame; storing its outer rectangle then
// would store the frame on top of the rectangle it was given, and the window would grow
// by its title bar at every start. So each window remembers how it was placed (Placed),
// and what it stores comes from StoredRect, which gives the placed rectangle back as long
// as the window keeps the size it was given.
namespace WindowFrame {

struct Placed {
    bool placed = false;
    LayoutRect rect;   // the outer rectangle asked for
    QMargins margins;  // the frame as known when the window was placed
    QSize inner;       // the inside size the window was given
};

// The window's frame as known now (none before the window is on screen).
QMargins Margins(const QWidget& window);
// The outer rectangle in screen coordinates.
LayoutRect OuterRect(const QWidget& window);
// Moves and sizes the window so that its outer frame covers `rect`; with `placed`, also
// remembers how.
void Place(QWidget& window, const LayoutRect& rect);
void Place(QWidget& window, const LayoutRect& rect, Placed& placed);
// The rectangle to store for the window: the placed one while the window has the size it
// was placed with and its frame has become known (or changed) since, the outer rectangle
// otherwise.
LayoutRect StoredRect(const QWidget& window, const Placed& placed);
// Places the window again over its placed rectangle when its frame has become known (or
// changed) since it was placed and it still has the size it was given.
void FollowFrame(QWidget& window, Placed& placed);
// A placement made before the frame was known is off by the frame: places the window
// again when the frame is known and the outer rectangle is not the placed one.
void Correct(QWidget& window, Placed& placed);
// From a window's first showEvent: Correct once the frame is known, the first time only
// (`done` remembers it). `placed` must live as long as the window.
void CorrectAfterFirstShow(QWidget& window, Placed& placed, bool& done);

// Tests stand in for a window manager: the frame `margins` returns for a window
// (nullopt: the platform's own); an empty function ends it.
void SetMarginsForTests(std::function<std::optional<QMargins>(const QWidget&)> margins);

}  // namespace WindowFrame
