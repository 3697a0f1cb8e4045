#pragma once

#include <QStatusBar>
#include <QString>
#include <array>

// The main window's three-part status bar: last message, counters, date and time. The
// parts end at fixed distances from the window's right edge, so the bar is drawn here
// rather than laid out by QStatusBar.
class CStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit CStatusBar(QWidget* parent = nullptr);

    // Right edges of the three parts for a window `outerWidth` pixels wide.
    static std::array<int, 3> PartEdgesFor(int outerWidth);

    void SetPartEdges(const std::array<int, 3>& edges);
    std::array<int, 3> PartEdges() const { return edges_; }
    void SetTexts(const QString& part0, const QString& part1, const QString& part2);
    QString PartText(int part) const;
    // The counters menu opens only over the counters part of a bar at least 280 wide:
    // strictly between right - 270 and right - 150 (screen x).
    static bool CountersAreaContains(int screenX, int barLeft, int barWidth);
    bool InCountersArea(int screenX) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A context-menu request, at this global position.
    void contextMenuAt(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::array<int, 3> edges_{0, 0, 0};
    std::array<QString, 3> texts_;
};
