// Storage in one SQLite file.
//
// Durability: WAL journal with synchronous=FULL, so the WAL is synced at
// every commit and a reply that acknowledges a write is sent only after the
// write is on disk; it survives kill -9 and a power loss alike. That sync is
// most of what a write costs, so a write stores only the pages it changes
// (attribute values are chunked, see kAttributeSchema). Other processes (the
// admin commands) may use the file at the same time; a busy file is waited
// on for up to five seconds, and their commits move directoryStamp().
//
// Threads: one connection, guarded by mutex_ (recursive, so that a batch
// begun by one thread keeps the connection until it commits).
//
// Files: sqlite_storage.cpp (open, batches, stamp), sqlite_schema.* (tables
// and migrations), sqlite_statement.* (prepared statements),
// sqlite_records.cpp (entries and records), sqlite_chunks.cpp (attribute
// values in chunks).
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "storage.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nwd {

class SqliteStorage : public Storage {
  public:
    // Opens or creates the database and brings its schema up to date.
    // ":memory:" gives a private in-memory database. Throws StorageError.
    explicit SqliteStorage(const std::string& path);
    ~SqliteStorage() override;
    SqliteStorage(const SqliteStorage&) = delete;
    SqliteStorage& operator=(const SqliteStorage&) = delete;

    std::optional<Entry> findChild(int64_t parentId, const std::string& key) override;
    std::optional<Entry> entry(int64_t id) override;
    int64_t addEntry(int64_t parentId, Kind kind, const std::string& name,
                     const std::string& key) override;
    bool removeEntry(int64_t id) override;
    std::vector<Entry> children(int64_t parentId, int kind = 0) override;

    std::string groupServer(int64_t groupId) override;
    void setGroupServer(int64_t groupId, const std::string& server) override;
    std::optional<UserRecord> user(int64_t id) override;
    void setUser(int64_t id, const UserRecord& rec) override;
    std::optional<ServiceRecord> service(int64_t id) override;
    void setService(int64_t id, const ServiceRecord& rec) override;
    std::optional<ServerRecord> server(int64_t id) override;
    void setServer(int64_t id, const ServerRecord& rec) override;
    std::optional<Entry> findServerById(uint32_t serverId) override;
    bool isServerAddress(uint32_t address) override;
    uint32_t commonIterations() override;
    std::optional<int64_t> nicknameTarget(int64_t id) override;
    void setNickname(int64_t id, int64_t targetId) override;

    bool addMember(int64_t listId, int64_t memberId) override;
    bool removeMember(int64_t listId, int64_t memberId) override;
    std::vector<int64_t> members(int64_t listId) override;

    void setProfile(int64_t ownerId, const std::string& key, const std::string& value) override;
    bool removeProfile(int64_t ownerId, const std::string& key) override;
    std::vector<ProfileEntry> profile(int64_t ownerId) override;

    uint32_t addNonce(const NonceRecord& rec) override;
    void setNonceMac(uint32_t serial, const std::vector<uint8_t>& mac) override;
    std::optional<NonceRecord> findNonce(uint32_t serial) override;
    void pruneNonces(int64_t userId, size_t keep, uint32_t notBefore) override;
    size_t removeNonces(int64_t userId) override;
    bool removeNonce(uint32_t serial) override;

    void addMessage(int64_t recipientId, const MessageRecord& rec, size_t keep) override;
    std::vector<MessageRecord> messages(int64_t recipientId) override;
    size_t clearMessages(int64_t recipientId) override;

    std::optional<AttrValue> attribute(int64_t ownerId, AttrId id) override;
    std::optional<AttrSize> attributeSize(int64_t ownerId, AttrId id) override;
    void setAttribute(int64_t ownerId, AttrId id, const AttrValue& value) override;
    bool removeAttribute(int64_t ownerId, AttrId id) override;
    std::vector<AttrId> attributeNames(int64_t ownerId, AttrId from, AttrId last,
                                       size_t limit) override;
    void writeAttribute(int64_t ownerId, AttrId id, uint32_t type, uint64_t offset,
                        const uint8_t* data, size_t n, bool cut) override;
    std::optional<std::vector<uint8_t>> assocRecord(int64_t ownerId, uint16_t record) override;
    void setAssocRecord(int64_t ownerId, uint16_t record,
                        const std::vector<uint8_t>& data) override;

    uint64_t directoryStamp() override;

    void begin() override;
    void commit() override;
    void rollback() override;

  private:
    class Stmt;
    Stmt prepare(const char* sql);
    void exec(const char* sql);
    void migrate();
    void migrateAttributesFrom1();
    void migrateEntriesFrom2();
    void migrateUsersFrom3();
    void closeDb();
    [[noreturn]] void fail(const char* what);

    std::recursive_mutex mutex_;
    sqlite3* db_ = nullptr;                      // guarded by mutex_
    std::map<const char*, sqlite3_stmt*> cache_; // guarded by mutex_; keys are literals
    int depth_ = 0;                              // open batches, guarded by mutex_
    // directoryStamp(): bumped by this object's changes of names, group
    // servers and users, and when PRAGMA data_version shows another
    // connection's commit. Both guarded by mutex_.
    uint64_t stamp_ = 0;
    int64_t dataVersion_ = -1;
};

} // namespace nwd
