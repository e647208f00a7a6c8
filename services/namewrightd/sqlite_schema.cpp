// The tables of the directory file and the migrations of older files.
#include "sqlite_schema.h"

#include "sqlite_statement.h"

namespace nwd {

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

// Everything but the entries (kEntriesSchema), the users and nonces
// (kUserSchema) and the attributes (kAttributeSchema).
const char* const kSchema = R"SQL(
CREATE TABLE group_info (
    entry_id INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    server   TEXT NOT NULL
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

// Users and their login credentials. A user keeps a verifier of the
// password (salt, count, StoredKey, ServerKey: nothing to log in with) and an
// epoch that `user logout` and `user password` move, which ends the
// sessions opened before. Nonces are kept as keyed hashes (mac): the key
// lies outside the file, so a copy of the file holds no credential. A nonce
// is bound to the address of the workstation that logged in.
const char* const kUserSchema = R"SQL(
CREATE TABLE users (
    entry_id    INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    salt        BLOB NOT NULL,
    iterations  INTEGER NOT NULL,
    stored_key  BLOB NOT NULL,
    server_key  BLOB NOT NULL,
    description TEXT NOT NULL,
    admin       INTEGER NOT NULL,
    epoch       INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE nonces (
    serial      INTEGER PRIMARY KEY AUTOINCREMENT,
    mac         BLOB NOT NULL,
    word1       INTEGER NOT NULL,
    user_id     INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
    issued      INTEGER NOT NULL,
    workstation INTEGER NOT NULL
);
CREATE INDEX nonces_user ON nonces(user_id, serial);
CREATE INDEX nonces_issued ON nonces(issued);
)SQL";

// Attribute values of objects and groups: a head row per value (type, size
// in bytes and the number of writes committed to it, by which a chunked read
// sees that the value changed under it), the bytes in chunk rows of kChunkBytes, so that a write
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
    size     INTEGER NOT NULL,
    version  INTEGER NOT NULL DEFAULT 0
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

// The directory-assistance index: one row per user, service, list and
// nickname with the key of its full name ("ITEM@GROUP@ORG", the parts'
// keys), kept by triggers so that every writer (the service, an admin
// command on another connection) keeps it right. Entries are never renamed
// or moved; removing one removes its row by the cascade.
const char* const kNmdaSchema = R"SQL(
CREATE TABLE nmda_names (
    entry_id    INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    kind        INTEGER NOT NULL,
    class       INTEGER NOT NULL DEFAULT 0,
    sort_key    TEXT NOT NULL,
    name        TEXT NOT NULL,
    description TEXT NOT NULL DEFAULT ''
);
CREATE INDEX nmda_by_kind ON nmda_names(kind, sort_key);
CREATE TRIGGER nmda_entry AFTER INSERT ON entries WHEN new.kind IN (1, 2, 3, 9) BEGIN
    INSERT INTO nmda_names(entry_id, kind, sort_key, name)
    SELECT new.id, new.kind, new.name_key || '@' || g.name_key || '@' || o.name_key,
           new.name || '@' || g.name || '@' || o.name
    FROM entries g JOIN entries o ON o.id = g.parent_id WHERE g.id = new.parent_id;
END;
CREATE TRIGGER nmda_user_add AFTER INSERT ON users BEGIN
    UPDATE nmda_names SET description = new.description WHERE entry_id = new.entry_id;
END;
CREATE TRIGGER nmda_user_set AFTER UPDATE OF description ON users BEGIN
    UPDATE nmda_names SET description = new.description WHERE entry_id = new.entry_id;
END;
CREATE TRIGGER nmda_service_add AFTER INSERT ON services BEGIN
    UPDATE nmda_names SET class = new.class WHERE entry_id = new.entry_id;
END;
CREATE TRIGGER nmda_service_set AFTER UPDATE OF class ON services BEGIN
    UPDATE nmda_names SET class = new.class WHERE entry_id = new.entry_id;
END;
)SQL";

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
        exec(kUserSchema);
        exec(kAttributeSchema);
        exec(kNmdaSchema);
    } else {
        if (version < 2) migrateAttributesFrom1();
        if (version < 3) migrateEntriesFrom2();
        // Schema 1's values were rebuilt with the column above.
        if (version >= 2 && version < 4)
            exec("ALTER TABLE attributes ADD COLUMN version INTEGER NOT NULL DEFAULT 0");
        if (version < 5) migrateUsersFrom3();
        if (version < 6) addNmdaIndex();
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

// Schema 3 kept a PBKDF2-HMAC-SHA256 hash of each password and nonces in
// clear. The hash is the salted password of the login exchange, from which
// the verifier follows without the password: every user logs in as before,
// and nothing that could log in stays in the file. Nonces in clear are
// dropped (their users log in again). Old pages are overwritten as they are
// freed.
void SqliteStorage::migrateUsersFrom3() {
    exec("PRAGMA secure_delete = ON");
    exec("ALTER TABLE users RENAME TO users_3; DROP TABLE nonces");
    exec(kUserSchema);
    {
        Stmt old = prepare("SELECT entry_id, salt, hash, iterations, description, admin "
                           "FROM users_3");
        while (old.step()) {
            UserRecord u;
            const std::vector<uint8_t> salted = old.blob(2);
            const int64_t it = old.i64(3);
            const uint32_t iterations = it > 0 && it <= int64_t(UINT32_MAX) ? uint32_t(it) : 0;
            // A damaged hash gives a record that never matches, as before.
            u.password = qrd::scram::verifierFromSalted(old.blob(1), iterations, salted);
            if (salted.size() != kHashBytes) u.password.storedKey.clear();
            u.description = old.text(4);
            u.admin = old.i64(5) != 0;
            setUser(old.i64(0), u);
        }
    }
    exec("DROP TABLE users_3");
    exec("PRAGMA secure_delete = OFF");
}

// Files before schema 6 get the index built from what they hold. Whatever
// of it a file may hold already (a copy made by a newer daemon and marked
// older, a trigger lost with a rebuilt `entries`) is made anew.
void SqliteStorage::addNmdaIndex() {
    exec("DROP TRIGGER IF EXISTS nmda_entry; DROP TRIGGER IF EXISTS nmda_user_add;"
         "DROP TRIGGER IF EXISTS nmda_user_set; DROP TRIGGER IF EXISTS nmda_service_add;"
         "DROP TRIGGER IF EXISTS nmda_service_set; DROP TABLE IF EXISTS nmda_names");
    exec(kNmdaSchema);
    exec("INSERT INTO nmda_names(entry_id, kind, sort_key, name) "
         "SELECT i.id, i.kind, i.name_key || '@' || g.name_key || '@' || o.name_key, "
         "       i.name || '@' || g.name || '@' || o.name "
         "FROM entries i JOIN entries g ON g.id = i.parent_id JOIN entries o ON o.id = g.parent_id "
         "WHERE i.kind IN (1, 2, 3, 9);"
         "UPDATE nmda_names SET description = "
         "  (SELECT description FROM users u WHERE u.entry_id = nmda_names.entry_id) "
         "WHERE kind = 1 AND entry_id IN (SELECT entry_id FROM users);"
         "UPDATE nmda_names SET class = "
         "  (SELECT class FROM services s WHERE s.entry_id = nmda_names.entry_id) "
         "WHERE kind = 2 AND entry_id IN (SELECT entry_id FROM services)");
}

} // namespace nwd
