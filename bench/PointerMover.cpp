#include "PointerMover.h"

#ifdef SENTREL_BENCH_X11
#include <X11/Xlib.h>

PointerMover::~PointerMover() {
    if (display_ != nullptr)
        XCloseDisplay(display_);
}

bool PointerMover::Open() {
    if (display_ == nullptr)
        display_ = XOpenDisplay(nullptr);
    return display_ != nullptr;
}

void PointerMover::MoveTo(int x, int y) {
    if (display_ == nullptr)
        return;
    XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, x, y);
    XFlush(display_);
}

#else

PointerMover::~PointerMover() = default;

bool PointerMover::Open() {
    return false;
}

void PointerMover::MoveTo(int, int) {}

#endif
