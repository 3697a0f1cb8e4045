// The map's base layer: Web Mercator worked out by hand, an MBTiles file the test writes
// itself read back, and a tile server on 127.0.0.1 (never the internet) with the disk
// cache, the limit of fetches at a time and the failures.
#include <sqlite3.h>

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QNetworkProxy>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "basemap/MbTilesSource.h"
#include "basemap/WebMercator.h"
#include "basemap/XyzTileSource.h"

namespace {

// The colour of every test tile tells its address.
QRgb Colour(int z, int x, int y) {
    return qRgb(40 * z, 60 * x + 10, 60 * y + 10);
}

QByteArray Png(QRgb colour) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An SQLite file made statement by statement.
class Db {
public:
    explicit Db(const QString& path) { sqlite3_open(path.toUtf8().constData(), &db_); }
    ~Db() { sqlite3_close(db_); }
    void Exec(const char* sql) { QCOMPARE(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), 0); }
    void Tile(int zoom, int column, int row, const QByteArray& data) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO tiles VALUES (?1, ?2, ?3, ?4)", -1, &s, nullptr);
        sqlite3_bind_int(s, 1, zoom);
        sqlite3_bind_int(s, 2, column);
        sqlite3_bind_int(s, 3, row);
        sqlite3_bind_blob(s, 4, data.constData(), int(data.size()), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(s), SQLITE_DONE);
        sqlite3_finalize(s);
    }

private:
    sqlite3* db_ = nullptr;
};

const char* const kSchema =
    "CREATE TABLE metadata (name TEXT, value TEXT);"
    "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER,"
    " tile_data BLOB);"
    "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row);";

// Answers GET requests on 127.0.0.1 from a table of paths (404 for the rest), one
// request a connection. `hold` keeps the requests unanswered until Release.
class TileServer : public QObject {
    Q_OBJECT
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray headers;  // whole lines, each ending in CR LF
    };
    QHash<QByteArray, Reply> routes;
    bool hold = false;
    int hits = 0;
    QByteArray userAgent;

    TileServer() {
        connect(&server_, &QTcpServer::newConnection, this, &TileServer::Accept);
        server_.listen(QHostAddress::LocalHost, 0);
    }
    QString Template() const {
        return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server_.serverPort());
    }
    int Held() const { return int(held_.size()); }
    void Release() {
        const auto held = std::exchange(held_, {});
        for (const auto& [socket, path] : held) {
            if (socket) {
                Answer(socket, path);
            }
        }
    }
    void Close() { server_.close(); }

private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }
    void Read(QTcpSocket* socket) {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QList<QByteArray> lines = request.left(end).split('\n');
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("user-agent:")) {
                userAgent = line.mid(11).trimmed();
            }
        }
        const QByteArray path = lines.value(0).split(' ').value(1);
        ++hits;
        if (hold) {
            held_.push_back({QPointer<QTcpSocket>(socket), path});
        } else {
            Answer(socket, path);
        }
    }
    void Answer(QTcpSocket* socket, const QByteArray& path) {
        const Reply reply = routes.value(path, Reply{404, "no such tile", {}});
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + " Answer\r\n" +
                      "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n" +
                      "Connection: close\r\n" + reply.headers + "\r\n" + reply.body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    std::vector<std::pair<QPointer<QTcpSocket>, QByteArray>> held_;
};

// The answers a source gave, in order.
struct Answers {
    explicit Answers(TileSource& source)
        : ready(&source, &TileSource::tileReady), failed(&source, &TileSource::failed) {}
    int Count() const { return int(ready.size() + failed.size()); }
    QSignalSpy ready;
    QSignalSpy failed;
};

}  // namespace

class TestBaseMap : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mercatorPoints();
    void mercatorCover();
    void mbtilesReadBack();
    void mbtilesBrokenFiles();
    void xyzFetchAndDiskCache();
    void xyzServerGoneUsesCache();
    void xyzFetchesAtATimeAndCancel();
    void xyzTimeoutAndRefusals();

private:
    QTemporaryDir dir_;
};

