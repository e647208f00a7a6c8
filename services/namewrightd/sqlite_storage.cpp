#include "sqlite_storage.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>

namespace nwd {

namespace {

// Bumped with every change of the tables below; an older file is migrated,
// a newer one refused. 1: attribute values whole in one row; 2: in chunks;
// 3: entry ids never reused.
constexpr int kSchemaVersion = 3;

// Entry ids are never reused (AUTOINCREMENT): sessions and nonces name
// their user by id, and an id given again to a later entry would hand them
// that entry (a new user, an administrator) after the first was removed.
const char* const kEntriesSchema = R"SQL(
CREATE TABLE entries (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    parent_id INTEGER REFERENCES entries(id) ON DELETE CASCADE,
    kind      INTEGER NOT NULL,
    name      TEXT NOT NULL,
    name_key  TEXT NOT NULL
);
CREATE UNIQUE INDEX entries_child ON entries(parent_id, name_key) WHERE parent_id IS NOT NULL;
CREATE UNIQUE INDEX entries_top ON entries(name_key) WHERE parent_id IS NULL;
)SQL";

// Everything but the entries (kEntriesSchema) and the attributes
// (kAttributeSchema).
const char* const kSchema = R"SQL(
CREATE TABLE group_info (
    entry_id INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    server   TEXT NOT NULL
);
CREATE TABLE users (
    entry_id    INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    salt        BLOB NOT NULL,
    hash        BLOB NOT NULL,
    iterations  INTEGER NOT NULL,
    description TEXT NOT NULL,
    admin       INTEGER NOT NULL
);
CREATE TABLE services (
    entry_id   INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    class      INTEGER NOT NULL,
    rpc_port   BLOB,
    spp_port   BLOB,
    manager_id INTEGER REFERENCES entries(id) ON DELETE SET NULL
);
CREATE INDEX services_manager ON services(manager_id);
CREATE TABLE servers (
    entry_id  INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    address   INTEGER NOT NULL,
    server_id INTEGER NOT NULL
);
CREATE INDEX servers_by_id ON servers(server_id);
CREATE TABLE nicknames (
    entry_id  INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    target_id INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE
);
CREATE INDEX nicknames_target ON nicknames(target_id);
CREATE TABLE list_members (
    list_id   INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    member_id INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    PRIMARY KEY (list_id, member_id)
) WITHOUT ROWID;
CREATE INDEX list_members_member ON list_members(member_id);
CREATE TABLE profile_entries (
    owner_id INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    key_fold TEXT NOT NULL,
    key      TEXT NOT NULL,
    value    TEXT NOT NULL,
    PRIMARY KEY (owner_id, key_fold)
) WITHOUT ROWID;
CREATE TABLE nonces (
    serial  INTEGER PRIMARY KEY AUTOINCREMENT,
    opaque  BLOB NOT NULL,
    word1   INTEGER NOT NULL,
    user_id INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    issued  INTEGER NOT NULL
);
CREATE INDEX nonces_user ON nonces(user_id, serial);
CREATE INDEX nonces_issued ON nonces(issued);
CREATE TABLE messages (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    recipient_id INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    sender       TEXT NOT NULL,
    text         TEXT NOT NULL,
    received     INTEGER NOT NULL
);
CREATE INDEX messages_recipient ON messages(recipient_id, id);
-- Association records of objects and groups.
CREATE TABLE assoc_records (
    owner_id INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    record   INTEGER NOT NULL,
    data     BLOB NOT NULL,
    PRIMARY KEY (owner_id, record)
) WITHOUT ROWID;
)SQL";

