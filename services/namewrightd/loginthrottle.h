// Slows down password guessing: after a run of wrong passwords for a user,
// further logins of that user are refused for a while without checking the
// password, so a flood of guesses neither finds the password nor keeps the
// service's thread busy hashing (each check costs tens of milliseconds).
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace nwd {

class LoginThrottle {
  public:
    // Wrong passwords allowed before the first pause; pauses then double
    // from 1 s up to kMaxPause.
    static constexpr uint32_t kFreeFailures = 5;
    static constexpr uint32_t kMaxPause = 60; // seconds

    // Whether a login of `userId` may check a password at `now` (seconds).
    bool allowed(int64_t userId, uint32_t now);
    // The outcome of a checked password.
    void failed(int64_t userId, uint32_t now);
    void succeeded(int64_t userId);

  private:
    struct Record {
        uint32_t failures = 0;
        uint32_t blockedUntil = 0;
    };
    std::mutex mu_;                               // guards records_
    std::unordered_map<int64_t, Record> records_; // users with recent failures only
};

} // namespace nwd