void TestBaseMap::initTestCase() {
    QVERIFY(dir_.isValid());
    // A proxy of the environment must not stand between the test and its own server.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestBaseMap::mercatorPoints() {
    // At zoom 1 the world is 512 pixels: (0°, 0°) is its middle.
    QCOMPARE(WebMercator::ToPixel(0, 0, 1), QPointF(256, 256));
    // The corners of the square at zoom 0: latitude ±85.0511°, longitude ±180°.
    const QPointF topLeft = WebMercator::ToPixel(WebMercator::kMaxLatitude, -180, 0);
    QVERIFY(std::abs(topLeft.x()) < 1e-9 && std::abs(topLeft.y()) < 1e-6);
    const QPointF bottomRight = WebMercator::ToPixel(-WebMercator::kMaxLatitude, 180, 0);
    QVERIFY(std::abs(bottomRight.x() - 256) < 1e-9 && std::abs(bottomRight.y() - 256) < 1e-6);
    // Nearer the pole than the square reaches: its top edge.
    QCOMPARE(WebMercator::ToPixel(89.9, 10, 3).y(), 0.0);

    // Moscow, 55.7558° N 37.6173° E, at zoom 10 (1024 tiles a side):
    //   x = (37.6173 + 180) / 360 · 1024 = 619.0003
    //   tan φ = 1.469016, sec φ = 1.777079, ln(3.246095) = 1.177453
    //   y = (1 − 1.177453 / π) / 2 · 1024 = 320.1050
    // so tile 619/320, and pixel (158464.08, 81946.89).
    QCOMPARE(WebMercator::TileAt(55.7558, 37.6173, 10), QPoint(619, 320));
    const QPointF moscow = WebMercator::ToPixel(55.7558, 37.6173, 10);
    QVERIFY(std::abs(moscow.x() - 619.00032 * 256) < 0.01);
    QVERIFY(std::abs(moscow.y() - 320.10503 * 256) < 0.01);
    // Yekaterinburg, 56.8389° N 60.6057° E, at zoom 10:
    //   x = 240.6057 / 360 · 1024 = 684.3895
    //   tan φ = 1.530427, sec φ = 1.828170, ln(3.358597) = 1.211523
    //   y = (1 − 1.211523 / π) / 2 · 1024 = 314.5524
    QCOMPARE(WebMercator::TileAt(56.8389, 60.6057, 10), QPoint(684, 314));
    // Back from the pixel: the same place (to a millimetre's worth of degrees).
    const WebMercator::LatLon back =
        WebMercator::ToLatLon(WebMercator::ToPixel(55.7558, 37.6173, 17), 17);
    QVERIFY(std::abs(back.latitude - 55.7558) < 1e-9 && std::abs(back.longitude - 37.6173) < 1e-9);

    // Round the world: 180° is −180°, 190° is −170°, both in column 0 of zoom 1; the
    // south pole in the last row.
    QCOMPARE(WebMercator::TileAt(0, 180, 1), QPoint(0, 1));
    QCOMPARE(WebMercator::TileAt(10, 190, 1), QPoint(0, 0));
    QCOMPARE(WebMercator::TileAt(10, -190, 1), QPoint(1, 0));
    QCOMPARE(WebMercator::TileAt(-90, 0, 2), QPoint(2, 3));
    // The equator's whole length, 2π · 6378137 m, over the 256 pixels of zoom 0.
    QVERIFY(std::abs(WebMercator::MetresPerPixel(0, 0) - 156543.03392804097) < 1e-6);
    // Half as long at 60°, and half again at the next zoom.
    QVERIFY(std::abs(WebMercator::MetresPerPixel(60, 1) - 156543.03392804097 / 4) < 1e-6);
    // A position that is not a number has no tile.
    QCOMPARE(WebMercator::TileAt(std::nan(""), 37, 10), QPoint(-1, -1));
}

