#include "namecache.h"

#include "names.h"

namespace nwd {

void NameCache::clearLocked() {
    targets_.clear();
    users_.clear();
}

void NameCache::sync(uint64_t stamp) {
    std::lock_guard<std::mutex> l(mu_);
    if (synced_ && stamp == stamp_) return;
    clearLocked();
    stamp_ = stamp;
    synced_ = true;
}

uint64_t NameCache::stamp() {
    std::lock_guard<std::mutex> l(mu_);
    return stamp_;
}

std::string NameCache::key(const std::string& latin1Name, uint16_t nameKind) {
    std::string k(1, char(nameKind / 100));
    k += upperLatin1(latin1Name);
    return k;
}

std::optional<NameCache::Target> NameCache::target(const std::string& key) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = targets_.find(key);
    if (it == targets_.end()) return std::nullopt;
    return it->second;
}

void NameCache::putTarget(uint64_t stamp, const std::string& key, const Target& t) {
    std::lock_guard<std::mutex> l(mu_);
    if (!synced_ || stamp != stamp_) return;
    if (targets_.size() >= capacity_) targets_.clear();
    targets_[key] = t;
}

std::optional<NameCache::User> NameCache::user(int64_t userId) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = users_.find(userId);
    if (it == users_.end()) return std::nullopt;
    return it->second;
}

void NameCache::putUser(uint64_t stamp, int64_t userId, const User& u) {
    std::lock_guard<std::mutex> l(mu_);
    if (!synced_ || stamp != stamp_) return;
    if (users_.size() >= capacity_) users_.clear();
    users_[userId] = u;
}

size_t NameCache::size() {
    std::lock_guard<std::mutex> l(mu_);
    return targets_.size() + users_.size();
}

} // namespace nwd
