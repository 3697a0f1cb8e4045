#pragma once

// Reads the track database as any SQLite tool would: its own connection, rows as texts.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace trackstest {

using Rows = std::vector<std::vector<std::string>>;

// The rows of `sql` (NULL as "NULL"); a failure fails the test and gives no rows.
inline Rows Query(const std::string& path, const std::string& sql) {
    Rows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path;
        sqlite3_close(db);
        return rows;
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int n, char** values, char**) {
            std::vector<std::string> row;
            for (int k = 0; k < n; ++k)
                row.push_back(values[k] != nullptr ? values[k] : "NULL");
            static_cast<Rows*>(out)->push_back(row);
            return 0;
        },
        &rows, &error);
    if (rc != SQLITE_OK)
        ADD_FAILURE() << sql << ": " << (error != nullptr ? error : "?");
    sqlite3_free(error);
    sqlite3_close(db);
    return rows;
}

inline std::string One(const std::string& path, const std::string& sql) {
    const Rows rows = Query(path, sql);
    return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : "<no single value>";
}

// Holds the database's write lock (another program writing) until Release.
class WriteLock {
public:
    explicit WriteLock(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        held_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~WriteLock() { Release(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool held() const { return held_; }
    void Release() {
        if (db_ != nullptr) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db_);
        }
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

}  // namespace trackstest