// Attribute values of objects and groups: a head row per value (type and
// size in bytes), the bytes in chunk rows of kChunkBytes, so that a write
// touches only the chunks of its range. Chunk k of the value whose head is
// A is row A * kChunksPerValue + k of attr_chunks: one look-up per chunk,
// and a value's chunks are one range of row ids. A chunk row holds at most
// the bytes of its chunk that lie below the value's size; a missing row, and
// the missing end of a short one, read as zeros (a gap costs nothing).
// Head ids are never reused (AUTOINCREMENT), so a chunk row that outlived
// its head could never show up in another value. The numbers in the SQL
// are kChunksPerValue.
const char* const kAttributeSchema = R"SQL(
CREATE TABLE attributes (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    owner_id INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    category INTEGER NOT NULL,
    number   INTEGER NOT NULL,
    type     INTEGER NOT NULL,
    size     INTEGER NOT NULL
);
CREATE UNIQUE INDEX attributes_name ON attributes(owner_id, category, number);
CREATE TABLE attr_chunks (
    id   INTEGER PRIMARY KEY,
    data BLOB NOT NULL
);
CREATE TRIGGER attributes_drop_chunks AFTER DELETE ON attributes BEGIN
    DELETE FROM attr_chunks WHERE id BETWEEN old.id * 256 AND old.id * 256 + 255;
END;
)SQL";

// Stored layout: changing either is a compatibility break.
constexpr uint64_t kChunkBytes = 4096;
constexpr int64_t kChunksPerValue = 256;
static_assert(kChunkBytes * kChunksPerValue == kMaxAttrBytes);

std::string foldKey(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return out;
}

} // namespace

// A cached prepared statement, reset when it goes out of scope.
class SqliteStorage::Stmt {
  public:
    Stmt(SqliteStorage& owner, sqlite3_stmt* s) : owner_(owner), s_(s) {}
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
            throw StorageError(StorageError::Duplicate, sqlite3_errmsg(owner_.db_));
        owner_.fail("step");
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
        if (rc != SQLITE_OK) owner_.fail("bind");
    }
    SqliteStorage& owner_;
    sqlite3_stmt* s_;
};

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
        sqlite3_busy_timeout(db_, 5000);
        if (path != ":memory:") exec("PRAGMA journal_mode = WAL");
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

void SqliteStorage::migrate() {
    Transaction t(*this);
    int version;
    {
        Stmt s = prepare("PRAGMA user_version");
        version = s.step() ? int(s.i64(0)) : 0;
    }
    if (version > kSchemaVersion)
        throw StorageError(StorageError::Failure,
                           "the database was written by a newer namewrightd (schema " +
                               std::to_string(version) + ")");
    if (version == 0) {
        exec(kEntriesSchema);
        exec(kSchema);
        exec(kAttributeSchema);
    } else {
        if (version < 2) migrateAttributesFrom1();
        if (version < 3) migrateEntriesFrom2();
    }
    if (version < kSchemaVersion)
        exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    t.commit();
    // Statements prepared against the old schema are stale now.
    for (auto& [sql, stmt] : cache_)
        sqlite3_finalize(stmt);
    cache_.clear();
}

// Schema 1 kept each value whole in one row of `attributes`; its values are
// copied into chunks and the old table dropped, within the caller's batch.
void SqliteStorage::migrateAttributesFrom1() {
    exec("ALTER TABLE attributes RENAME TO attributes_1");
    exec(kAttributeSchema);
    {
        Stmt old = prepare("SELECT owner_id, category, number, type, value FROM attributes_1");
        while (old.step()) {
            const int64_t owner = old.i64(0);
            const AttrId id{uint32_t(old.i64(1)), uint32_t(old.i64(2))};
            const int64_t type = old.i64(3);
            size_t n = 0;
            const uint8_t* p = old.blobData(4, n);
            if (n > kMaxAttrBytes || type < 1 || type > 5)
                throw StorageError(StorageError::Damaged,
                                   "cannot migrate attribute " + std::to_string(id.category) + "," +
                                       std::to_string(id.number) + " of entry " +
                                       std::to_string(owner) + ": damaged value");
            writeAttribute(owner, id, uint32_t(type), 0, p, n, true);
        }
    }
    exec("DROP TABLE attributes_1");
}

