// The daemon's storage: a small interface so that another engine can stand
// beside SQLite (sqlite_storage.h).
//
// Everything named is an entry: organisations at the top, groups under an
// organisation, objects (users, services, lists, servers, nicknames) under a
// group. Removing an entry removes everything below and about it (members,
// nonces, messages, profile entries, attributes). Names are kept in UTF-8
// with a matching key (names.h); look-ups go by key.
//
// Failures of the engine throw StorageError. Every call is atomic on its
// own; a Transaction makes several calls one unit (and keeps other threads
// out of the storage until it ends).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kdf.h"
#include "qrd/portrecord.h"

namespace nwd {

// Entry kinds. 1, 3, 5 and 6 are also the object types the desktop reads
// (user, list, group, organisation); stored, so they cannot change.
enum class Kind : int {
    User = 1,
    Service = 2,
    List = 3,
    Server = 4,
    Group = 5,
    Org = 6,
    Nickname = 9,
};
const char* kindName(Kind k);

using PortRecord = qrd::port::Bytes; // qrd/portrecord.h

struct Entry {
    int64_t id = 0;
    int64_t parentId = 0; // 0 for an organisation
    Kind kind = Kind::Org;
    std::string name; // this level's part, UTF-8
};

struct UserRecord {
    PasswordHash password;   // the verifier of the login exchange (kdf.h)
    std::string description; // UTF-8
    bool admin = false;      // may change any object
    uint32_t epoch = 0;      // moved by logout and password changes: older sessions end
};

enum class ServiceClass : int { Other = 0, File = 1, Print = 2 };

struct ServiceRecord {
    ServiceClass serviceClass = ServiceClass::Other;
    std::optional<PortRecord> rpcPort, sppPort;
    int64_t managerId = 0; // a user who may set the ports; 0 = administrators only
};

struct ServerRecord {
    uint32_t address = 0;  // IPv4, host order
    uint32_t serverId = 0; // the nonce word of the server (see session.h)
};

// A nonce as kept: never the nonce itself, only its keyed hash (nonces.h).
struct NonceRecord {
    uint32_t serial = 0;      // the nonce's second word
    std::vector<uint8_t> mac; // keyed hash of the nonce and what it is bound to
    uint32_t word1 = 0;
    int64_t userId = 0;
    uint32_t issued = 0;      // seconds since 1970
    uint32_t workstation = 0; // IPv4 address (host order) the login came from
};

struct MessageRecord {
    int64_t id = 0;
    std::string sender; // UTF-8
    std::string text;   // UTF-8
    uint32_t received = 0;
};

// An attribute's name: category and number (both u32 on the wire).
struct AttrId {
    uint32_t category = 0;
    uint32_t number = 0;
    auto operator<=>(const AttrId&) const = default;
};

// A stored attribute value: its type (1-5) and its elements as they travel
// (bytes; type 4 as big-endian u32 each).
struct AttrValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

struct AttrSize {
    uint32_t type = 0;
    uint64_t bytes = 0;
};

// Which version of a value a reader saw: the head (never reused) and the
// number of writes committed to it. Any committed write changes it.
struct AttrVersion {
    int64_t head = 0;
    int64_t writes = 0;
    bool operator==(const AttrVersion&) const = default;
};

// Part of a stored value, read in one snapshot with the value's version.
struct AttrSlice {
    uint32_t type = 0;
    uint64_t size = 0; // bytes of the whole value
    AttrVersion version;
    std::vector<uint8_t> bytes; // the range asked for, cut at the value's end
};

// The largest attribute value kept, in bytes. Stored layouts depend on it
// (sqlite_storage.cpp numbers a value's chunks below it): it cannot grow
// without a compatibility break.
constexpr uint64_t kMaxAttrBytes = 1u << 20;

struct ProfileEntry {
    std::string key; // spelling as set
    std::string value;
};

// Directory assistance: the names of one kind in the order of their keys
// (the full name's key, "ITEM@GROUP@ORG"), from an index the storage keeps
// up to date with the entries, users and services. nmda.h builds the
// filters and pages with them.
constexpr size_t kNmdaMatchMax = 8;
struct NmdaMatch {
    bool description = false; // the user's description, else the text attribute `attr`
    AttrId attr;
    std::string like; // a LIKE pattern with '\' escapes (ASCII case ignored)
};
struct NmdaFilter {
    Kind kind = Kind::User;
    int serviceClass = -1;          // services only: -1 any, else a ServiceClass
    std::string glob;               // GLOB over the key; "" matches every name
    std::vector<NmdaMatch> matches; // all must hold; at most kNmdaMatchMax
};
struct NmdaRow {
    std::string key;  // UTF-8
    std::string name; // full name, UTF-8
    Kind kind = Kind::User;
    int serviceClass = 0;
    std::string description; // users only, UTF-8
};

class StorageError : public std::runtime_error {
  public:
    enum Code { Failure, Duplicate, Missing, Damaged };
    StorageError(Code c, const std::string& what) : std::runtime_error(what), code(c) {}
    Code code;
};

class Storage {
  public:
    virtual ~Storage() = default;

