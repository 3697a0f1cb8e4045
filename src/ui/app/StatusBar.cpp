#include "app/StatusBar.h"

#include <qdrawutil.h>
#include <QContextMenuEvent>
#include <QPainter>

#include <algorithm>

CStatusBar::CStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    setObjectName(QStringLiteral("statusBar"));
}

std::array<int, 3> CStatusBar::PartEdgesFor(int outerWidth) {
    if (outerWidth <= 280) {
        return {outerWidth, outerWidth, outerWidth};
    }
    return {outerWidth - 280, outerWidth - 160, outerWidth};
}

void CStatusBar::SetPartEdges(const std::array<int, 3>& edges) {
    if (edges != edges_) {
        edges_ = edges;
        update();
    }
}

void CStatusBar::SetTexts(const QString& part0, const QString& part1, const QString& part2) {
    texts_ = {part0, part1, part2};
    update();
}

QString CStatusBar::PartText(int part) const {
    if (part < 0 || part > 2) {
        return {};
    }
    return texts_[static_cast<size_t>(part)];
}

QSize CStatusBar::sizeHint() const {
    return QSize(QStatusBar::sizeHint().width(), std::max(20, fontMetrics().height() + 6));
}

QSize CStatusBar::minimumSizeHint() const {
    return QSize(0, 18);
}

void CStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    int left = 0;
    for (size_t part = 0; part < 3; ++part) {
        const int right = edges_[part];
        if (right - left >= 2) {
            // A sunken panel per part, whatever the style draws for status items.
            const QRect box(left, 1, right - left - 2, height() - 2);
            qDrawShadePanel(&painter, box, palette(), true, 1);
            painter.setPen(palette().color(QPalette::WindowText));
            const QRect textBox = box.adjusted(4, 0, -3, 0);
            painter.drawText(
                textBox, Qt::AlignLeft | Qt::AlignVCenter,
                fontMetrics().elidedText(texts_[part], Qt::ElideRight, textBox.width()));
        }
        left = right;
    }
}

void CStatusBar::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuAt(event->globalPos());
    event->accept();
}

bool CStatusBar::CountersAreaContains(int screenX, int barLeft, int barWidth) {
    if (barWidth < 280) {
        return false;
    }
    const int right = barLeft + barWidth;
    return screenX > right - 270 && screenX < right - 150;
}

bool CStatusBar::InCountersArea(int screenX) const {
    const QPoint topLeft = mapToGlobal(QPoint(0, 0));
    return CountersAreaContains(screenX, topLeft.x(), width());
}