// Schema 2 numbered entries without AUTOINCREMENT, so the highest id came
// back after its entry was removed. The table is built anew with the same
// ids, within the caller's batch and with foreign keys off: the other
// tables keep referring to `entries` by name (legacy renaming leaves their
// references alone), and the old table is dropped without cascading.
void SqliteStorage::migrateEntriesFrom2() {
    exec("PRAGMA legacy_alter_table = ON");
    try {
        exec("DROP INDEX entries_child; DROP INDEX entries_top;"
             "ALTER TABLE entries RENAME TO entries_2");
        exec(kEntriesSchema);
        exec("INSERT INTO entries(id, parent_id, kind, name, name_key) "
             "SELECT id, parent_id, kind, name, name_key FROM entries_2;"
             "DROP TABLE entries_2");
    } catch (...) {
        exec("PRAGMA legacy_alter_table = OFF");
        throw;
    }
    exec("PRAGMA legacy_alter_table = OFF");
    Stmt check = prepare("PRAGMA foreign_key_check");
    if (check.step())
        throw StorageError(StorageError::Damaged, "cannot migrate the entries: table " +
                                                      check.text(0) + " refers to a missing entry");
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

using Lock = std::lock_guard<std::recursive_mutex>;

namespace {
Entry readEntry(int64_t id, int64_t parent, int64_t kind, std::string name) {
    Entry e;
    e.id = id;
    e.parentId = parent;
    e.kind = Kind(kind);
    e.name = std::move(name);
    return e;
}
} // namespace

std::optional<Entry> SqliteStorage::findChild(int64_t parentId, const std::string& key) {
    Lock l(mutex_);
    if (parentId == 0) {
        Stmt s =
            prepare("SELECT id, kind, name FROM entries WHERE parent_id IS NULL AND name_key = ?");
        s.bind(1, key);
        if (!s.step()) return std::nullopt;
        return readEntry(s.i64(0), 0, s.i64(1), s.text(2));
    }
    Stmt s = prepare("SELECT id, kind, name FROM entries WHERE parent_id = ? AND name_key = ?");
    s.bind(1, parentId).bind(2, key);
    if (!s.step()) return std::nullopt;
    return readEntry(s.i64(0), parentId, s.i64(1), s.text(2));
}

std::optional<Entry> SqliteStorage::entry(int64_t id) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT coalesce(parent_id, 0), kind, name FROM entries WHERE id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    return readEntry(id, s.i64(0), s.i64(1), s.text(2));
}

int64_t SqliteStorage::addEntry(int64_t parentId, Kind kind, const std::string& name,
                                const std::string& key) {
    Lock l(mutex_);
    ++stamp_;
    Stmt s = prepare("INSERT INTO entries(parent_id, kind, name, name_key) VALUES (?, ?, ?, ?)");
    s.bindNullable(1, parentId).bind(2, int64_t(kind)).bind(3, name).bind(4, key);
    s.run();
    return sqlite3_last_insert_rowid(db_);
}

bool SqliteStorage::removeEntry(int64_t id) {
    Lock l(mutex_);
    ++stamp_;
    Stmt s = prepare("DELETE FROM entries WHERE id = ?");
    s.bind(1, id).run();
    return sqlite3_changes(db_) > 0;
}

std::vector<Entry> SqliteStorage::children(int64_t parentId, int kind) {
    Lock l(mutex_);
    std::vector<Entry> out;
    Stmt s = parentId == 0 ? prepare("SELECT id, kind, name FROM entries WHERE parent_id IS NULL "
                                     "AND ?1 = 0 AND (?2 = 0 OR kind = ?2) ORDER BY name_key")
                           : prepare("SELECT id, kind, name FROM entries WHERE parent_id = ?1 "
                                     "AND (?2 = 0 OR kind = ?2) ORDER BY name_key");
    s.bind(1, parentId).bind(2, int64_t(kind));
    while (s.step())
        out.push_back(readEntry(s.i64(0), parentId, s.i64(1), s.text(2)));
    return out;
}

