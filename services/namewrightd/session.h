// Sessions, and the nonce record they are opened with (issued and checked
// by nonces.h).
//
// Sessions live in memory only: after a restart the client sees 1017 and its
// session wrapper starts a new session with the same nonce.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "sourcethrottle.h"
#include "storage.h"

namespace nwd {

struct Nonce {
    std::array<uint8_t, 6> opaque{};
    uint32_t word1 = 0;
    uint32_t word2 = 0;
};
constexpr size_t kNonceBytes = 14;

using SessionId = std::array<uint8_t, 4>;

// Where a datagram came from: the IPv4 address (host order) of its sender
// on either road; 0 in tests that give none.
struct Source {
    uint32_t address = 0;
};

struct Session {
    std::string user;   // canonical Latin-1 name of the nonce's user
    int64_t userId = 0; // the user's entry here, 0 when held elsewhere
    // What the client presented when it started the session: the session
    // answers only that address, and ends with that nonce.
    uint32_t source = 0;
    Nonce nonce;
    uint32_t epoch = 0; // the user's epoch at the start: a later one ends the session
};

struct SessionLimits {
    size_t capacity = 4096;
    size_t perUser = 128;            // a user's further start ends its least recently used
    size_t perSource = 1024;         // an address at its cap gets no more, as a full table
    uint32_t idleSeconds = 4 * 3600; // an unused session ends
    // A full table makes room only by ending a session unused this long.
    uint32_t evictableAfter = 600;
    ThrottleLimits failures; // failed look-ups per source address
};

// Why open() gave no session.
enum class OpenRefusal { NoRandom, Full };

// Open sessions. Identifiers are random and bound to the address that
// started the session: a look-up from elsewhere fails like a wrong one, and
// an address whose look-ups keep failing is refused for a while (see
// SourceThrottle). Nobody makes room by ending an active session of
// somebody else: a user over its cap loses its own least recently used
// session; a full table (or address) ends only sessions that were idle for
// `evictableAfter`, else refuses the start. Every operation is O(1) (hash
// maps and use-ordered lists), under the table's own lock.
class SessionTable {
  public:
    explicit SessionTable(SessionLimits limits = {})
        : limits_(limits), throttle_(limits.failures) {}

    // False when no session could be opened (`why` tells which).
    bool open(const Session& s, uint32_t now, SessionId& id, OpenRefusal* why = nullptr);
    // The session, its use time refreshed; nullopt when unknown, expired,
    // started from another address or when `from` is refused for failing.
    std::optional<Session> find(const SessionId& id, Source from, uint32_t now);
    // Ends a session at its client's request (same checks as find).
    bool close(const SessionId& id, Source from, uint32_t now);
    // Ends a session the daemon gave up on (its user is gone).
    void end(const SessionId& id);
    // Ends every session of a user (by entry), or started with a nonce;
    // how many ended.
    size_t endSessionsOfUser(int64_t userId);
    size_t endSessionsOfNonce(const Nonce& n);
    // A live session of the user named `userKey` (nameKey) started from
    // `from`, its use time refreshed: for services whose calls carry no
    // session identifier.
    std::optional<Session> findUserAt(Source from, const std::string& userKey, uint32_t now);
    // Whether `from` holds any live session.
    bool anyAt(Source from, uint32_t now);
    size_t size();
    // Called (under the table's lock) for every session that ends, however it
    // ends, so that what belongs to it can go too. Empty: nothing is called.
    void setOnEnd(std::function<void(const SessionId&)> onEnd);

  private:
    using Order = std::list<uint32_t>; // keys, most recently used first
    struct Slot {
        Session session;
        std::string userKey;
        uint32_t lastUsed = 0;
        Order::iterator inAll, inUser, inSource;
        // The slot's lists in byUser_ and bySource_ (map nodes do not move).
        Order* userOrder = nullptr;
        Order* sourceOrder = nullptr;
    };
    static uint32_t key(const SessionId& id);
    void touch(Slot& s, uint32_t now);
    void erase(uint32_t key);
    // Ends sessions idle for idleSeconds, oldest first.
    void expire(uint32_t now);
    // Room for one more session in `order` (the whole table or an address)
    // of at most `cap`: ends its least recently used one when that was idle
    // long enough. False when there is none to end.
    bool makeRoom(const Order& order, size_t cap, uint32_t now);
    // The slot of a live session started from `from`, else null (a failure
    // counted against `from`).
    Slot* live(uint32_t key, Source from, uint32_t now);

    std::mutex mu_;
    SessionLimits limits_;
    std::unordered_map<uint32_t, Slot> slots_; // guarded by mu_, and all below
    Order all_;
    std::unordered_map<std::string, Order> byUser_;
    std::unordered_map<uint32_t, Order> bySource_;
    SourceThrottle throttle_;
    std::function<void(const SessionId&)> onEnd_; // guarded by mu_
};

} // namespace nwd
