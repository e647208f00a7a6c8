#include "loginthrottle.h"

#include <algorithm>

namespace nwd {

namespace {
// Records of users nobody has tried for this long are dropped, so the table
// stays as small as the set of users under attack.
constexpr uint32_t kForgetAfter = 3600;
constexpr size_t kPruneAt = 4096;
} // namespace

bool LoginThrottle::allowed(int64_t userId, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = records_.find(userId);
    return it == records_.end() || now >= it->second.blockedUntil;
}

void LoginThrottle::failed(int64_t userId, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    if (records_.size() >= kPruneAt) {
        for (auto it = records_.begin(); it != records_.end();) {
            if (now >= it->second.blockedUntil + kForgetAfter)
                it = records_.erase(it);
            else
                ++it;
        }
    }
    Record& r = records_[userId];
    if (r.blockedUntil && now >= r.blockedUntil + kForgetAfter) r = Record{};
    ++r.failures;
    if (r.failures >= kFreeFailures) {
        uint32_t shift = std::min<uint32_t>(r.failures - kFreeFailures, 6);
        r.blockedUntil = now + std::min<uint32_t>(1u << shift, kMaxPause);
    }
}

void LoginThrottle::succeeded(int64_t userId) {
    std::lock_guard<std::mutex> l(mu_);
    records_.erase(userId);
}

} // namespace nwd