std::string SqliteStorage::groupServer(int64_t groupId) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT server FROM group_info WHERE entry_id = ?");
    s.bind(1, groupId);
    return s.step() ? s.text(0) : std::string();
}

void SqliteStorage::setGroupServer(int64_t groupId, const std::string& server) {
    Lock l(mutex_);
    ++stamp_;
    Stmt s = prepare("INSERT INTO group_info(entry_id, server) VALUES (?1, ?2) "
                     "ON CONFLICT(entry_id) DO UPDATE SET server = ?2");
    s.bind(1, groupId).bind(2, server).run();
}

std::optional<UserRecord> SqliteStorage::user(int64_t id) {
    Lock l(mutex_);
    Stmt s =
        prepare("SELECT salt, hash, iterations, description, admin FROM users WHERE entry_id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    UserRecord u;
    u.password.salt = s.blob(0);
    u.password.hash = s.blob(1);
    int64_t it = s.i64(2);
    u.password.iterations = it > 0 && it <= int64_t(UINT32_MAX) ? uint32_t(it) : 0;
    u.description = s.text(3);
    u.admin = s.i64(4) != 0;
    return u;
}

void SqliteStorage::setUser(int64_t id, const UserRecord& u) {
    Lock l(mutex_);
    ++stamp_;
    Stmt s = prepare("INSERT OR REPLACE INTO users(entry_id, salt, hash, iterations, description, "
                     "admin) VALUES (?, ?, ?, ?, ?, ?)");
    s.bind(1, id)
        .bind(2, u.password.salt.data(), u.password.salt.size())
        .bind(3, u.password.hash.data(), u.password.hash.size())
        .bind(4, int64_t(u.password.iterations))
        .bind(5, u.description)
        .bind(6, int64_t(u.admin));
    s.run();
}

namespace {
std::optional<PortRecord> portFrom(const std::vector<uint8_t>& b) {
    if (b.size() != 16) return std::nullopt;
    PortRecord p;
    std::memcpy(p.data(), b.data(), 16);
    return p;
}
} // namespace

std::optional<ServiceRecord> SqliteStorage::service(int64_t id) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT class, rpc_port, spp_port, coalesce(manager_id, 0) FROM services "
                     "WHERE entry_id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    ServiceRecord r;
    int64_t c = s.i64(0);
    r.serviceClass = c == 1   ? ServiceClass::File
                     : c == 2 ? ServiceClass::Print
                              : ServiceClass::Other;
    if (!s.isNull(1)) r.rpcPort = portFrom(s.blob(1));
    if (!s.isNull(2)) r.sppPort = portFrom(s.blob(2));
    r.managerId = s.i64(3);
    return r;
}

void SqliteStorage::setService(int64_t id, const ServiceRecord& r) {
    Lock l(mutex_);
    Stmt s = prepare("INSERT OR REPLACE INTO services(entry_id, class, rpc_port, spp_port, "
                     "manager_id) VALUES (?, ?, ?, ?, ?)");
    s.bind(1, id).bind(2, int64_t(r.serviceClass));
    if (r.rpcPort)
        s.bind(3, r.rpcPort->data(), 16);
    else
        s.bindNull(3);
    if (r.sppPort)
        s.bind(4, r.sppPort->data(), 16);
    else
        s.bindNull(4);
    s.bindNullable(5, r.managerId);
    s.run();
}

std::optional<ServerRecord> SqliteStorage::server(int64_t id) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT address, server_id FROM servers WHERE entry_id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    return ServerRecord{uint32_t(s.i64(0)), uint32_t(s.i64(1))};
}

void SqliteStorage::setServer(int64_t id, const ServerRecord& r) {
    Lock l(mutex_);
    Stmt s =
        prepare("INSERT OR REPLACE INTO servers(entry_id, address, server_id) VALUES (?, ?, ?)");
    s.bind(1, id).bind(2, int64_t(r.address)).bind(3, int64_t(r.serverId)).run();
}

