#include "session.h"

#include <vector>

#include "kdf.h"
#include "qrd/bytes.h"

namespace nwd {

namespace {
// Seconds from `then` to `now`; a clock that went back counts as no time.
uint32_t elapsed(uint32_t now, uint32_t then) {
    return now >= then ? now - then : 0;
}
} // namespace

uint32_t SessionTable::key(const SessionId& id) {
    return qrd::getBe32(id.data());
}

bool SessionTable::open(const Session& s, uint32_t now, SessionId& id) {
    std::lock_guard<std::mutex> l(mu_);
    if (map_.size() >= capacity_) {
        for (auto it = map_.begin(); it != map_.end();) {
            if (elapsed(now, it->second.lastUsed) > idle_)
                it = map_.erase(it);
            else
                ++it;
        }
    }
    if (map_.size() >= capacity_ && !map_.empty()) {
        auto oldest = map_.begin();
        for (auto it = map_.begin(); it != map_.end(); ++it)
            if (it->second.lastUsed < oldest->second.lastUsed) oldest = it;
        map_.erase(oldest);
    }
    // Identifier 0 is never handed out, so a zeroed record never matches.
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (!randomBytes(id.data(), id.size())) return false;
        uint32_t k = key(id);
        if (k == 0 || map_.count(k)) continue;
        Session copy = s;
        copy.lastUsed = now;
        map_.emplace(k, std::move(copy));
        return true;
    }
    return false;
}

std::optional<Session> SessionTable::find(const SessionId& id, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = map_.find(key(id));
    if (it == map_.end()) return std::nullopt;
    if (elapsed(now, it->second.lastUsed) > idle_) {
        map_.erase(it);
        return std::nullopt;
    }
    it->second.lastUsed = now;
    return it->second;
}

bool SessionTable::close(const SessionId& id) {
    std::lock_guard<std::mutex> l(mu_);
    return map_.erase(key(id)) > 0;
}

size_t SessionTable::size() {
    std::lock_guard<std::mutex> l(mu_);
    return map_.size();
}

} // namespace nwd
