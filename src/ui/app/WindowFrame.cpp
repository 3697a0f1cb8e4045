#include "app/WindowFrame.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace WindowFrame {

LayoutRect OuterRect(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    LayoutRect rect;
    rect.left = frame.x();
    rect.top = frame.y();
    rect.right = frame.x() + frame.width();
    rect.bottom = frame.y() + frame.height();
    return rect;
}

void Place(QWidget& window, const LayoutRect& rect) {
    // move() places the frame, resize() the inside.
    QMargins frame;
    if (window.windowHandle() != nullptr) {
        frame = window.windowHandle()->frameMargins();
    }
    window.move(rect.left, rect.top);
    window.resize(std::max(1, rect.Width() - frame.left() - frame.right()),
                  std::max(1, rect.Height() - frame.top() - frame.bottom()));
}

void Correct(QWidget& window, const LayoutRect& rect) {
    if (window.windowHandle() != nullptr && !window.windowHandle()->frameMargins().isNull() &&
        OuterRect(window) != rect) {
        Place(window, rect);
    }
}

void CorrectAfterFirstShow(QWidget& window, const LayoutRect& rect, bool& done) {
    if (done) {
        return;
    }
    done = true;
    QWidget* target = &window;
    QTimer::singleShot(0, target, [target, &rect] { Correct(*target, rect); });
}

}  // namespace WindowFrame
