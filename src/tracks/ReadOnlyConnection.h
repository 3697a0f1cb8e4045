#pragma once

#include <string>

struct sqlite3;
struct sqlite3_stmt;

// One read-only connection to the track database for one query, as the readers of routes
// and of the alert journal open it: no mutex of SQLite's own (one thread uses it), result
// codes without their extensions, and a wait when SQLite asks for one. The connection and
// its statement are closed on every way out.
class CReadOnlyConnection {
public:
    CReadOnlyConnection() = default;
    ~CReadOnlyConnection();
    CReadOnlyConnection(const CReadOnlyConnection&) = delete;
    CReadOnlyConnection& operator=(const CReadOnlyConnection&) = delete;

    // `path` in Windows-1251. SQLITE_OK or the code. A missing file is no store: check
    // for one first, since SQLite calls it "cannot open".
    int Open(const std::string& path, int busyMs);
    // Replaces the statement; SQLITE_OK or the code.
    int Prepare(const std::string& sql);
    sqlite3* Db() const { return db_; }
    sqlite3_stmt* Statement() const { return statement_; }

    // Why `what` could not be read (Windows-1251), e.g. "Маршрут не прочитан из
    // поврежденной базы (…)": `what` is the start of the sentence, SQLite's own words
    // follow in brackets.
    std::string Problem(const std::string& what, int rc) const;

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
};