std::optional<Entry> SqliteStorage::findServerById(uint32_t serverId) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT e.id, coalesce(e.parent_id, 0), e.kind, e.name FROM servers v "
                     "JOIN entries e ON e.id = v.entry_id WHERE v.server_id = ? LIMIT 1");
    s.bind(1, int64_t(serverId));
    if (!s.step()) return std::nullopt;
    return readEntry(s.i64(0), s.i64(1), s.i64(2), s.text(3));
}

std::optional<int64_t> SqliteStorage::nicknameTarget(int64_t id) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT target_id FROM nicknames WHERE entry_id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    return s.i64(0);
}

void SqliteStorage::setNickname(int64_t id, int64_t targetId) {
    Lock l(mutex_);
    ++stamp_;
    Stmt s = prepare("INSERT OR REPLACE INTO nicknames(entry_id, target_id) VALUES (?, ?)");
    s.bind(1, id).bind(2, targetId).run();
}

bool SqliteStorage::addMember(int64_t listId, int64_t memberId) {
    Lock l(mutex_);
    Stmt s = prepare("INSERT OR IGNORE INTO list_members(list_id, member_id) VALUES (?, ?)");
    s.bind(1, listId).bind(2, memberId).run();
    return sqlite3_changes(db_) > 0;
}

bool SqliteStorage::removeMember(int64_t listId, int64_t memberId) {
    Lock l(mutex_);
    Stmt s = prepare("DELETE FROM list_members WHERE list_id = ? AND member_id = ?");
    s.bind(1, listId).bind(2, memberId).run();
    return sqlite3_changes(db_) > 0;
}

std::vector<int64_t> SqliteStorage::members(int64_t listId) {
    Lock l(mutex_);
    std::vector<int64_t> out;
    Stmt s = prepare("SELECT member_id FROM list_members WHERE list_id = ? ORDER BY member_id");
    s.bind(1, listId);
    while (s.step())
        out.push_back(s.i64(0));
    return out;
}

void SqliteStorage::setProfile(int64_t ownerId, const std::string& key, const std::string& value) {
    Lock l(mutex_);
    Stmt s = prepare("INSERT OR REPLACE INTO profile_entries(owner_id, key_fold, key, value) "
                     "VALUES (?, ?, ?, ?)");
    s.bind(1, ownerId).bind(2, foldKey(key)).bind(3, key).bind(4, value).run();
}

bool SqliteStorage::removeProfile(int64_t ownerId, const std::string& key) {
    Lock l(mutex_);
    Stmt s = prepare("DELETE FROM profile_entries WHERE owner_id = ? AND key_fold = ?");
    s.bind(1, ownerId).bind(2, foldKey(key)).run();
    return sqlite3_changes(db_) > 0;
}

std::vector<ProfileEntry> SqliteStorage::profile(int64_t ownerId) {
    Lock l(mutex_);
    std::vector<ProfileEntry> out;
    Stmt s = prepare("SELECT key, value FROM profile_entries WHERE owner_id = ? ORDER BY key_fold");
    s.bind(1, ownerId);
    while (s.step())
        out.push_back({s.text(0), s.text(1)});
    return out;
}

uint32_t SqliteStorage::addNonce(const NonceRecord& r) {
    Lock l(mutex_);
    Stmt s = prepare("INSERT INTO nonces(opaque, word1, user_id, issued) VALUES (?, ?, ?, ?)");
    s.bind(1, r.opaque.data(), r.opaque.size())
        .bind(2, int64_t(r.word1))
        .bind(3, r.userId)
        .bind(4, int64_t(r.issued));
    s.run();
    int64_t serial = sqlite3_last_insert_rowid(db_);
    if (serial <= 0 || serial > int64_t(UINT32_MAX))
        throw StorageError(StorageError::Failure, "nonce serial numbers are exhausted");
    return uint32_t(serial);
}

