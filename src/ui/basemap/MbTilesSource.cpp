#include "basemap/MbTilesSource.h"

#include <sqlite3.h>

#include <algorithm>

#include "basemap/WebMercator.h"

namespace {

QString SqliteText(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

QString TileName(int z, int x, int y) {
    return QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y);
}

}  // namespace

CMbTilesSource::CMbTilesSource(const QString& path, QObject* parent)
    : TileSource(parent), path_(path) {
    Open(path);
}

CMbTilesSource::~CMbTilesSource() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (reader_.joinable()) {
        reader_.join();
    }
    // The answers still queued to this object die with it (QObject drops them).
    sqlite3_finalize(statement_);
    sqlite3_close(db_);
}

void CMbTilesSource::Open(const QString& path) {
    // Read-only: a missing file is not created, an existing one never changed.
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &db_,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (opened == SQLITE_OK) {
        // A file being written by another program is waited for a moment.
        sqlite3_busy_timeout(db_, 2000);
        // The first statement is where a file that is no database shows.
        const char* sql =
            "SELECT tile_data FROM tiles WHERE zoom_level = ?1 AND tile_column = ?2 AND "
            "tile_row = ?3";
        if (sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            openError_ = QStringLiteral("Файл подложки «%1» не является файлом MBTiles: %2")
                             .arg(path, SqliteText(db_));
            statement_ = nullptr;
        }
    } else {
        openError_ =
            QStringLiteral("Файл подложки «%1» не открывается: %2").arg(path, SqliteText(db_));
    }
    if (!openError_.isEmpty()) {
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    // The metadata is optional: without it the picture format is found from the tiles
    // themselves and the zooms from the tiles table.
    sqlite3_stmt* meta = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name, value FROM metadata", -1, &meta, nullptr) ==
        SQLITE_OK) {
        while (sqlite3_step(meta) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(meta, 0));
            const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(meta, 1));
            if (name != nullptr && value != nullptr) {
                metadata_.insert(QString::fromUtf8(name), QString::fromUtf8(value));
            }
        }
    }
    sqlite3_finalize(meta);
    if (metadata_.value(QStringLiteral("format")).compare(QStringLiteral("pbf")) == 0) {
        openError_ = QStringLiteral(
                         "Файл подложки «%1» содержит векторные плитки (pbf), "
                         "показать их нельзя: нужны растровые (png или jpg)")
                         .arg(path);
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    ReadZoomRange();
}

void CMbTilesSource::ReadZoomRange() {
    bool minOk = false;
    bool maxOk = false;
    const int minZoom = metadata_.value(QStringLiteral("minzoom")).trimmed().toInt(&minOk);
    const int maxZoom = metadata_.value(QStringLiteral("maxzoom")).trimmed().toInt(&maxOk);
    if (minOk && maxOk && WebMercator::ValidZoom(minZoom) && WebMercator::ValidZoom(maxZoom) &&
        minZoom <= maxZoom) {
        minZoom_ = minZoom;
        maxZoom_ = maxZoom;
        return;
    }
    // The index on (zoom_level, tile_column, tile_row) that MBTiles files carry makes this
    // quick.
    sqlite3_stmt* range = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT MIN(zoom_level), MAX(zoom_level) FROM tiles", -1, &range,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(range) == SQLITE_ROW && sqlite3_column_type(range, 0) == SQLITE_INTEGER) {
        minZoom_ = std::clamp(sqlite3_column_int(range, 0), 0, WebMercator::kMaxZoom);
        maxZoom_ = std::clamp(sqlite3_column_int(range, 1), minZoom_, WebMercator::kMaxZoom);
    }
    sqlite3_finalize(range);
}

void CMbTilesSource::Request(int z, int x, int y) {
    const Key key{z, x, y};
    if (waiting_.contains(key)) {
        return;
    }
    waiting_.insert(key);
    if (!IsOpen() || !WebMercator::ValidTile(z, x, y)) {
        const QString reason =
            IsOpen() ? QStringLiteral("Неверный номер плитки %1").arg(TileName(z, x, y))
                     : openError_;
        std::lock_guard lock(mutex_);
        PostLocked({key, QImage(), reason});
        return;
    }
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(key);
    }
    if (!reader_.joinable()) {
        reader_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void CMbTilesSource::CancelPending() {
    std::lock_guard lock(mutex_);
    for (const Key& key : queue_) {
        waiting_.remove(key);
    }
    queue_.clear();
}

void CMbTilesSource::Run() {
    for (;;) {
        Key key{};
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                return;
            }
            key = queue_.front();
            queue_.pop_front();
        }
        QString reason;
        QImage image = Read(key, reason);
        std::lock_guard lock(mutex_);
        PostLocked({key, std::move(image), std::move(reason)});
    }
}

void CMbTilesSource::PostLocked(Done done) {
    done_.push_back(std::move(done));
    if (!deliveryPosted_) {
        deliveryPosted_ = true;
        // Only the call crosses the threads; the answers wait under the mutex.
        QMetaObject::invokeMethod(this, "DeliverDone", Qt::QueuedConnection);
    }
}

void CMbTilesSource::DeliverDone() {
    std::deque<Done> done;
    {
        std::lock_guard lock(mutex_);
        done.swap(done_);
        deliveryPosted_ = false;
    }
    for (const Done& answer : done) {
        // A tile cancelled while it was read is not answered.
        if (!waiting_.remove(answer.key)) {
            continue;
        }
        if (answer.image.isNull()) {
            emit failed(answer.key.z, answer.key.x, answer.key.y, answer.reason);
        } else {
            emit tileReady(answer.key.z, answer.key.x, answer.key.y, answer.image);
        }
    }
}

QImage CMbTilesSource::Read(const Key& key, QString& reason) {
    const int row = WebMercator::TileCount(key.z) - 1 - key.y;
    sqlite3_reset(statement_);
    sqlite3_bind_int(statement_, 1, key.z);
    sqlite3_bind_int(statement_, 2, key.x);
    sqlite3_bind_int(statement_, 3, row);
    const int stepped = sqlite3_step(statement_);
    QImage image;
    if (stepped == SQLITE_ROW) {
        const int bytes = sqlite3_column_bytes(statement_, 0);
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement_, 0));
        if (data != nullptr && bytes > 0) {
            image = QImage::fromData(QByteArray(data, bytes));
        }
        if (image.isNull()) {
            reason = QStringLiteral("Плитка %1 в файле подложки «%2» повреждена")
                         .arg(TileName(key.z, key.x, key.y), path_);
        }
    } else if (stepped == SQLITE_DONE) {
        reason = QStringLiteral("Плитки %1 нет в файле подложки «%2»")
                     .arg(TileName(key.z, key.x, key.y), path_);
    } else {
        reason = QStringLiteral("Файл подложки «%1» не читается: %2").arg(path_, SqliteText(db_));
    }
    sqlite3_reset(statement_);
    return image;
}
