#pragma once

// Moves the X server's pointer from any thread, through a connection of its own: the
// motion reaches the window under the pointer as real input, through the X server and
// the toolkit's event reader, as a dispatcher's mouse would.

// Xlib's Display, declared here so that its macros stay out of the Qt code.
struct _XDisplay;

class PointerMover {
public:
    PointerMover() = default;
    ~PointerMover();
    PointerMover(const PointerMover&) = delete;
    PointerMover& operator=(const PointerMover&) = delete;

    // Connects to $DISPLAY; false when there is no X server (or no Xlib in this build).
    bool Open();
    bool IsOpen() const { return display_ != nullptr; }
    // Puts the pointer at (x, y) of the screen and sends the request at once.
    void MoveTo(int x, int y);

private:
    _XDisplay* display_ = nullptr;
};