std::optional<NonceRecord> SqliteStorage::findNonce(uint32_t serial) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT opaque, word1, user_id, issued FROM nonces WHERE serial = ?");
    s.bind(1, int64_t(serial));
    if (!s.step()) return std::nullopt;
    std::vector<uint8_t> opaque = s.blob(0);
    if (opaque.size() != 6) throw StorageError(StorageError::Damaged, "damaged nonce record");
    NonceRecord r;
    r.serial = serial;
    std::memcpy(r.opaque.data(), opaque.data(), 6);
    r.word1 = uint32_t(s.i64(1));
    r.userId = s.i64(2);
    r.issued = uint32_t(s.i64(3));
    return r;
}

void SqliteStorage::pruneNonces(int64_t userId, size_t keep, uint32_t notBefore) {
    Lock l(mutex_);
    Transaction t(*this);
    {
        Stmt s = prepare("DELETE FROM nonces WHERE user_id = ?1 AND serial NOT IN "
                         "(SELECT serial FROM nonces WHERE user_id = ?1 ORDER BY serial DESC "
                         "LIMIT ?2)");
        s.bind(1, userId).bind(2, int64_t(keep)).run();
    }
    {
        Stmt s = prepare("DELETE FROM nonces WHERE issued < ?");
        s.bind(1, int64_t(notBefore)).run();
    }
    t.commit();
}

size_t SqliteStorage::removeNonces(int64_t userId) {
    Lock l(mutex_);
    Stmt s = prepare("DELETE FROM nonces WHERE user_id = ?");
    s.bind(1, userId).run();
    return size_t(sqlite3_changes(db_));
}

void SqliteStorage::addMessage(int64_t recipientId, const MessageRecord& r, size_t keep) {
    Lock l(mutex_);
    Transaction t(*this);
    {
        Stmt s = prepare("INSERT INTO messages(recipient_id, sender, text, received) "
                         "VALUES (?, ?, ?, ?)");
        s.bind(1, recipientId).bind(2, r.sender).bind(3, r.text).bind(4, int64_t(r.received)).run();
    }
    {
        Stmt s = prepare("DELETE FROM messages WHERE recipient_id = ?1 AND id NOT IN "
                         "(SELECT id FROM messages WHERE recipient_id = ?1 ORDER BY id DESC "
                         "LIMIT ?2)");
        s.bind(1, recipientId).bind(2, int64_t(keep)).run();
    }
    t.commit();
}

std::vector<MessageRecord> SqliteStorage::messages(int64_t recipientId) {
    Lock l(mutex_);
    std::vector<MessageRecord> out;
    Stmt s = prepare("SELECT id, sender, text, received FROM messages WHERE recipient_id = ? "
                     "ORDER BY id");
    s.bind(1, recipientId);
    while (s.step()) {
        MessageRecord m;
        m.id = s.i64(0);
        m.sender = s.text(1);
        m.text = s.text(2);
        m.received = uint32_t(s.i64(3));
        out.push_back(std::move(m));
    }
    return out;
}

size_t SqliteStorage::clearMessages(int64_t recipientId) {
    Lock l(mutex_);
    Stmt s = prepare("DELETE FROM messages WHERE recipient_id = ?");
    s.bind(1, recipientId).run();
    return size_t(sqlite3_changes(db_));
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

std::optional<AttrValue> SqliteStorage::attribute(int64_t ownerId, AttrId id) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT a.type, a.size, c.id - a.id * 256, c.data FROM attributes a "
                     "LEFT JOIN attr_chunks c ON c.id BETWEEN a.id * 256 AND a.id * 256 + 255 "
                     "WHERE a.owner_id = ? AND a.category = ? AND a.number = ?");
    s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
    if (!s.step()) return std::nullopt;
    AttrValue v;
    v.type = uint32_t(s.i64(0));
    const int64_t size = s.i64(1);
    if (size < 0 || uint64_t(size) > kMaxAttrBytes)
        throw StorageError(StorageError::Damaged, "damaged attribute size");
    v.bytes.assign(size_t(size), 0);
    do {
        if (s.isNull(2)) break; // no chunks: all zero
        const int64_t k = s.i64(2);
        size_t n = 0;
        const uint8_t* p = s.blobData(3, n);
        const uint64_t at = uint64_t(k) * kChunkBytes;
        if (k < 0 || at > v.bytes.size() || n > std::min(kChunkBytes, v.bytes.size() - at))
            throw StorageError(StorageError::Damaged, "damaged attribute chunk");
        if (n) std::memcpy(v.bytes.data() + at, p, n);
    } while (s.step());
    return v;
}

