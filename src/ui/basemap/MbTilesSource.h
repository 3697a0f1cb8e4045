#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "basemap/TileSource.h"

struct sqlite3;
struct sqlite3_stmt;

// Tiles from an MBTiles file: an SQLite 3 database with the pictures in
// tiles(zoom_level, tile_column, tile_row, tile_data), rows numbered from the bottom
// (TMS: tile_row = 2^z − 1 − y), and metadata(name, value) with the attribution, the
// picture format and the zooms. The file is only read, never written or created.
//
// The file is opened and its metadata read at construction; the tiles are read and
// decoded on a thread of the source's own, started with the first request, one tile at a
// time in the order asked, so that a large file never holds up the window. A file that
// cannot be opened, is no SQLite database or has no tiles table leaves the source closed
// (OpenError says why) and every request failed.
class CMbTilesSource : public TileSource {
    Q_OBJECT
public:
    explicit CMbTilesSource(const QString& path, QObject* parent = nullptr);
    ~CMbTilesSource() override;

    bool IsOpen() const { return statement_ != nullptr; }
    QString OpenError() const { return openError_; }
    // A metadata value ("name", "format", "bounds"...), empty when the file has none.
    QString Metadata(const QString& key) const { return metadata_.value(key); }

    void Request(int z, int x, int y) override;
    void CancelPending() override;
    QString Attribution() const override { return metadata_.value(QStringLiteral("attribution")); }
    int MinZoom() const override { return minZoom_; }
    int MaxZoom() const override { return maxZoom_; }

private:
    using Key = TileKey;

    void Open(const QString& path);
    void ReadZoomRange();
    // The answer to one request: a picture, or a null image and why.
    struct Done {
        Key key;
        QImage image;
        QString reason;
    };

    void Run();
    // The picture of a tile, or a null image and why (on the reading thread).
    QImage Read(const Key& key, QString& reason);
    // Queues an answer for the source's own thread (mutex_ held).
    void PostLocked(Done done);
    // On the source's own thread: the answers queued so far.
    Q_INVOKABLE void DeliverDone();

    QString path_;
    QString openError_;
    QHash<QString, QString> metadata_;
    int minZoom_ = 0;
    int maxZoom_ = 0;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;  // only the reading thread uses it once started

    // Asked and not answered yet (the source's own thread only).
    QSet<Key> waiting_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Key> queue_;        // under mutex_
    std::deque<Done> done_;        // under mutex_
    bool deliveryPosted_ = false;  // under mutex_: DeliverDone is queued
    bool stop_ = false;            // under mutex_
    std::thread reader_;
};
