// Logins between their two steps (procedures 16 and 17): what the service
// said in the first step and needs to check the proof of the second. An
// exchange is used once, only from the address that began it, and lives a
// minute; each address holds at most kPerSource, the table kCapacity, so a
// flood of first steps from one place cannot push out the logins of others.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "kdf.h"

namespace nwd {

struct PendingLogin {
    std::string nameKey;     // the matching key of the name given (throttle)
    std::string canonical;   // Latin-1; "" for a name that is not a user
    int64_t userId = 0;      // 0: not a user (the proof never matches)
    uint32_t source = 0;     // IPv4 address, host order
    PasswordHash verifier;   // a made-up one for names that are not users
    std::string authMessage; // what both sides sign
    uint32_t started = 0;
};

class LoginExchanges {
  public:
    static constexpr size_t kCapacity = 1024;
    static constexpr size_t kPerSource = 16;
    static constexpr uint32_t kLifetime = 60; // seconds

    // Keeps `p` under a fresh random id; false when no random bytes came.
    bool add(PendingLogin p, uint32_t now, uint32_t& id);
    // Takes the exchange `id` begun from `source` (it is gone afterwards).
    std::optional<PendingLogin> take(uint32_t id, uint32_t source, uint32_t now);

  private:
    void dropExpired(uint32_t now);
    std::mutex mu_; // guards map_
    std::unordered_map<uint32_t, PendingLogin> map_;
};

} // namespace nwd
