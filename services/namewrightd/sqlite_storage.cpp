// Opening and closing the file, batches and the directory stamp. The rest
// of the storage: sqlite_schema.* (tables, migrations), sqlite_statement.*
// (prepared statements), sqlite_records.cpp and sqlite_chunks.cpp.
#include "sqlite_storage.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "sqlite_statement.h"

namespace nwd {

namespace {

// The database and its side files hold password verifiers and nonces: they
// are for this account only, also when an earlier run (or another program)
// made them readable to others. SQLite gives new side files the mode of the
// database, so fixing the database first covers the ones it makes later.
void keepPrivate(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const std::string file = path + suffix;
        struct stat st {};
        if (stat(file.c_str(), &st) != 0 || (st.st_mode & 077) == 0) continue;
        if (chmod(file.c_str(), st.st_mode & 0700) != 0)
            throw StorageError(StorageError::Failure,
                               "cannot make " + file +
                                   " private (chmod 600): " + std::strerror(errno));
    }
}

} // namespace

SqliteStorage::SqliteStorage(const std::string& path) {
    int rc =
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StorageError(StorageError::Failure, "cannot open " + path + ": " + msg);
    }
    try {
        if (path != ":memory:") keepPrivate(path);
        sqlite3_busy_timeout(db_, 5000);
        if (path != ":memory:") {
            exec("PRAGMA journal_mode = WAL");
            keepPrivate(path);
        }
        exec("PRAGMA synchronous = FULL");
        // Foreign keys only after a migration: rebuilding `entries` must not
        // cascade (and the pragma cannot change inside its transaction).
        exec("PRAGMA foreign_keys = OFF");
        migrate();
        exec("PRAGMA foreign_keys = ON");
    } catch (...) {
        closeDb();
        throw;
    }
}

SqliteStorage::~SqliteStorage() {
    closeDb();
}

// Statements first: a connection with live statements does not close.
void SqliteStorage::closeDb() {
    for (auto& [sql, stmt] : cache_)
        sqlite3_finalize(stmt);
    cache_.clear();
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
}

// Batches nest as savepoints. They all share one name: RELEASE and ROLLBACK
// TO take the innermost savepoint of a name, and batches end in reverse
// order of their beginning, so the statements stay the same (and prepared)
// at every depth.
void SqliteStorage::begin() {
    mutex_.lock();
    try {
        prepare(depth_ == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT batch").run();
        ++depth_;
    } catch (...) {
        mutex_.unlock();
        throw;
    }
}

void SqliteStorage::commit() {
    std::lock_guard<std::recursive_mutex> unlockAtEnd(mutex_, std::adopt_lock);
    if (depth_ == 1) {
        try {
            prepare("COMMIT").run();
        } catch (...) {
            // A failed COMMIT may leave the transaction open; end it so the
            // connection stays usable.
            if (!sqlite3_get_autocommit(db_))
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            depth_ = 0;
            throw;
        }
    } else {
        prepare("RELEASE batch").run();
    }
    --depth_;
}

void SqliteStorage::rollback() {
    std::lock_guard<std::recursive_mutex> unlockAtEnd(mutex_, std::adopt_lock);
    ++stamp_; // whatever was undone may have been seen meanwhile
    --depth_;
    if (depth_ == 0) {
        if (!sqlite3_get_autocommit(db_)) exec("ROLLBACK");
    } else {
        exec("ROLLBACK TO batch; RELEASE batch");
    }
}

uint64_t SqliteStorage::directoryStamp() {
    Lock l(mutex_);
    Stmt s = prepare("PRAGMA data_version");
    const int64_t v = s.step() ? s.i64(0) : 0;
    if (v != dataVersion_) { // another connection committed
        dataVersion_ = v;
        ++stamp_;
    }
    return stamp_;
}

} // namespace nwd
