// Slows down password guessing: after a run of wrong passwords for a user
// from one source address, further logins of that user from that address
// are refused for a while. Guesses from one place therefore never lock the
// user out elsewhere. Unknown user names are counted like known ones (by
// name), so the pause tells nothing about who exists.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace nwd {

class LoginThrottle {
  public:
    // Wrong passwords allowed before the first pause; pauses then double
    // from 1 s up to kMaxPause.
    static constexpr uint32_t kFreeFailures = 5;
    static constexpr uint32_t kMaxPause = 60; // seconds

    // `user` is the name's matching key (names.h), `source` the IPv4 address
    // the attempt came from. Whether a login may be tried at `now` (seconds).
    bool allowed(const std::string& user, uint32_t source, uint32_t now);
    // The outcome of a checked proof.
    void failed(const std::string& user, uint32_t source, uint32_t now);
    void succeeded(const std::string& user, uint32_t source);

  private:
    struct Record {
        uint32_t failures = 0;
        uint32_t blockedUntil = 0;
        uint32_t lastFailure = 0;
    };
    static std::string key(const std::string& user, uint32_t source);
    std::mutex mu_;                                   // guards records_
    std::unordered_map<std::string, Record> records_; // recent failures only
};

} // namespace nwd
