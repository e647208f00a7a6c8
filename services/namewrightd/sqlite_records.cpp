// The records of the directory: entries, users, services, servers,
// nicknames, list members, profiles, nonces, messages and association
// records, one statement or a short batch each.
#include <cstring>

#include "sqlite_statement.h"

namespace nwd {

namespace {

std::string foldKey(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return out;
}

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
    Stmt s = prepare("SELECT salt, iterations, stored_key, server_key, description, admin, epoch "
                     "FROM users WHERE entry_id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    UserRecord u;
    u.password.salt = s.blob(0);
    int64_t it = s.i64(1);
    u.password.iterations = it > 0 && it <= int64_t(UINT32_MAX) ? uint32_t(it) : 0;
    u.password.storedKey = s.blob(2);
    u.password.serverKey = s.blob(3);
    u.description = s.text(4);
    u.admin = s.i64(5) != 0;
    u.epoch = uint32_t(s.i64(6));
    return u;
}

void SqliteStorage::setUser(int64_t id, const UserRecord& u) {
    Lock l(mutex_);
    ++stamp_;
    Stmt s = prepare("INSERT OR REPLACE INTO users(entry_id, salt, iterations, stored_key, "
                     "server_key, description, admin, epoch) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    s.bind(1, id)
        .bind(2, u.password.salt.data(), u.password.salt.size())
        .bind(3, int64_t(u.password.iterations))
        .bind(4, u.password.storedKey.data(), u.password.storedKey.size())
        .bind(5, u.password.serverKey.data(), u.password.serverKey.size())
        .bind(6, u.description)
        .bind(7, int64_t(u.admin))
        .bind(8, int64_t(u.epoch));
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

std::optional<Entry> SqliteStorage::findServerByAddress(uint32_t address) {
    int64_t id = 0;
    {
        Lock l(mutex_);
        Stmt s =
            prepare("SELECT entry_id FROM servers WHERE address = ? ORDER BY entry_id LIMIT 1");
        s.bind(1, int64_t(address));
        if (!s.step()) return std::nullopt;
        id = s.i64(0);
    }
    return entry(id);
}

bool SqliteStorage::isServerAddress(uint32_t address) {
    Lock l(mutex_);
    Stmt s = prepare("SELECT 1 FROM servers WHERE address = ? LIMIT 1");
    s.bind(1, int64_t(address));
    return s.step();
}

uint32_t SqliteStorage::commonIterations() {
    Lock l(mutex_);
    Stmt s = prepare("SELECT iterations FROM users GROUP BY iterations ORDER BY count(*) DESC, "
                     "iterations DESC LIMIT 1");
    if (!s.step()) return 0;
    const int64_t it = s.i64(0);
    return it > 0 && it <= int64_t(UINT32_MAX) ? uint32_t(it) : 0;
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
    Stmt s = prepare("INSERT INTO nonces(mac, word1, user_id, issued, workstation) "
                     "VALUES (?, ?, ?, ?, ?)");
    s.bind(1, r.mac.data(), r.mac.size())
        .bind(2, int64_t(r.word1))
        .bind(3, r.userId)
        .bind(4, int64_t(r.issued))
        .bind(5, int64_t(r.workstation));
    s.run();
    int64_t serial = sqlite3_last_insert_rowid(db_);
    if (serial <= 0 || serial > int64_t(UINT32_MAX))
        throw StorageError(StorageError::Failure, "nonce serial numbers are exhausted");
    return uint32_t(serial);
}

void SqliteStorage::setNonceMac(uint32_t serial, const std::vector<uint8_t>& mac) {
    Lock l(mutex_);
    Stmt s = prepare("UPDATE nonces SET mac = ? WHERE serial = ?");
    s.bind(1, mac.data(), mac.size()).bind(2, int64_t(serial)).run();
}

std::optional<NonceRecord> SqliteStorage::findNonce(uint32_t serial) {
    Lock l(mutex_);
    Stmt s =
        prepare("SELECT mac, word1, user_id, issued, workstation FROM nonces WHERE serial = ?");
    s.bind(1, int64_t(serial));
    if (!s.step()) return std::nullopt;
    NonceRecord r;
    r.serial = serial;
    r.mac = s.blob(0);
    r.word1 = uint32_t(s.i64(1));
    r.userId = s.i64(2);
    r.issued = uint32_t(s.i64(3));
    r.workstation = uint32_t(s.i64(4));
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

bool SqliteStorage::removeNonce(uint32_t serial) {
    Lock l(mutex_);
    Stmt s = prepare("DELETE FROM nonces WHERE serial = ?");
    s.bind(1, int64_t(serial)).run();
    return sqlite3_changes(db_) > 0;
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
