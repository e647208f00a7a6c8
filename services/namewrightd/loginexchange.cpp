#include "loginexchange.h"

#include <algorithm>

namespace nwd {

void LoginExchanges::dropExpired(uint32_t now) {
    for (auto it = map_.begin(); it != map_.end();)
        it = now >= it->second.started + kLifetime || now < it->second.started ? map_.erase(it)
                                                                               : std::next(it);
}

bool LoginExchanges::add(PendingLogin p, uint32_t now, uint32_t& id) {
    std::lock_guard<std::mutex> l(mu_);
    auto oldestOf = [&](auto pick) {
        auto oldest = map_.end();
        for (auto it = map_.begin(); it != map_.end(); ++it)
            if (pick(it->second) &&
                (oldest == map_.end() || it->second.started < oldest->second.started))
                oldest = it;
        return oldest;
    };
    const uint32_t source = p.source;
    size_t mine = size_t(std::count_if(map_.begin(), map_.end(),
                                       [&](auto& e) { return e.second.source == source; }));
    if (mine >= kPerSource)
        map_.erase(oldestOf([&](const PendingLogin& q) { return q.source == source; }));
    if (map_.size() >= kCapacity) dropExpired(now);
    if (map_.size() >= kCapacity) map_.erase(oldestOf([](const PendingLogin&) { return true; }));
    p.started = now;
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (!randomBytes(&id, sizeof id)) return false;
        if (id == 0 || map_.count(id)) continue;
        map_.emplace(id, std::move(p));
        return true;
    }
    return false;
}

std::optional<PendingLogin> LoginExchanges::take(uint32_t id, uint32_t source, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = map_.find(id);
    if (it == map_.end() || it->second.source != source) return std::nullopt;
    PendingLogin p = std::move(it->second);
    map_.erase(it);
    if (now >= p.started + kLifetime || now < p.started) return std::nullopt;
    return p;
}

} // namespace nwd