void TestBaseMap::mercatorCover() {
    using Spots = std::vector<WebMercator::TileSpot>;
    const auto addresses = [](const Spots& spots) {
        QList<QPoint> list;
        for (const auto& s : spots) {
            list << QPoint(s.x, s.y);
        }
        return list;
    };
    // Zoom 2, 1024 pixels a side: x 300 … 700 is columns 1 and 2, y 100 … 400 rows 0 and 1.
    Spots spots = WebMercator::TilesCovering(QRectF(300, 100, 400, 300), 2);
    QCOMPARE(spots.size(), size_t(4));
    QList<QPoint> got = addresses(spots);
    for (const QPoint p : {QPoint(1, 0), QPoint(2, 0), QPoint(1, 1), QPoint(2, 1)}) {
        QVERIFY(got.contains(p));
    }
    // A rectangle that ends on a tile's edge does not take the next tile.
    got = addresses(WebMercator::TilesCovering(QRectF(0, 0, 256, 256), 1));
    QCOMPARE(got, QList<QPoint>{QPoint(0, 0)});
    // Nearest the middle first: a view centred on tile (2, 2) of zoom 3 starts with it.
    spots = WebMercator::TilesCovering(QRectF(2.5 * 256 - 600, 2.5 * 256 - 400, 1200, 800), 3);
    QCOMPARE(QPoint(spots.front().x, spots.front().y), QPoint(2, 2));
    QCOMPARE(spots.front().topLeft, QPointF(512, 512));
    // Across the 180th meridian at zoom 1: column −1 is drawn left of the world and
    // fetched as column 1. Beyond the poles nothing.
    spots = WebMercator::TilesCovering(QRectF(-100, -300, 200, 400), 1);
    QCOMPARE(spots.size(), size_t(2));
    for (const auto& s : spots) {
        QCOMPARE(s.y, 0);
        QCOMPARE(s.x, s.topLeft.x() < 0 ? 1 : 0);
        QCOMPARE(s.topLeft.x(), s.x == 1 ? -256.0 : 0.0);
    }
    // Nothing for an empty rectangle, one wholly beyond a pole, or one that would need
    // more tiles than a view ever shows.
    QVERIFY(WebMercator::TilesCovering(QRectF(10, 10, 0, 50), 4).empty());
    QVERIFY(WebMercator::TilesCovering(QRectF(0, 600, 100, 100), 1).empty());
    QVERIFY(WebMercator::TilesCovering(QRectF(0, 0, 1e6, 1e6), 12).empty());
    QVERIFY(WebMercator::TilesCovering(QRectF(-1e15, 0, 512, 256), 12).empty());
    QVERIFY(WebMercator::TilesCovering(QRectF(std::nan(""), 0, 512, 256), 12).empty());
}

void TestBaseMap::mbtilesReadBack() {
    const QString path = dir_.filePath(QStringLiteral("two.mbtiles"));
    {
        Db db(path);
        db.Exec(kSchema);
        db.Exec(
            "INSERT INTO metadata VALUES ('name', 'Проба'), ('format', 'png'),"
            " ('minzoom', '1'), ('maxzoom', '2'), ('attribution', '© Участники проб');");
        // Rows from the bottom: the tile at row y from the top is kept at 2^z − 1 − y. Zoom 2
        // has all its tiles but the bottom right one.
        for (int z = 1; z <= 2; ++z) {
            const int n = 1 << z;
            for (int x = 0; x < n; ++x) {
                for (int y = 0; y < n; ++y) {
                    if (z == 2 && x == 3 && y == 3) {
                        continue;
                    }
                    db.Tile(z, x, n - 1 - y, Png(Colour(z, x, y)));
                }
            }
        }
    }
    const QByteArray before = FileBytes(path);

    CMbTilesSource source(path);
    QVERIFY2(source.IsOpen(), qPrintable(source.OpenError()));
    QCOMPARE(source.Attribution(), QStringLiteral("© Участники проб"));
    QCOMPARE(source.Metadata(QStringLiteral("name")), QStringLiteral("Проба"));
    QCOMPARE(source.MinZoom(), 1);
    QCOMPARE(source.MaxZoom(), 2);

    Answers answers(source);
    int asked = 0;
    for (int z = 1; z <= 2; ++z) {
        for (int x = 0; x < (1 << z); ++x) {
            for (int y = 0; y < (1 << z); ++y) {
                source.Request(z, x, y);
                ++asked;
            }
        }
    }
    source.Request(1, 1, 0);  // still waiting: answered once
    // Answers never come from inside Request.
    QCOMPARE(answers.Count(), 0);
    QTRY_COMPARE(answers.Count(), asked);
    QTest::qWait(50);
    QCOMPARE(answers.Count(), asked);
    QCOMPARE(answers.failed.size(), 1);
    QCOMPARE(answers.failed[0].mid(0, 3), (QVariantList{2, 3, 3}));
    QVERIFY(answers.failed[0][3].toString().contains(QStringLiteral("2/3/3")));
    for (const QVariantList& ready : answers.ready) {
        const QImage image = ready[3].value<QImage>();
        QCOMPARE(image.size(), QSize(256, 256));
        QCOMPARE(image.pixel(100, 100),
                 Colour(ready[0].toInt(), ready[1].toInt(), ready[2].toInt()));
    }

    // Addresses no tile can have fail too, and nothing is read for them.
    answers.failed.clear();
    source.Request(2, 4, 0);
    source.Request(-1, 0, 0);
    source.Request(WebMercator::kMaxZoom + 1, 0, 0);
    QTRY_COMPARE(answers.failed.size(), 3);

    // A source closed with tiles still to read stops its reader.
    {
        CMbTilesSource closing(path);
        for (int x = 0; x < 4; ++x) {
            for (int y = 0; y < 4; ++y) {
                closing.Request(2, x, y);
            }
        }
    }

    // Only read: the file is as it was, with no journal beside it.
    QCOMPARE(FileBytes(path), before);
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
}

