#include "sourcethrottle.h"

namespace nwd {

namespace {
// Failures are kept in sixtieths, so that a rate per minute earns back a
// whole number of units each second.
constexpr uint64_t kUnit = 60;
} // namespace

void SourceThrottle::refill(Bucket& b, uint32_t now) const {
    if (now <= b.stamp) return; // a clock that went back earns nothing
    uint64_t earned = uint64_t(now - b.stamp) * limits_.perMinute;
    b.spent = earned >= b.spent ? 0 : b.spent - earned;
    b.stamp = now;
}

bool SourceThrottle::allowed(uint32_t address, uint32_t now) {
    auto it = buckets_.find(address);
    if (it == buckets_.end()) return true;
    refill(it->second, now);
    if (it->second.spent == 0) {
        buckets_.erase(it);
        return true;
    }
    return it->second.spent + kUnit <= uint64_t(limits_.burst) * kUnit;
}

SourceThrottle::Bucket& SourceThrottle::bucket(uint32_t address, uint32_t now) {
    auto it = buckets_.find(address);
    if (it == buckets_.end()) {
        if (buckets_.size() >= limits_.addresses) makeRoom(now);
        it = buckets_.emplace(address, Bucket{0, now}).first;
    }
    refill(it->second, now);
    return it->second;
}

void SourceThrottle::failed(uint32_t address, uint32_t now) {
    Bucket& b = bucket(address, now);
    const uint64_t cap = uint64_t(limits_.burst) * kUnit;
    b.spent = b.spent + kUnit > cap ? cap : b.spent + kUnit;
}

bool SourceThrottle::take(uint32_t address, uint32_t units, uint32_t now) {
    Bucket& b = bucket(address, now);
    const uint64_t want = uint64_t(units) * kUnit;
    if (b.spent + want > uint64_t(limits_.burst) * kUnit) return false;
    b.spent += want;
    return true;
}

void SourceThrottle::makeRoom(uint32_t now) {
    auto least = buckets_.end();
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        refill(it->second, now);
        if (it->second.spent == 0) {
            it = buckets_.erase(it);
            continue;
        }
        if (least == buckets_.end() || it->second.spent < least->second.spent) least = it;
        ++it;
    }
    if (buckets_.size() >= limits_.addresses && least != buckets_.end()) buckets_.erase(least);
}

} // namespace nwd
