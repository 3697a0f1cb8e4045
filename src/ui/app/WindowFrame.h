#pragma once

#include "settings/WindowLayout.h"

class QWidget;

// Window places are stored as outer rectangles (frame included), while Qt moves a window
// by its frame and sizes it by its inside. These turn one into the other for every
// top-level window that keeps its place in the layout.
namespace WindowFrame {

// The outer rectangle in screen coordinates.
LayoutRect OuterRect(const QWidget& window);
// Moves and sizes the window so that its outer frame covers `rect`.
void Place(QWidget& window, const LayoutRect& rect);
// The frame's size is known only once the window is on screen, so a placement made before
// that is off by the frame: places the window again when the frame is known and the
// outer rectangle is not `rect`.
void Correct(QWidget& window, const LayoutRect& rect);
// From a window's first showEvent: Correct once the frame is known, the first time only
// (`done` remembers it). `rect` must live as long as the window.
void CorrectAfterFirstShow(QWidget& window, const LayoutRect& rect, bool& done);

}  // namespace WindowFrame
