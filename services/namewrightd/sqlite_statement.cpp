// Errors, one-off SQL and the cache of prepared statements.
#include "sqlite_statement.h"

namespace nwd {

void SqliteStorage::fail(const char* what) {
    int code = sqlite3_errcode(db_);
    throw StorageError(code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? StorageError::Damaged
                                                                       : StorageError::Failure,
                       std::string("database ") + what + ": " + sqlite3_errmsg(db_));
}

void SqliteStorage::exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        int code = sqlite3_errcode(db_);
        throw StorageError(code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? StorageError::Damaged
                                                                           : StorageError::Failure,
                           "database: " + msg);
    }
}

SqliteStorage::Stmt SqliteStorage::prepare(const char* sql) {
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
            fail("prepare");
        it = cache_.emplace(sql, s).first;
    }
    return Stmt(*this, it->second);
}

} // namespace nwd