std::optional<AttrSize> SqliteStorage::attributeSize(int64_t ownerId, AttrId id) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT type, size FROM attributes WHERE owner_id = ? AND category = ? "
                     "AND number = ?");
    s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
    if (!s.step()) return std::nullopt;
    return AttrSize{uint32_t(s.i64(0)), uint64_t(s.i64(1))};
}

void SqliteStorage::setAttribute(int64_t ownerId, AttrId id, const AttrValue& v) {
    writeAttribute(ownerId, id, v.type, 0, v.bytes.data(), v.bytes.size(), true);
}

void SqliteStorage::writeAttribute(int64_t ownerId, AttrId id, uint32_t type, uint64_t offset,
                                   const uint8_t* data, size_t n, bool cut) {
    Lock l(mutex_);
    if (offset > kMaxAttrBytes || n > kMaxAttrBytes - offset)
        throw StorageError(StorageError::Failure, "attribute value longer than 1 MiB");
    const uint64_t end = offset + n;
    Transaction t(*this);
    int64_t head = 0;
    uint64_t oldSize = 0;
    int64_t oldType = -1;
    {
        Stmt s = prepare("SELECT id, size, type FROM attributes WHERE owner_id = ? AND "
                         "category = ? AND number = ?");
        s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
        if (s.step()) {
            head = s.i64(0);
            oldSize = uint64_t(s.i64(1));
            oldType = s.i64(2);
        }
    }
    if (head == 0) {
        Stmt s = prepare("INSERT INTO attributes(owner_id, category, number, type, size) "
                         "VALUES (?, ?, ?, ?, 0)");
        s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number));
        s.bind(4, int64_t(type)).run();
        head = sqlite3_last_insert_rowid(db_);
    }
    const uint64_t newSize = cut ? end : std::max(oldSize, end);
    const int64_t base = head * kChunksPerValue;
    // Chunks that end up wholly or partly past the new end.
    if (newSize < oldSize) {
        const int64_t kept = int64_t((newSize + kChunkBytes - 1) / kChunkBytes);
        {
            Stmt s = prepare("DELETE FROM attr_chunks WHERE id BETWEEN ? AND ?");
            s.bind(1, base + kept).bind(2, base + kChunksPerValue - 1).run();
        }
        // The last chunk kept may hold bytes beyond the cut; unless this
        // write rewrites it below, shorten it so they cannot come back.
        const uint64_t tail = newSize % kChunkBytes;
        const bool rewritten = n > 0 && (end - 1) / kChunkBytes == uint64_t(kept - 1);
        if (tail && !rewritten) {
            Stmt s = prepare("UPDATE attr_chunks SET data = substr(data, 1, ?1) "
                             "WHERE id = ?2 AND length(data) > ?1");
            s.bind(1, int64_t(tail)).bind(2, base + kept - 1).run();
        }
    }
    // The written range, chunk by chunk: a chunk it covers up to the value's
    // end is replaced; another one is read, changed and stored.
    std::vector<uint8_t> buf;
    for (uint64_t k = offset / kChunkBytes; n > 0 && k * kChunkBytes < end; ++k) {
        const uint64_t chunkAt = k * kChunkBytes;
        const uint64_t span = std::min(kChunkBytes, newSize - chunkAt);
        const uint64_t from = std::max(offset, chunkAt) - chunkAt;
        const uint64_t to = std::min(end, chunkAt + kChunkBytes) - chunkAt;
        const uint8_t* src = data + (chunkAt + from - offset);
        const uint8_t* row;
        size_t rowBytes;
        if (from == 0 && to >= span) {
            row = src;
            rowBytes = size_t(to);
        } else {
            buf.clear();
            {
                Stmt s = prepare("SELECT data FROM attr_chunks WHERE id = ?");
                s.bind(1, base + int64_t(k));
                if (s.step()) {
                    size_t had = 0;
                    const uint8_t* p = s.blobData(0, had);
                    if (p && had) buf.assign(p, p + std::min<uint64_t>(had, span));
                }
            }
            if (buf.size() < to) buf.resize(size_t(to), 0);
            std::memcpy(buf.data() + from, src, size_t(to - from));
            row = buf.data();
            rowBytes = buf.size();
        }
        // An UPDATE of a row of the same length overwrites its pages in
        // place; replacing the row would free and allocate them again.
        bool updated;
        {
            Stmt s = prepare("UPDATE attr_chunks SET data = ? WHERE id = ?");
            s.bindStatic(1, row, rowBytes).bind(2, base + int64_t(k)).run();
            updated = sqlite3_changes(db_) > 0;
        }
        if (!updated) {
            Stmt s = prepare("INSERT INTO attr_chunks(id, data) VALUES (?, ?)");
            s.bind(1, base + int64_t(k)).bindStatic(2, row, rowBytes).run();
        }
    }
    if (newSize != oldSize || int64_t(type) != oldType) {
        Stmt s = prepare("UPDATE attributes SET type = ?, size = ? WHERE id = ?");
        s.bind(1, int64_t(type)).bind(2, int64_t(newSize)).bind(3, head).run();
    }
    t.commit();
}