void TestBaseMap::mbtilesBrokenFiles() {
    // Each broken file: the source is closed with a reason, and every request fails (later,
    // not from inside Request).
    const auto expectClosed = [](const QString& path, const QString& reasonPart) {
        CMbTilesSource source(path);
        QVERIFY(!source.IsOpen());
        QVERIFY2(source.OpenError().contains(reasonPart), qPrintable(source.OpenError()));
        Answers answers(source);
        source.Request(0, 0, 0);
        QCOMPARE(answers.Count(), 0);
        QTRY_COMPARE(answers.failed.size(), 1);
        QCOMPARE(answers.failed[0][3].toString(), source.OpenError());
    };
    const QString missing = dir_.filePath(QStringLiteral("missing.mbtiles"));
    expectClosed(missing, QStringLiteral("не открывается"));
    QVERIFY(!QFile::exists(missing));  // not created

    const QString garbage = dir_.filePath(QStringLiteral("garbage.mbtiles"));
    {
        QFile file(garbage);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\x5a'));
    }
    expectClosed(garbage, QStringLiteral("не является файлом MBTiles"));

    const QString noTiles = dir_.filePath(QStringLiteral("notiles.mbtiles"));
    Db(noTiles).Exec("CREATE TABLE metadata (name TEXT, value TEXT);");
    expectClosed(noTiles, QStringLiteral("не является файлом MBTiles"));

    const QString vector = dir_.filePath(QStringLiteral("vector.mbtiles"));
    {
        Db db(vector);
        db.Exec(kSchema);
        db.Exec("INSERT INTO metadata VALUES ('format', 'pbf');");
    }
    expectClosed(vector, QStringLiteral("векторные"));

    // No metadata table: the zooms come from the tiles; a tile that is no picture fails.
    const QString bare = dir_.filePath(QStringLiteral("bare.mbtiles"));
    {
        Db db(bare);
        db.Exec(
            "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER,"
            " tile_data BLOB);");
        db.Tile(3, 5, 7 - 2, Png(Colour(3, 5, 2)));
        db.Tile(4, 0, 15, QByteArray("\x89PNG but not really", 19));
        db.Tile(4, 1, 15, QByteArray());
    }
    CMbTilesSource source(bare);
    QVERIFY2(source.IsOpen(), qPrintable(source.OpenError()));
    QCOMPARE(source.MinZoom(), 3);
    QCOMPARE(source.MaxZoom(), 4);
    QVERIFY(source.Attribution().isEmpty());
    Answers answers(source);
    source.Request(3, 5, 2);
    source.Request(4, 0, 0);
    source.Request(4, 1, 0);
    QTRY_COMPARE(answers.Count(), 3);
    QCOMPARE(answers.ready.size(), 1);
    QCOMPARE(answers.ready[0][3].value<QImage>().pixel(0, 0), Colour(3, 5, 2));
    for (const QVariantList& failed : answers.failed) {
        QVERIFY2(failed[3].toString().contains(QStringLiteral("повреждена")),
                 qPrintable(failed[3].toString()));
    }
}

