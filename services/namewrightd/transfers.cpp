#include "transfers.h"

#include <vector>

namespace nwd {

namespace {
uint32_t elapsed(uint32_t now, uint32_t then) {
    return now >= then ? now - then : 0;
}
} // namespace

void TransferTable::forget(std::map<Key, Transfer>::iterator it) {
    markLost(it->second);
    map_.erase(it);
}

void TransferTable::markLost(Transfer& t) {
    if (t.snapshot) bytes_ -= t.snapshot->bytes.size();
    t.snapshot.reset();
}

void TransferTable::sweep(uint32_t now) {
    if (now == lastSweep_) return;
    lastSweep_ = now;
    for (auto it = map_.begin(); it != map_.end();) {
        auto next = std::next(it);
        if (elapsed(now, it->second.lastUsed) > limits_.idleSeconds) forget(it);
        it = next;
    }
}

TransferTable::Read TransferTable::begin(const SessionId& sid, int64_t owner, AttrId attr,
                                         uint32_t index, uint32_t now,
                                         std::shared_ptr<const AttrValue>& snapshot) {
    std::lock_guard<std::mutex> l(mu_);
    sweep(now);
    snapshot.reset();
    auto it = map_.find(Key{owner, attr, sid});
    if (it == map_.end()) return Read::Anew;
    if (it->second.cursor != index) {
        forget(it);
        return Read::Anew;
    }
    if (!it->second.snapshot) {
        forget(it);
        return Read::Lost;
    }
    snapshot = it->second.snapshot;
    it->second.lastUsed = now;
    it->second.order = ++clock_;
    return Read::Continue;
}

void TransferTable::end(const SessionId& sid, int64_t owner, AttrId attr,
                        std::shared_ptr<const AttrValue> snapshot, uint32_t cursor, bool more,
                        uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    const Key key{owner, attr, sid};
    auto it = map_.find(key);
    if (!more) {
        if (it != map_.end()) forget(it);
        return;
    }
    if (it == map_.end()) {
        // A session keeps a few transfers; the least recently used goes.
        std::vector<std::map<Key, Transfer>::iterator> mine;
        for (auto j = map_.begin(); j != map_.end(); ++j)
            if (std::get<2>(j->first) == sid) mine.push_back(j);
        if (mine.size() >= limits_.perSession) {
            auto oldest = mine.front();
            for (auto j : mine)
                if (j->second.order < oldest->second.order) oldest = j;
            forget(oldest);
        }
        it = map_.emplace(key, Transfer{}).first;
    }
    Transfer& t = it->second;
    if (t.snapshot != snapshot) {
        markLost(t);
        if (snapshot) bytes_ += snapshot->bytes.size();
        t.snapshot = std::move(snapshot);
    }
    t.cursor = cursor;
    t.lastUsed = now;
    t.order = ++clock_;
    // Over the budget: the least recently used snapshots are dropped; their
    // readers are told that the transfer was lost.
    while (bytes_ > limits_.byteBudget) {
        Transfer* victim = nullptr;
        for (auto& [k, other] : map_)
            if (other.snapshot && &other != &t && (!victim || other.order < victim->order))
                victim = &other;
        if (!victim) break;
        markLost(*victim);
    }
}

void TransferTable::written(const SessionId& writer, int64_t owner, AttrId attr) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = map_.lower_bound(Key{owner, attr, SessionId{}});
    while (it != map_.end() && std::get<0>(it->first) == owner && std::get<1>(it->first) == attr) {
        auto next = std::next(it);
        if (std::get<2>(it->first) == writer)
            forget(it);
        else
            markLost(it->second);
        it = next;
    }
}

void TransferTable::dropSession(const SessionId& sid) {
    std::lock_guard<std::mutex> l(mu_);
    for (auto it = map_.begin(); it != map_.end();) {
        auto next = std::next(it);
        if (std::get<2>(it->first) == sid) forget(it);
        it = next;
    }
}

size_t TransferTable::size() {
    std::lock_guard<std::mutex> l(mu_);
    return map_.size();
}

size_t TransferTable::snapshotBytes() {
    std::lock_guard<std::mutex> l(mu_);
    return bytes_;
}

} // namespace nwd
