// Sessions, and the nonce record they are opened with (issued and checked
// by nonces.h).
//
// Sessions live in memory only: after a restart the client sees 1017 and its
// session wrapper starts a new session with the same nonce.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "storage.h"

namespace nwd {

struct Nonce {
    std::array<uint8_t, 6> opaque{};
    uint32_t word1 = 0;
    uint32_t word2 = 0;
};
constexpr size_t kNonceBytes = 14;

using SessionId = std::array<uint8_t, 4>;

struct Session {
    std::string user;   // canonical Latin-1 name of the nonce's user
    int64_t userId = 0; // the user's entry here, 0 when held elsewhere
    uint32_t epoch = 0; // the user's epoch at the start: a later one ends the session
    uint32_t lastUsed = 0;
};

// Open sessions. Full tables drop idle sessions first, then the least
// recently used one.
class SessionTable {
  public:
    explicit SessionTable(size_t capacity = 4096, uint32_t idleSeconds = 4 * 3600)
        : capacity_(capacity), idle_(idleSeconds) {}

    // False only when no random identifier could be made.
    bool open(const Session& s, uint32_t now, SessionId& id);
    // The session, its use time refreshed; nullopt when unknown or expired.
    std::optional<Session> find(const SessionId& id, uint32_t now);
    bool close(const SessionId& id);
    size_t size();

  private:
    static uint32_t key(const SessionId& id);
    std::mutex mu_;
    std::unordered_map<uint32_t, Session> map_; // guarded by mu_
    size_t capacity_;
    uint32_t idle_;
};

} // namespace nwd