bool SqliteStorage::removeAttribute(int64_t ownerId, AttrId id) {
    Lock l(mutex_);
    Stmt s = prepare("DELETE FROM attributes WHERE owner_id = ? AND category = ? AND number = ?");
    s.bind(1, ownerId).bind(2, int64_t(id.category)).bind(3, int64_t(id.number)).run();
    return sqlite3_changes(db_) > 0;
}

std::vector<AttrId> SqliteStorage::attributeNames(int64_t ownerId, AttrId from, AttrId last,
                                                  size_t limit) {
    Lock l(mutex_);
    std::vector<AttrId> out;
    Stmt s = prepare("SELECT category, number FROM attributes WHERE owner_id = ?1 "
                     "AND (category > ?2 OR (category = ?2 AND number >= ?3)) "
                     "AND (category < ?4 OR (category = ?4 AND number <= ?5)) "
                     "ORDER BY category, number LIMIT ?6");
    s.bind(1, ownerId)
        .bind(2, int64_t(from.category))
        .bind(3, int64_t(from.number))
        .bind(4, int64_t(last.category))
        .bind(5, int64_t(last.number))
        .bind(6, int64_t(limit));
    while (s.step())
        out.push_back(AttrId{uint32_t(s.i64(0)), uint32_t(s.i64(1))});
    return out;
}

std::optional<std::vector<uint8_t>> SqliteStorage::assocRecord(int64_t ownerId, uint16_t record) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT data FROM assoc_records WHERE owner_id = ? AND record = ?");
    s.bind(1, ownerId).bind(2, int64_t(record));
    if (!s.step()) return std::nullopt;
    return s.blob(0);
}

void SqliteStorage::setAssocRecord(int64_t ownerId, uint16_t record,
                                   const std::vector<uint8_t>& data) {
    Lock l(mutex_);
    Stmt s = prepare("INSERT OR REPLACE INTO assoc_records(owner_id, record, data) "
                     "VALUES (?, ?, ?)");
    s.bind(1, ownerId).bind(2, int64_t(record)).bind(3, data.data(), data.size()).run();
}

const char* kindName(Kind k) {
    switch (k) {
    case Kind::User:
        return "user";
    case Kind::Service:
        return "service";
    case Kind::List:
        return "list";
    case Kind::Server:
        return "server";
    case Kind::Group:
        return "group";
    case Kind::Org:
        return "organisation";
    case Kind::Nickname:
        return "nickname";
    }
    return "unknown";
}

} // namespace nwd