    // Entries. parentId 0 lists or finds organisations.
    virtual std::optional<Entry> findChild(int64_t parentId, const std::string& key) = 0;
    virtual std::optional<Entry> entry(int64_t id) = 0;
    // Duplicate when the parent already has an entry with that key.
    virtual int64_t addEntry(int64_t parentId, Kind kind, const std::string& name,
                             const std::string& key) = 0;
    virtual bool removeEntry(int64_t id) = 0;
    // kind 0: every kind.
    virtual std::vector<Entry> children(int64_t parentId, int kind = 0) = 0;

    // Groups: the full name of the server that holds the group ("" = the
    // server that holds this database).
    virtual std::string groupServer(int64_t groupId) = 0;
    virtual void setGroupServer(int64_t groupId, const std::string& server) = 0;

    virtual std::optional<UserRecord> user(int64_t id) = 0;
    virtual void setUser(int64_t id, const UserRecord& rec) = 0;

    virtual std::optional<ServiceRecord> service(int64_t id) = 0;
    virtual void setService(int64_t id, const ServiceRecord& rec) = 0;

    virtual std::optional<ServerRecord> server(int64_t id) = 0;
    virtual void setServer(int64_t id, const ServerRecord& rec) = 0;
    virtual std::optional<Entry> findServerById(uint32_t serverId) = 0;
    // The server of the directory at an IPv4 address (host order).
    virtual std::optional<Entry> findServerByAddress(uint32_t address) = 0;
    // Whether a server of the directory has this IPv4 address (host order).
    virtual bool isServerAddress(uint32_t address) = 0;
    // The iteration count most users' verifiers have (0 without users).
    virtual uint32_t commonIterations() = 0;

    virtual std::optional<int64_t> nicknameTarget(int64_t id) = 0;
    virtual void setNickname(int64_t id, int64_t targetId) = 0;

    // List members are entries (users, lists, groups, ...). add/remove
    // report whether anything changed.
    virtual bool addMember(int64_t listId, int64_t memberId) = 0;
    virtual bool removeMember(int64_t listId, int64_t memberId) = 0;
    virtual std::vector<int64_t> members(int64_t listId) = 0;

    // Profile entries of any entry; keys match without regard to case.
    virtual void setProfile(int64_t ownerId, const std::string& key, const std::string& value) = 0;
    virtual bool removeProfile(int64_t ownerId, const std::string& key) = 0;
    virtual std::vector<ProfileEntry> profile(int64_t ownerId) = 0;

    // Nonces: addNonce assigns the serial. pruneNonces keeps the newest
    // `keep` of the user and drops every nonce issued before `notBefore`.
    virtual uint32_t addNonce(const NonceRecord& rec) = 0;
    virtual void setNonceMac(uint32_t serial, const std::vector<uint8_t>& mac) = 0;
    virtual std::optional<NonceRecord> findNonce(uint32_t serial) = 0;
    virtual void pruneNonces(int64_t userId, size_t keep, uint32_t notBefore) = 0;
    virtual size_t removeNonces(int64_t userId) = 0;
    virtual bool removeNonce(uint32_t serial) = 0;

