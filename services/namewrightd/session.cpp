#include "session.h"

#include <vector>

#include "kdf.h"
#include "names.h"
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

void SessionTable::touch(Slot& s, uint32_t now) {
    s.lastUsed = now;
    all_.splice(all_.begin(), all_, s.inAll);
    s.userOrder->splice(s.userOrder->begin(), *s.userOrder, s.inUser);
    s.sourceOrder->splice(s.sourceOrder->begin(), *s.sourceOrder, s.inSource);
}

void SessionTable::erase(uint32_t k) {
    auto it = slots_.find(k);
    if (it == slots_.end()) return;
    Slot& s = it->second;
    all_.erase(s.inAll);
    s.userOrder->erase(s.inUser);
    if (s.userOrder->empty()) byUser_.erase(s.userKey);
    s.sourceOrder->erase(s.inSource);
    if (s.sourceOrder->empty()) bySource_.erase(s.session.source);
    slots_.erase(it);
    if (onEnd_) {
        SessionId id;
        qrd::putBe32(id.data(), k);
        onEnd_(id);
    }
}

void SessionTable::setOnEnd(std::function<void(const SessionId&)> onEnd) {
    std::lock_guard<std::mutex> lock(mu_);
    onEnd_ = std::move(onEnd);
}

void SessionTable::expire(uint32_t now) {
    while (!all_.empty() && elapsed(now, slots_.at(all_.back()).lastUsed) > limits_.idleSeconds)
        erase(all_.back());
}

bool SessionTable::makeRoom(const Order& order, size_t cap, uint32_t now) {
    if (order.size() < cap) return true;
    if (order.empty()) return false; // a cap of 0
    const uint32_t oldest = order.back();
    if (elapsed(now, slots_.at(oldest).lastUsed) < limits_.evictableAfter) return false;
    erase(oldest);
    return true;
}

bool SessionTable::open(const Session& s, uint32_t now, SessionId& id, OpenRefusal* why) {
    auto refuse = [why](OpenRefusal r) {
        if (why) *why = r;
        return false;
    };
    const std::string userKey = nameKey(s.user);
    std::lock_guard<std::mutex> l(mu_);
    expire(now);
    // The user's own sessions make room first: a flood of starts by one user
    // only ends that user's sessions.
    if (auto u = byUser_.find(userKey); u != byUser_.end() && u->second.size() >= limits_.perUser)
        erase(u->second.back());
    static const Order kNone;
    auto src = bySource_.find(s.source);
    if (!makeRoom(src == bySource_.end() ? kNone : src->second, limits_.perSource, now) ||
        !makeRoom(all_, limits_.capacity, now))
        return refuse(OpenRefusal::Full);
    // Identifier 0 is never handed out, so a zeroed record never matches.
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (!randomBytes(id.data(), id.size())) return refuse(OpenRefusal::NoRandom);
        const uint32_t k = key(id);
        if (k == 0 || slots_.count(k)) continue;
        Slot& slot = slots_[k];
        slot.session = s;
        slot.userKey = userKey;
        slot.lastUsed = now;
        Order& u = byUser_[userKey];
        Order& from = bySource_[s.source];
        slot.inAll = all_.insert(all_.begin(), k);
        slot.inUser = u.insert(u.begin(), k);
        slot.inSource = from.insert(from.begin(), k);
        slot.userOrder = &u;
        slot.sourceOrder = &from;
        return true;
    }
    return refuse(OpenRefusal::NoRandom);
}

SessionTable::Slot* SessionTable::live(uint32_t k, Source from, uint32_t now) {
    if (!throttle_.allowed(from.address, now)) return nullptr;
    auto it = slots_.find(k);
    Slot* s = it == slots_.end() ? nullptr : &it->second;
    if (s && elapsed(now, s->lastUsed) > limits_.idleSeconds) {
        erase(k);
        s = nullptr;
    }
    // A session of another address fails as an unknown one would: the
    // answer does not tell that the identifier exists.
    if (s && s->session.source != from.address) s = nullptr;
    if (!s) throttle_.failed(from.address, now);
    return s;
}

std::optional<Session> SessionTable::find(const SessionId& id, Source from, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    Slot* s = live(key(id), from, now);
    if (!s) return std::nullopt;
    touch(*s, now);
    return s->session;
}

bool SessionTable::close(const SessionId& id, Source from, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    if (!live(key(id), from, now)) return false;
    erase(key(id));
    return true;
}

void SessionTable::end(const SessionId& id) {
    std::lock_guard<std::mutex> l(mu_);
    erase(key(id));
}

size_t SessionTable::endSessionsOfUser(int64_t userId) {
    if (userId == 0) return 0; // users of other servers are not told apart by id
    std::lock_guard<std::mutex> l(mu_);
    std::vector<uint32_t> doomed;
    for (const auto& [k, s] : slots_)
        if (s.session.userId == userId) doomed.push_back(k);
    for (uint32_t k : doomed)
        erase(k);
    return doomed.size();
}

size_t SessionTable::endSessionsOfNonce(const Nonce& n) {
    std::lock_guard<std::mutex> l(mu_);
    std::vector<uint32_t> doomed;
    for (const auto& [k, s] : slots_) {
        const Nonce& m = s.session.nonce;
        if (m.opaque == n.opaque && m.word1 == n.word1 && m.word2 == n.word2) doomed.push_back(k);
    }
    for (uint32_t k : doomed)
        erase(k);
    return doomed.size();
}

std::optional<Session> SessionTable::findUserAt(Source from, const std::string& userKey,
                                                uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    auto src = bySource_.find(from.address);
    if (src == bySource_.end()) return std::nullopt;
    for (uint32_t k : src->second) {
        Slot& s = slots_.at(k);
        if (s.userKey != userKey || elapsed(now, s.lastUsed) > limits_.idleSeconds) continue;
        touch(s, now);
        return s.session;
    }
    return std::nullopt;
}

bool SessionTable::anyAt(Source from, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    auto src = bySource_.find(from.address);
    return src != bySource_.end() &&
           elapsed(now, slots_.at(src->second.front()).lastUsed) <= limits_.idleSeconds;
}

size_t SessionTable::size() {
    std::lock_guard<std::mutex> l(mu_);
    return slots_.size();
}

} // namespace nwd