void TestBaseMap::xyzFetchAndDiskCache() {
    TileServer server;
    const QByteArray red = Png(qRgb(200, 0, 0));
    server.routes["/1/0/0.png"] = {200, red, "Cache-Control: max-age=3600\r\n"};
    server.routes["/1/1/0.png"] = {200, "<html>busy</html>", {}};
    const QString cache = dir_.filePath(QStringLiteral("cache-fresh"));
    {
        CXyzTileSource source(server.Template(), cache, QStringLiteral("© Проба"));
        QVERIFY(source.IsValid());
        QCOMPARE(source.Attribution(), QStringLiteral("© Проба"));
        Answers answers(source);
        source.Request(1, 0, 0);
        source.Request(1, 0, 0);  // fetched once, answered once
        QCOMPARE(answers.Count(), 0);
        QTRY_COMPARE(answers.ready.size(), 1);
        QTest::qWait(100);
        QCOMPARE(answers.Count(), 1);
        QCOMPARE(answers.ready[0][3].value<QImage>().pixel(5, 5), qRgb(200, 0, 0));
        QCOMPARE(server.hits, 1);
        QVERIFY2(server.userAgent.startsWith("Sentrel/"), server.userAgent.constData());
        // Fresh in the cache: not fetched again.
        source.Request(1, 0, 0);
        QTRY_COMPARE(answers.ready.size(), 2);
        QCOMPARE(server.hits, 1);

        // A tile the server does not have, and an answer that is no picture.
        source.Request(1, 1, 1);
        QTRY_COMPARE(answers.failed.size(), 1);
        QVERIFY2(answers.failed[0][3].toString().contains(QStringLiteral("404")),
                 qPrintable(answers.failed[0][3].toString()));
        source.Request(1, 1, 0);
        QTRY_COMPARE(answers.failed.size(), 2);
        QVERIFY(answers.failed[1][3].toString().contains(QStringLiteral("не изображение")));
        // An answer far too large for a tile is cut off.
        server.routes["/1/0/1.png"] = {
            200, QByteArray(CXyzTileSource::kMaxTileBytes + 65536, 'x'), {}};
        source.Request(1, 0, 1);
        QTRY_COMPARE(answers.failed.size(), 3);
        QVERIFY(answers.failed[2][3].toString().contains(QStringLiteral("больше")));
        // A 404 is asked again next time.
        source.Request(1, 1, 1);
        QTRY_COMPARE(answers.failed.size(), 4);
        QCOMPARE(server.hits, 5);
    }
    // After a restart the tile is still on the disk.
    CXyzTileSource again(server.Template(), cache, QString());
    Answers answers(again);
    again.Request(1, 0, 0);
    QTRY_COMPARE(answers.ready.size(), 1);
    QCOMPARE(answers.ready[0][3].value<QImage>().pixel(5, 5), qRgb(200, 0, 0));
    QCOMPARE(server.hits, 5);
}

void TestBaseMap::xyzServerGoneUsesCache() {
    // A tile the server says must be asked again each time.
    TileServer server;
    server.routes["/2/1/1.png"] = {200, Png(qRgb(0, 150, 0)), "Cache-Control: no-cache\r\n"};
    CXyzTileSource source(server.Template(), dir_.filePath(QStringLiteral("cache-stale")), {});
    Answers answers(source);
    source.Request(2, 1, 1);
    QTRY_COMPARE(answers.ready.size(), 1);
    QCOMPARE(server.hits, 1);
    // The server fails: the tile comes from the cache, however old.
    server.routes["/2/1/1.png"] = {503, "overloaded", {}};
    source.Request(2, 1, 1);
    QTRY_COMPARE(answers.ready.size(), 2);
    QCOMPARE(server.hits, 2);
    QCOMPARE(answers.ready[1][3].value<QImage>().pixel(0, 0), qRgb(0, 150, 0));
    // The server is gone: the same, and a tile never fetched fails.
    server.Close();
    source.Request(2, 1, 1);
    source.Request(2, 0, 1);
    QTRY_COMPARE(answers.Count(), 4);
    QCOMPARE(answers.ready.size(), 3);
    QCOMPARE(answers.failed[0].mid(0, 3), (QVariantList{2, 0, 1}));
    QVERIFY2(answers.failed[0][3].toString().contains(QStringLiteral("Нет связи")),
             qPrintable(answers.failed[0][3].toString()));
}