    // Messages of a recipient, oldest first; addMessage keeps the newest `keep`.
    virtual void addMessage(int64_t recipientId, const MessageRecord& rec, size_t keep) = 0;
    virtual std::vector<MessageRecord> messages(int64_t recipientId) = 0;
    virtual size_t clearMessages(int64_t recipientId) = 0;

    // Attributes of an entry. attributeNames lists the names from `from` to
    // `last` (both included, ordered by category, then number), at most
    // `limit` of them. Values hold at most kMaxAttrBytes; longer ones are
    // refused with StorageError (Failure).
    virtual std::optional<AttrValue> attribute(int64_t ownerId, AttrId id) = 0;
    virtual std::optional<AttrSize> attributeSize(int64_t ownerId, AttrId id) = 0;
    // At most `maxBytes` from byte `offset` of a value, with its type, size
    // and version, all of one snapshot; reads only the chunks of the range.
    virtual std::optional<AttrSlice> attributeSlice(int64_t ownerId, AttrId id, uint64_t offset,
                                                    size_t maxBytes) = 0;
    // Replaces the whole value.
    virtual void setAttribute(int64_t ownerId, AttrId id, const AttrValue& value) = 0;
    // Writes `n` bytes at byte `offset` of a value (made when missing) and
    // sets its type. Bytes between the old end and `offset` read as zeros.
    // With `cut` the value ends at offset + n; otherwise what lies beyond
    // stays. Costs what the written range costs, not what the value does.
    // Every write moves the value's version.
    virtual void writeAttribute(int64_t ownerId, AttrId id, uint32_t type, uint64_t offset,
                                const uint8_t* data, size_t n, bool cut) = 0;
    virtual bool removeAttribute(int64_t ownerId, AttrId id) = 0;
    virtual std::vector<AttrId> attributeNames(int64_t ownerId, AttrId from, AttrId last,
                                               size_t limit) = 0;

    // Association records of an entry, opaque bytes by number.
    virtual std::optional<std::vector<uint8_t>> assocRecord(int64_t ownerId, uint16_t record) = 0;
    virtual void setAssocRecord(int64_t ownerId, uint16_t record,
                                const std::vector<uint8_t>& data) = 0;

    // Names that pass `f` with keys from `from` (included) to `below`
    // (excluded; "" = no bound), at most `limit`, in ascending order or,
    // with `descending`, from the highest down. Walks the index in order and
    // stops at `limit`: a page costs what its rows cost.
    virtual std::vector<NmdaRow> nmdaNames(const NmdaFilter& f, const std::string& from,
                                           const std::string& below, bool descending,
                                           size_t limit) = 0;
    // Every key that passes `f` from `from` to `below`, in order: one walk
    // of the index, for the table of relative positions (nmda.h).
    virtual std::vector<std::string> nmdaKeys(const NmdaFilter& f, const std::string& from,
                                              const std::string& below) = 0;
    // Adds `count` users PREFIXnnnnnn, numbered from `first`, to a group in
    // one batch, with the description "PREFIX nnnnnn" and no password
    // (nobody can log in as them): directories for benchmarks. `prefix` is
    // ASCII. Returns the number added.
    virtual size_t addBulkUsers(int64_t groupId, const std::string& prefix, size_t first,
                                size_t count) = 0;

    // A number that changes whenever names may resolve differently: entries,
    // nicknames, the servers of groups or users changed, through this object
    // or through another connection to the same data (an admin command).
    // Caches of resolved names compare it at each request.
    virtual uint64_t directoryStamp() = 0;

    // Batches: begin() waits for other threads' batches to end.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // Returns when everything this thread committed is durable; the service
    // calls it before it sends a reply. Throws StorageError when it cannot
    // be made so.
    virtual void waitDurable() {}
};

// Commits at commit(), rolls back when left without it (an exception).
class Transaction {
  public:
    explicit Transaction(Storage& s) : s_(s) { s_.begin(); }
    ~Transaction() {
        if (open_) {
            try {
                s_.rollback();
            } catch (...) {
            }
        }
    }
    void commit() {
        s_.commit();
        open_ = false;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

  private:
    Storage& s_;
    bool open_ = true;
};

} // namespace nwd
