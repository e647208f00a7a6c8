// Errors, one-off SQL and the cache of prepared statements.
#include "sqlite_statement.h"

namespace nwd {

void SqliteStorage::failOn(sqlite3* db, const char* what) {
    int code = sqlite3_errcode(db);
    throw StorageError(code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? StorageError::Damaged
                                                                       : StorageError::Failure,
                       std::string("database ") + what + ": " + sqlite3_errmsg(db));
}

void SqliteStorage::fail(const char* what) {
    failOn(db_, what);
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
    return prepareOn(*this, db_, cache_, sql);
}

SqliteStorage::Stmt SqliteStorage::prepareOn(SqliteStorage& owner, sqlite3* db,
                                             std::map<const char*, sqlite3_stmt*>& cache,
                                             const char* sql) {
    auto it = cache.find(sql);
    if (it == cache.end()) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
            failOn(db, "prepare");
        it = cache.emplace(sql, s).first;
    }
    return Stmt(owner, it->second);
}

} // namespace nwd