void TestBaseMap::xyzFetchesAtATimeAndCancel() {
    TileServer server;
    server.hold = true;
    for (int x = 0; x < 16; ++x) {
        server.routes["/4/" + QByteArray::number(x) + "/7.png"] = {200, Png(Colour(4, x, 7)), {}};
    }
    CXyzTileSource source(server.Template(), QString(), {});
    Answers answers(source);
    for (int x = 0; x < 10; ++x) {
        source.Request(4, x, 7);
    }
    source.Request(4, 0, 7);  // already asked
    QTRY_COMPARE(server.Held(), CXyzTileSource::kMaxInFlight);
    QTest::qWait(200);
    QCOMPARE(server.hits, CXyzTileSource::kMaxInFlight);
    // The view moved on: the six not started are forgotten, the four running answered.
    source.CancelPending();
    server.Release();
    QTRY_COMPARE(answers.ready.size(), CXyzTileSource::kMaxInFlight);
    QTest::qWait(200);
    QCOMPARE(answers.Count(), CXyzTileSource::kMaxInFlight);
    QCOMPARE(server.hits, CXyzTileSource::kMaxInFlight);
    QList<int> columns;
    for (const QVariantList& ready : answers.ready) {
        columns << ready[1].toInt();
    }
    std::sort(columns.begin(), columns.end());
    QCOMPARE(columns, (QList<int>{0, 1, 2, 3}));  // the first four asked
    // A cancelled tile can be asked for again.
    server.hold = false;
    source.Request(4, 9, 7);
    QTRY_COMPARE(answers.ready.size(), CXyzTileSource::kMaxInFlight + 1);
    QCOMPARE(answers.ready.back()[3].value<QImage>().pixel(1, 1), Colour(4, 9, 7));

    // A source closed with fetches running and tiles waiting goes quietly: no answers
    // from its destructor, no fetches started by it.
    server.hold = true;
    int answeredWhileClosing = 0;
    {
        CXyzTileSource closing(server.Template(), QString(), {});
        connect(&closing, &TileSource::failed, [&] { ++answeredWhileClosing; });
        for (int x = 0; x < 8; ++x) {
            closing.Request(4, x, 7);
        }
        QTRY_COMPARE(server.Held(), CXyzTileSource::kMaxInFlight);
    }
    server.Release();
    QTest::qWait(100);
    QCOMPARE(answeredWhileClosing, 0);
    QCOMPARE(server.hits, CXyzTileSource::kMaxInFlight * 2 + 1);
}

void TestBaseMap::xyzTimeoutAndRefusals() {
    TileServer server;
    server.hold = true;  // never answers
    CXyzTileSource source(server.Template(), QString(), {});
    source.SetTimeout(300);
    Answers answers(source);
    source.Request(3, 1, 1);
    QTRY_COMPARE_WITH_TIMEOUT(answers.failed.size(), 1, 5000);
    QVERIFY2(answers.failed[0][3].toString().contains(QStringLiteral("не прислал")),
             qPrintable(answers.failed[0][3].toString()));

    // What is never sent to the server: zooms it has not, addresses no tile has.
    source.SetZoomRange(2, 5);
    source.Request(6, 0, 0);
    source.Request(1, 0, 0);
    source.Request(3, 8, 0);
    QCOMPARE(answers.failed.size(), 1);
    QTRY_COMPARE(answers.failed.size(), 4);
    QCOMPARE(server.hits, 1);

    for (const QString& bad :
         {QStringLiteral("ftp://127.0.0.1/{z}/{x}/{y}.png"),
          QStringLiteral("http://127.0.0.1/tiles.png"), QStringLiteral("/{z}/{x}/{y}.png")}) {
        CXyzTileSource wrong(bad, QString(), {});
        QVERIFY(!wrong.IsValid());
        Answers refused(wrong);
        wrong.Request(1, 0, 0);
        QTRY_COMPARE(refused.failed.size(), 1);
        QCOMPARE(refused.failed[0][3].toString(), wrong.TemplateError());
    }
    QCOMPARE(server.hits, 1);
}

QTEST_MAIN(TestBaseMap)
#include "tst_basemap.moc"
