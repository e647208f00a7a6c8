// Opening and closing the file, the writer's lock, reader connections,
// batches, group commit and the directory stamp. The rest of the storage:
// sqlite_schema.* (tables, migrations), sqlite_statement.* (prepared
// statements), sqlite_records.cpp and sqlite_chunks.cpp.
#include "sqlite_storage.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr int kBusyMs = 5000; // how long a busy file is waited for

// The commits a thread made and has not waited for (see waitDurable()).
struct Pending {
    const SqliteStorage* storage = nullptr;
    uint64_t ticket = 0;
};
thread_local Pending tlsPending;

int onCommit(void* committed) {
    *static_cast<bool*>(committed) = true;
    return 0; // let it commit
}

} // namespace

void SqliteStorage::WriterMutex::lock() {
    m_.lock();
    if (depth_++ == 0) owner_ = std::this_thread::get_id();
}

bool SqliteStorage::WriterMutex::try_lock() {
    if (!m_.try_lock()) return false;
    if (depth_++ == 0) owner_ = std::this_thread::get_id();
    return true;
}

// The ticket is given while the lock is still held, after the commit wrote
// its frames: a sync that starts after reading commits_ covers it.
void SqliteStorage::WriterMutex::unlock() {
    if (--depth_ == 0) {
        owner_ = std::thread::id();
        if (s_.committed_) {
            s_.committed_ = false;
            if (s_.groupCommit_) tlsPending = Pending{&s_, ++s_.commits_};
        }
    }
    m_.unlock();
}

SqliteStorage::Reading::Reading(SqliteStorage& s) : s_(s) {
    if (s.path_ != ":memory:" && !s.mutex_.heldHere()) {
        {
            std::lock_guard<std::mutex> l(s.readersMu_);
            if (!s.idleReaders_.empty()) {
                conn_ = std::move(s.idleReaders_.back());
                s.idleReaders_.pop_back();
            }
        }
        if (!conn_) {
            auto c = std::make_unique<Conn>();
            if (sqlite3_open_v2(s.path_.c_str(), &c->db,
                                SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                nullptr) == SQLITE_OK &&
                sqlite3_exec(c->db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr) ==
                    SQLITE_OK) {
                sqlite3_busy_timeout(c->db, kBusyMs);
                conn_ = std::move(c);
            }
        }
    }
    if (!conn_) { // no reader to be had: the writer serves
        s.mutex_.lock();
        onWriter_ = true;
    }
}

SqliteStorage::Reading::~Reading() {
    if (onWriter_) {
        s_.mutex_.unlock();
    } else {
        std::lock_guard<std::mutex> l(s_.readersMu_);
        s_.idleReaders_.push_back(std::move(conn_));
    }
}

SqliteStorage::Stmt SqliteStorage::Reading::prepare(const char* sql) {
    if (onWriter_) return s_.prepare(sql);
    return prepareOn(s_, conn_->db, conn_->cache, sql);
}

SqliteStorage::SqliteStorage(const std::string& path) : path_(path) {
    int rc =
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StorageError(StorageError::Failure, "cannot open " + path + ": " + msg);
    }
    sqlite3_commit_hook(db_, onCommit, &committed_);
    try {
        if (path != ":memory:") keepPrivate(path);
        sqlite3_busy_timeout(db_, kBusyMs);
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
    if (walFd_ >= 0) close(walFd_);
}

// Statements first: a connection with live statements does not close.
void SqliteStorage::closeDb() {
    idleReaders_.clear();
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
        if (depth_ == 0)
            beginImmediate();
        else
            prepare("SAVEPOINT batch").run();
        ++depth_;
    } catch (...) {
        mutex_.unlock();
        throw;
    }
}

// Another process (an admin command) holding the file's write lock is
// waited for without holding the writer: other threads' reads, and their
// look-ups on the writer, go on meanwhile.
void SqliteStorage::beginImmediate() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMs);
    auto pause = std::chrono::microseconds(500);
    sqlite3_busy_timeout(db_, 0);
    for (;;) {
        const int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) break;
        if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) {
            sqlite3_busy_timeout(db_, kBusyMs);
            fail("begin");
        }
        // Only the outermost hold can let go of the writer.
        const bool outermost = depth_ == 0;
        if (outermost) mutex_.unlock();
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
        if (outermost) mutex_.lock(); // any other thread's batch has ended
    }
    sqlite3_busy_timeout(db_, kBusyMs);
}

void SqliteStorage::commit() {
    std::lock_guard<WriterMutex> unlockAtEnd(mutex_, std::adopt_lock);
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
    std::lock_guard<WriterMutex> unlockAtEnd(mutex_, std::adopt_lock);
    ++stamp_; // whatever was undone may have been seen meanwhile
    --depth_;
    if (depth_ == 0) {
        if (!sqlite3_get_autocommit(db_)) exec("ROLLBACK");
    } else {
        exec("ROLLBACK TO batch; RELEASE batch");
    }
}

// On the writer when it is free: it sees only other connections' commits.
// While a write holds it, on a reader, which sees this daemon's own commits
// too: a needless refresh of the names, never a stale one.
uint64_t SqliteStorage::directoryStamp() {
    std::unique_lock<WriterMutex> l(mutex_, std::try_to_lock);
    if (l.owns_lock() || path_ == ":memory:") {
        if (!l.owns_lock()) l.lock();
        Stmt s = prepare("PRAGMA data_version");
        const int64_t v = s.step() ? s.i64(0) : 0;
        if (v != dataVersion_) { // another connection committed
            dataVersion_ = v;
            ++stamp_;
        }
        return stamp_;
    }
    Reading r(*this);
    Stmt s = r.prepare("PRAGMA data_version");
    const int64_t v = s.step() ? s.i64(0) : 0;
    if (Conn* c = r.reader(); c && v != c->dataVersion) {
        c->dataVersion = v;
        ++stamp_;
    }
    return stamp_;
}

void SqliteStorage::enableGroupCommit() {
    Lock l(mutex_);
    if (path_ == ":memory:") return;
    exec("PRAGMA synchronous = NORMAL");
    groupCommit_ = true;
}

int SqliteStorage::syncWal() {
    if (walFd_ < 0) walFd_ = open((path_ + "-wal").c_str(), O_RDONLY | O_CLOEXEC);
    if (walFd_ < 0 || fdatasync(walFd_) != 0) return errno;
    return 0;
}

// One thread syncs for everybody who waits: the commits counted before its
// sync began are durable when it ends.
void SqliteStorage::waitDurable() {
    if (tlsPending.storage != this) return;
    const uint64_t ticket = tlsPending.ticket;
    tlsPending = Pending{};
    std::unique_lock<std::mutex> l(syncMu_);
    while (durable_ < ticket) {
        if (syncing_) {
            synced_.wait(l);
            continue;
        }
        syncing_ = true;
        const uint64_t upto = commits_;
        l.unlock();
        const int err = syncWal();
        l.lock();
        syncing_ = false;
        synced_.notify_all();
        if (err)
            throw StorageError(StorageError::Failure,
                               std::string("database sync: ") + std::strerror(err));
        durable_ = std::max(durable_, upto);
    }
}

} // namespace nwd
