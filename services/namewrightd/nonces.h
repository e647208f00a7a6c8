// Login nonces: the credential a login hands the workstation, with which it
// starts sessions (procedure 28).
//
// A nonce is 6 random bytes, word1 = the issuing server's id (serverIdOf its
// full name), word2 = the serial number under which the issuer keeps it. Any
// daemon can tell who issued a nonce; only the issuer can check one.
//
// What the issuer keeps is not the nonce but a keyed hash (HMAC-SHA256 with
// the directory's secret key, secretkey.h) of the nonce, its user and the
// workstation address it was issued to: a copy of the database holds no
// credential. Rules of use:
//   - a nonce starts sessions only from the address that logged in (the
//     issuer checks it, and a peer passes the workstation's address along);
//   - at most kStartsPerMinute session starts per nonce (a replayed nonce
//     cannot flood the session table);
//   - it ends with its lifetime, at logout (procedure 18), when the user's
//     password changes, at `user logout` and when the user is removed; each
//     user keeps at most `noncesPerUser`.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "session.h"
#include "storage.h"

namespace nwd {

struct NonceLimits {
    size_t noncesPerUser = 32;
    uint32_t nonceLifetime = 30 * 86400; // seconds
};

class NonceIssuer {
  public:
    static constexpr uint32_t kStartsPerMinute = 60;

    NonceIssuer(Storage& s, uint32_t serverId, NonceLimits limits, std::vector<uint8_t> key)
        : s_(s), serverId_(serverId), limits_(limits), key_(std::move(key)) {}

    uint32_t serverId() const { return serverId_; }
    // A new nonce of `userId` bound to `workstation`. Throws StorageError;
    // false when no random bytes were available.
    bool issue(int64_t userId, uint32_t workstation, uint32_t now, Nonce& out);

    struct Holder {
        int64_t userId = 0;
        uint32_t workstation = 0;
    };
    // The user and workstation of a nonce this server issued and still
    // honours.
    std::optional<Holder> check(const Nonce& n, uint32_t now);
    // As check, for a session start from `from`: the address must be the
    // workstation's and the nonce within its rate.
    std::optional<int64_t> admit(const Nonce& n, uint32_t from, uint32_t now);
    // Ends a nonce; false when it was not valid.
    bool revoke(const Nonce& n, uint32_t now);

  private:
    std::vector<uint8_t> mac(const Nonce& n, int64_t userId, uint32_t workstation) const;
    bool withinRate(uint32_t serial, uint32_t now);

    Storage& s_;
    uint32_t serverId_;
    NonceLimits limits_;
    std::vector<uint8_t> key_;
    struct Window {
        uint32_t minute = 0;
        uint32_t starts = 0;
    };
    std::mutex mu_;                               // guards starts_
    std::unordered_map<uint32_t, Window> starts_; // by serial, this minute's only
};

} // namespace nwd
