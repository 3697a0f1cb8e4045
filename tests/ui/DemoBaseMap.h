#pragma once

// A generated base map of the demo's area, written as an MBTiles file (for screenshots).

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cmath>
#include <vector>

#include "MbTilesWriter.h"
#include "basemap/WebMercator.h"

// A base map of Yekaterinburg for the demo, drawn tile by tile: a light grid every 0.01°,
// the city pond and the river through it, a lake, parks and the main roads, roughly
// where they are. Zooms 10 to 14 over the demo's area.
class DemoBaseMap {
public:
    static constexpr int kMinZoom = 10;
    static constexpr int kMaxZoom = 14;
    static constexpr double kSouth = 56.70, kNorth = 56.95, kWest = 60.45, kEast = 60.88;

    static bool Write(const QString& path) {
        MbTilesWriter file(path);
        file.Meta("name", QStringLiteral("Екатеринбург (демонстрация)"));
        file.Meta("format", QStringLiteral("png"));
        file.Meta("minzoom", QString::number(kMinZoom));
        file.Meta("maxzoom", QString::number(kMaxZoom));
        file.Meta("bounds",
                  QStringLiteral("%1,%2,%3,%4").arg(kWest).arg(kSouth).arg(kEast).arg(kNorth));
        file.Meta("attribution", QStringLiteral("Демонстрационная подложка Sentrel"));
        for (int z = kMinZoom; z <= kMaxZoom; ++z) {
            const QPoint from = WebMercator::TileAt(kNorth, kWest, z);
            const QPoint to = WebMercator::TileAt(kSouth, kEast, z);
            for (int x = from.x(); x <= to.x(); ++x) {
                for (int y = from.y(); y <= to.y(); ++y) {
                    file.Tile(z, x, y, Tile(z, x, y));
                }
            }
        }
        return file.Ok();
    }

private:
    struct Place {
        double latitude;
        double longitude;
    };
    using Line = std::vector<Place>;

    static QPolygonF Points(const Line& line, int z) {
        QPolygonF points;
        for (const Place& p : line) {
            points << WebMercator::ToPixel(p.latitude, p.longitude, z);
        }
        return points;
    }
    // Pixels of `metres` at zoom z, at least `least`.
    static double Width(double metres, int z, double least = 1) {
        return std::max(least, metres / WebMercator::MetresPerPixel(56.84, z));
    }

    static QImage Tile(int z, int x, int y) {
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(QColor(242, 239, 233));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-256.0 * x, -256.0 * y);

        // The grid.
        p.setPen(QPen(QColor(230, 226, 218), 1));
        for (double lat = 56.70; lat <= 56.96; lat += 0.01) {
            p.drawLine(WebMercator::ToPixel(lat, 60.40, z), WebMercator::ToPixel(lat, 60.90, z));
        }
        for (double lon = 60.40; lon <= 60.90; lon += 0.01) {
            p.drawLine(WebMercator::ToPixel(56.70, lon, z), WebMercator::ToPixel(56.96, lon, z));
        }

        // Parks.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(205, 232, 190));
        for (const Line& park :
             {Line{{56.800, 60.570}, {56.808, 60.600}, {56.795, 60.610}, {56.790, 60.580}},
              Line{{56.870, 60.640}, {56.880, 60.660}, {56.866, 60.675}, {56.860, 60.650}},
              Line{{56.825, 60.665}, {56.832, 60.690}, {56.818, 60.700}, {56.813, 60.672}}}) {
            p.drawPolygon(Points(park, z));
        }

        // Water: the river, the city pond on it and lake Shartash.
        const QColor water(170, 211, 223);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(water, Width(45, z, 3), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(Points({{56.905, 60.520},
                               {56.885, 60.545},
                               {56.870, 60.565},
                               {56.855, 60.585},
                               {56.840, 60.600},
                               {56.825, 60.610},
                               {56.805, 60.625},
                               {56.785, 60.655},
                               {56.760, 60.690},
                               {56.735, 60.720}},
                              z));
        p.setPen(Qt::NoPen);
        p.setBrush(water);
        p.drawPolygon(Points({{56.862, 60.570},
                              {56.858, 60.590},
                              {56.848, 60.598},
                              {56.840, 60.603},
                              {56.838, 60.596},
                              {56.847, 60.584},
                              {56.855, 60.570}},
                             z));
        p.drawPolygon(Points({{56.875, 60.690},
                              {56.872, 60.715},
                              {56.858, 60.722},
                              {56.850, 60.705},
                              {56.855, 60.688},
                              {56.866, 60.682}},
                             z));

        // Roads: a casing, then the road.
        const std::vector<Line> roads = {
            {{56.930, 60.600},
             {56.885, 60.605},
             {56.860, 60.608},
             {56.840, 60.612},
             {56.810, 60.620},
             {56.780, 60.618},
             {56.740, 60.612}},
            {{56.838, 60.480},
             {56.836, 60.540},
             {56.835, 60.600},
             {56.834, 60.660},
             {56.833, 60.760},
             {56.832, 60.870}},
            {{56.900, 60.560}, {56.870, 60.640}, {56.840, 60.700}, {56.800, 60.740}},
            {{56.880, 60.500}, {56.860, 60.540}, {56.820, 60.560}, {56.780, 60.590}},
            {{56.884, 60.560}, {56.884, 60.660}},
            {{56.781, 60.560}, {56.781, 60.700}, {56.770, 60.760}, {56.752, 60.805}},
        };
        for (const bool casing : {true, false}) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(casing ? QColor(196, 160, 110) : QColor(252, 222, 170),
                          Width(casing ? 34 : 24, z, casing ? 4.5 : 3), Qt::SolidLine, Qt::RoundCap,
                          Qt::RoundJoin));
            for (const Line& road : roads) {
                p.drawPolyline(Points(road, z));
            }
        }
        return image;
    }
};
