#include "app/WindowFrame.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace WindowFrame {

namespace {

std::function<std::optional<QMargins>(const QWidget&)>& MarginsOverride() {
    static std::function<std::optional<QMargins>(const QWidget&)> margins;
    return margins;
}

QMargins PlatformMargins(const QWidget& window) {
    return window.windowHandle() != nullptr ? window.windowHandle()->frameMargins() : QMargins();
}

}  // namespace

void SetMarginsForTests(std::function<std::optional<QMargins>(const QWidget&)> margins) {
    MarginsOverride() = std::move(margins);
}

QMargins Margins(const QWidget& window) {
    if (MarginsOverride()) {
        if (const std::optional<QMargins> margins = MarginsOverride()(window)) {
            return *margins;
        }
    }
    return PlatformMargins(window);
}

LayoutRect OuterRect(const QWidget& window) {
    // Qt's frame geometry, widened by whatever frame a test adds to the platform's.
    const QMargins extra = Margins(window) - PlatformMargins(window);
    const QRect frame = window.frameGeometry();
    LayoutRect rect;
    rect.left = frame.x() - extra.left();
    rect.top = frame.y() - extra.top();
    rect.right = frame.x() + frame.width() + extra.right();
    rect.bottom = frame.y() + frame.height() + extra.bottom();
    return rect;
}

void Place(QWidget& window, const LayoutRect& rect) {
    Placed ignored;
    Place(window, rect, ignored);
}

void Place(QWidget& window, const LayoutRect& rect, Placed& placed) {
    // move() places the frame, resize() the inside.
    const QMargins frame = Margins(window);
    const QMargins extra = frame - PlatformMargins(window);
    const QSize inner(std::max(1, rect.Width() - frame.left() - frame.right()),
                      std::max(1, rect.Height() - frame.top() - frame.bottom()));
    placed.placed = true;
    placed.rect = rect;
    placed.margins = frame;
    placed.inner = inner;
    window.move(rect.left + extra.left(), rect.top + extra.top());
    window.resize(inner);
}

LayoutRect StoredRect(const QWidget& window, const Placed& placed) {
    if (placed.placed && Margins(window) != placed.margins && window.size() == placed.inner) {
        return placed.rect;
    }
    return OuterRect(window);
}

void FollowFrame(QWidget& window, Placed& placed) {
    if (placed.placed && !Margins(window).isNull() && Margins(window) != placed.margins &&
        window.size() == placed.inner) {
        Place(window, placed.rect, placed);
    }
}

void Correct(QWidget& window, Placed& placed) {
    if (placed.placed && !Margins(window).isNull() && OuterRect(window) != placed.rect) {
        Place(window, placed.rect, placed);
    }
}

void CorrectAfterFirstShow(QWidget& window, Placed& placed, bool& done) {
    if (done) {
        return;
    }
    done = true;
    QWidget* target = &window;
    QTimer::singleShot(0, target, [target, &placed] { Correct(*target, placed); });
}

}  // namespace WindowFrame
