// Prepared statements of SqliteStorage: cached per SQL text (prepare()),
// bound, stepped and reset when they go out of scope. Used by the storage's
// own files only.
#pragma once

#include <cstdint>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "sqlite_storage.h"

namespace nwd {

// A cached prepared statement, reset when it goes out of scope.
class SqliteStorage::Stmt {
  public:
    Stmt(SqliteStorage&, sqlite3_stmt* s) : s_(s) {}
    ~Stmt() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    Stmt(const Stmt&) = delete;

    Stmt& bind(int i, int64_t v) {
        check(sqlite3_bind_int64(s_, i, v));
        return *this;
    }
    Stmt& bindNullable(int i, int64_t v) {
        check(v ? sqlite3_bind_int64(s_, i, v) : sqlite3_bind_null(s_, i));
        return *this;
    }
    Stmt& bind(int i, const std::string& v) {
        check(sqlite3_bind_text(s_, i, v.data(), int(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Stmt& bind(int i, const void* p, size_t n) {
        // A zero-length blob must still be non-NULL.
        static const uint8_t kEmpty = 0;
        check(sqlite3_bind_blob(s_, i, n ? p : &kEmpty, int(n), SQLITE_TRANSIENT));
        return *this;
    }
    // Bytes that stay unchanged until the statement has run (no copy).
    Stmt& bindStatic(int i, const uint8_t* p, size_t n) {
        static const uint8_t kEmpty = 0;
        check(sqlite3_bind_blob(s_, i, n ? p : &kEmpty, int(n), SQLITE_STATIC));
        return *this;
    }
    Stmt& bindNull(int i) {
        check(sqlite3_bind_null(s_, i));
        return *this;
    }
    // True while a row is available.
    bool step() {
        int rc = sqlite3_step(s_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        if ((rc & 0xFF) == SQLITE_CONSTRAINT)
            throw StorageError(StorageError::Duplicate, sqlite3_errmsg(sqlite3_db_handle(s_)));
        failOn(sqlite3_db_handle(s_), "step");
    }
    void run() {
        while (step()) {
        }
    }
    int64_t i64(int col) { return sqlite3_column_int64(s_, col); }
    bool isNull(int col) { return sqlite3_column_type(s_, col) == SQLITE_NULL; }
    std::string text(int col) {
        const unsigned char* t = sqlite3_column_text(s_, col);
        return t ? std::string(reinterpret_cast<const char*>(t),
                               size_t(sqlite3_column_bytes(s_, col)))
                 : std::string();
    }
    // A blob without a copy; valid until the next step.
    const uint8_t* blobData(int col, size_t& n) {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(s_, col));
        n = size_t(sqlite3_column_bytes(s_, col));
        return p;
    }
    std::vector<uint8_t> blob(int col) {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(s_, col));
        int n = sqlite3_column_bytes(s_, col);
        return p && n > 0 ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
    }

  private:
    void check(int rc) {
        if (rc != SQLITE_OK) failOn(sqlite3_db_handle(s_), "bind");
    }
    sqlite3_stmt* s_;
};

using Lock = std::lock_guard<SqliteStorage::WriterMutex>;

// A reader connection and its prepared statements.
struct SqliteStorage::Conn {
    sqlite3* db = nullptr;
    std::map<const char*, sqlite3_stmt*> cache;
    int64_t dataVersion = -1;
    ~Conn() {
        for (auto& [sql, stmt] : cache)
            sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
};

// Where a read runs: a reader connection of the pool, or the writer when
// this thread holds it (in a batch) or there are no readers (":memory:").
class SqliteStorage::Reading {
  public:
    explicit Reading(SqliteStorage& s);
    ~Reading();
    Reading(const Reading&) = delete;
    Stmt prepare(const char* sql);
    Conn* reader() { return conn_.get(); } // null when on the writer

  private:
    SqliteStorage& s_;
    std::unique_ptr<Conn> conn_;
    bool onWriter_ = false;
};

} // namespace nwd
