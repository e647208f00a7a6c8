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
// Threads: one writer connection, guarded by mutex_ (recursive, so that a
// batch begun by one thread keeps the connection until it commits), and a
// pool of reader connections for the attribute reads and the directory
// stamp, so that reads run beside each other and beside a write. A thread
// inside a batch reads on the writer (it must see its own changes).
//
// Group commit (enableGroupCommit(), the service): commits do not sync
// while the writer is held; the thread that made one calls waitDurable()
// before it acknowledges anything, and one fdatasync of the WAL makes every
// commit made until then durable, however many threads wait for it.
//
// Files: sqlite_storage.cpp (open, batches, stamp), sqlite_schema.* (tables
// and migrations), sqlite_statement.* (prepared statements),
// sqlite_records.cpp (entries and records), sqlite_chunks.cpp (attribute
// values in chunks), sqlite_nmda.cpp (the directory-assistance index).
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    std::optional<Entry> findServerByAddress(uint32_t address) override;
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
    std::optional<AttrSlice> attributeSlice(int64_t ownerId, AttrId id, uint64_t offset,
                                            size_t maxBytes) override;
    void setAttribute(int64_t ownerId, AttrId id, const AttrValue& value) override;
    bool removeAttribute(int64_t ownerId, AttrId id) override;
    std::vector<AttrId> attributeNames(int64_t ownerId, AttrId from, AttrId last,
                                       size_t limit) override;
    void writeAttribute(int64_t ownerId, AttrId id, uint32_t type, uint64_t offset,
                        const uint8_t* data, size_t n, bool cut) override;
    std::optional<std::vector<uint8_t>> assocRecord(int64_t ownerId, uint16_t record) override;
    void setAssocRecord(int64_t ownerId, uint16_t record,
                        const std::vector<uint8_t>& data) override;

    std::vector<NmdaRow> nmdaNames(const NmdaFilter& f, const std::string& from,
                                   const std::string& below, bool descending,
                                   size_t limit) override;
    std::vector<std::string> nmdaKeys(const NmdaFilter& f, const std::string& from,
                                      const std::string& below) override;
    size_t addBulkUsers(int64_t groupId, const std::string& prefix, size_t first,
                        size_t count) override;

    uint64_t directoryStamp() override;

    void begin() override;
    void commit() override;
    void rollback() override;

    // Commits stop syncing on their own; waitDurable() syncs them, grouped.
    void enableGroupCommit();
    void waitDurable() override;

    // The writer's lock: recursive; knows its holder, and gives the commits
    // made under it a ticket when the last hold ends.
    class WriterMutex {
      public:
        explicit WriterMutex(SqliteStorage& s) : s_(s) {}
        void lock();
        bool try_lock();
        void unlock();
        bool heldHere() const { return owner_.load() == std::this_thread::get_id(); }

      private:
        SqliteStorage& s_;
        std::recursive_mutex m_;
        int depth_ = 0; // guarded by m_
        std::atomic<std::thread::id> owner_{};
    };

  private:
    class Stmt;
    class Reading;
    struct Conn; // a reader connection and its statements
    Stmt prepare(const char* sql);
    static Stmt prepareOn(SqliteStorage& owner, sqlite3* db,
                          std::map<const char*, sqlite3_stmt*>& cache, const char* sql);
    [[noreturn]] static void failOn(sqlite3* db, const char* what);
    void exec(const char* sql);
    void beginImmediate();
    int syncWal();
    void migrate();
    void migrateAttributesFrom1();
    void migrateEntriesFrom2();
    void migrateUsersFrom3();
    void addNmdaIndex();
    void closeDb();
    [[noreturn]] void fail(const char* what);

    WriterMutex mutex_{*this};
    std::string path_;
    sqlite3* db_ = nullptr;                      // guarded by mutex_
    std::map<const char*, sqlite3_stmt*> cache_; // guarded by mutex_; keys are literals
    int depth_ = 0;                              // open batches, guarded by mutex_
    // directoryStamp(): bumped by this object's changes of names, group
    // servers and users, and when PRAGMA data_version shows another
    // connection's commit. dataVersion_ (the writer's) guarded by mutex_.
    std::atomic<uint64_t> stamp_{0};
    int64_t dataVersion_ = -1;
    bool committed_ = false; // a commit under the current hold, guarded by mutex_

    std::mutex readersMu_;
    std::vector<std::unique_ptr<Conn>> idleReaders_; // guarded by readersMu_

    // Group commit: commits_ counts commits (given out under mutex_),
    // durable_ how many of them are synced.
    bool groupCommit_ = false;
    std::atomic<uint64_t> commits_{0};
    std::mutex syncMu_;
    std::condition_variable synced_;
    uint64_t durable_ = 0; // guarded by syncMu_
    bool syncing_ = false; // guarded by syncMu_
    int walFd_ = -1;       // used by the one thread syncing
};

} // namespace nwd
