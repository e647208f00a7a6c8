// How much a source address may do: failed session look-ups, messages.
//
// Session identifiers are only four bytes (the client's record fixes them),
// so guessing is stopped by counting what fails: each address has an
// allowance of `burst` that it earns back at `perMinute`; with nothing left
// the address is refused without a look-up until it earns some back.
// SourceThrottle is not locked (the session table uses it under its own
// lock); SharedThrottle is, for callers that have none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace nwd {

struct ThrottleLimits {
    uint32_t burst = 32;     // failures an address may make at once
    uint32_t perMinute = 60; // failures it earns back per minute
    size_t addresses = 4096; // addresses remembered at most
};

class SourceThrottle {
  public:
    explicit SourceThrottle(ThrottleLimits limits = {}) : limits_(limits) {}

    // Whether `address` may look a session up now.
    bool allowed(uint32_t address, uint32_t now);
    // One failed look-up from `address`.
    void failed(uint32_t address, uint32_t now);
    // Spends `units` of the allowance of `address` when that much is left.
    bool take(uint32_t address, uint32_t units, uint32_t now);
    size_t tracked() const { return buckets_.size(); }

  private:
    struct Bucket {
        uint64_t spent = 0; // failures not yet earned back, in 1/60 units
        uint32_t stamp = 0;
    };
    // Earns back what the time since the bucket's stamp allows.
    void refill(Bucket& b, uint32_t now) const;
    Bucket& bucket(uint32_t address, uint32_t now);
    // Makes room for one more address: drops those that have earned
    // everything back, else the one nearest to that.
    void makeRoom(uint32_t now);

    ThrottleLimits limits_;
    std::unordered_map<uint32_t, Bucket> buckets_;
};

class SharedThrottle {
  public:
    explicit SharedThrottle(ThrottleLimits limits = {}) : throttle_(limits) {}
    bool take(uint32_t address, uint32_t units, uint32_t now) {
        std::lock_guard<std::mutex> l(mu_);
        return throttle_.take(address, units, now);
    }

  private:
    std::mutex mu_;
    SourceThrottle throttle_; // guarded by mu_
};

} // namespace nwd
