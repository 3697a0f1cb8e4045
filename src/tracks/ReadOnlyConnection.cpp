#include "ReadOnlyConnection.h"

#include <sqlite3.h>

#include "base/Cp1251.h"

CReadOnlyConnection::~CReadOnlyConnection() {
    sqlite3_finalize(statement_);
    sqlite3_close_v2(db_);
}

int CReadOnlyConnection::Open(const std::string& path, int busyMs) {
    const int rc = sqlite3_open_v2(Cp1251::ToUtf8(path).c_str(), &db_,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db_, 0);
        sqlite3_busy_timeout(db_, busyMs);
    }
    return rc;
}

int CReadOnlyConnection::Prepare(const std::string& sql) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement_, nullptr);
}

std::string CReadOnlyConnection::Problem(const std::string& what, int rc) const {
    std::string text = what + W(" не прочитан из ");
    switch (rc) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            text += W("поврежденной базы");
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            text += W("базы, занятой другой программой");
            break;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH:
            text += W("базы, к которой нет доступа");
            break;
        default:
            text += W("базы");
            break;
    }
    const char* detail = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    text += " (";
    text += Cp1251::FromUtf8(detail != nullptr ? detail : sqlite3_errstr(rc));
    text += ")";
    return text;
}
