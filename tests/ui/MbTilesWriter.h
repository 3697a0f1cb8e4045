#pragma once

// Writes small MBTiles files for the map's tests and pictures: the tables as the format
// has them, the pictures as PNG, rows numbered from the bottom.
#include <sqlite3.h>
#include <QBuffer>
#include <QImage>
#include <QString>

class MbTilesWriter {
public:
    explicit MbTilesWriter(const QString& path) {
        ok_ = sqlite3_open(path.toUtf8().constData(), &db_) == SQLITE_OK &&
              Exec(
                  "CREATE TABLE metadata (name TEXT, value TEXT);"
                  "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER,"
                  " tile_row INTEGER, tile_data BLOB);"
                  "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row);"
                  "BEGIN");
    }
    ~MbTilesWriter() {
        Exec("COMMIT");
        sqlite3_close(db_);
    }
    bool Ok() const { return ok_; }

    void Meta(const char* name, const QString& value) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO metadata VALUES (?1, ?2)", -1, &s, nullptr);
        sqlite3_bind_text(s, 1, name, -1, SQLITE_TRANSIENT);
        const QByteArray text = value.toUtf8();
        sqlite3_bind_text(s, 2, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        ok_ = ok_ && sqlite3_step(s) == SQLITE_DONE;
        sqlite3_finalize(s);
    }
    // The tile at column x, row y counted from the top (as the map asks for it).
    void Tile(int z, int x, int y, const QImage& image) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO tiles VALUES (?1, ?2, ?3, ?4)", -1, &s, nullptr);
        sqlite3_bind_int(s, 1, z);
        sqlite3_bind_int(s, 2, x);
        sqlite3_bind_int(s, 3, (1 << z) - 1 - y);
        sqlite3_bind_blob(s, 4, png.constData(), int(png.size()), SQLITE_TRANSIENT);
        ok_ = ok_ && sqlite3_step(s) == SQLITE_DONE;
        sqlite3_finalize(s);
    }

private:
    bool Exec(const char* sql) {
        return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    sqlite3* db_ = nullptr;
    bool ok_ = false;
};
