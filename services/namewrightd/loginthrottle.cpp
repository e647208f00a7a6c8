#include "loginthrottle.h"

#include <algorithm>

namespace nwd {

namespace {
// Records nobody has tried for this long are dropped, so the table stays as
// small as the set of names and places under attack.
constexpr uint32_t kForgetAfter = 3600;
constexpr size_t kPruneAt = 4096;
// Beyond this even live records go, oldest failure first: memory stays
// bounded whatever a flood of names and addresses does.
constexpr size_t kHardCap = 65536;
} // namespace

std::string LoginThrottle::key(const std::string& user, uint32_t source) {
    std::string k(reinterpret_cast<const char*>(&source), sizeof source);
    return k + user;
}

bool LoginThrottle::allowed(const std::string& user, uint32_t source, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = records_.find(key(user, source));
    return it == records_.end() || now >= it->second.blockedUntil;
}

void LoginThrottle::failed(const std::string& user, uint32_t source, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    if (records_.size() >= kPruneAt) {
        for (auto it = records_.begin(); it != records_.end();)
            it = now >= it->second.lastFailure + kForgetAfter ? records_.erase(it) : std::next(it);
    }
    if (records_.size() >= kHardCap) {
        auto oldest = std::min_element(records_.begin(), records_.end(), [](auto& a, auto& b) {
            return a.second.lastFailure < b.second.lastFailure;
        });
        records_.erase(oldest);
    }
    Record& r = records_[key(user, source)];
    if (r.failures && now >= r.lastFailure + kForgetAfter) r = Record{};
    ++r.failures;
    r.lastFailure = now;
    if (r.failures >= kFreeFailures) {
        uint32_t shift = std::min<uint32_t>(r.failures - kFreeFailures, 6);
        r.blockedUntil = now + std::min<uint32_t>(1u << shift, kMaxPause);
    }
}

void LoginThrottle::succeeded(const std::string& user, uint32_t source) {
    std::lock_guard<std::mutex> l(mu_);
    records_.erase(key(user, source));
}

} // namespace nwd
