#include "transfers.h"

namespace nwd {

namespace {
uint32_t elapsed(uint32_t now, uint32_t then) {
    return now >= then ? now - then : 0;
}
} // namespace

TransferTable::Map::iterator TransferTable::find(const Key& k) {
    return map_.find(k);
}

TransferTable::Map::iterator TransferTable::insert(const Key& k, uint32_t now) {
    auto it = map_.emplace(k, Transfer{}).first;
    it->second.lru = order_.insert(order_.end(), it);
    it->second.lastUsed = now;
    return it;
}

void TransferTable::touch(Map::iterator it, uint32_t now) {
    it->second.lastUsed = now;
    order_.splice(order_.end(), order_, it->second.lru);
}

void TransferTable::forget(Map::iterator it) {
    bytes_ -= it->second.bytes;
    order_.erase(it->second.lru);
    map_.erase(it);
}

// The least recently used are at the front: idle ones are found at once.
void TransferTable::expire(uint32_t now) {
    while (!order_.empty() && elapsed(now, order_.front()->second.lastUsed) > limits_.idleSeconds)
        forget(order_.front());
}

bool TransferTable::makeRoom(const SessionId& sid, size_t bytes, Map::iterator keep) {
    if (bytes > limits_.stagedBudget) return false;
    // The session's own transfers: one range of the map, at most perSession.
    std::vector<Map::iterator> mine;
    for (auto it = map_.lower_bound(Key{sid, INT64_MIN, AttrId{}, false});
         it != map_.end() && std::get<0>(it->first) == sid; ++it)
        if (it != keep) mine.push_back(it);
    const bool adding = keep == map_.end();
    while (adding && !mine.empty() && mine.size() >= limits_.perSession) {
        auto oldest = mine.begin();
        for (auto j = mine.begin(); j != mine.end(); ++j)
            if ((*j)->second.lastUsed < (*oldest)->second.lastUsed) oldest = j;
        forget(*oldest);
        mine.erase(oldest);
    }
    for (auto it = order_.begin(); it != order_.end();) {
        const bool full = (adding && map_.size() >= limits_.maxTransfers) ||
                          bytes_ + bytes > limits_.stagedBudget;
        if (!full) break;
        auto victim = *it++;
        if (victim != keep) forget(victim);
    }
    return bytes_ + bytes <= limits_.stagedBudget;
}

std::optional<AttrVersion> TransferTable::continuedRead(const SessionId& sid, int64_t owner,
                                                        AttrId attr, uint32_t index, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    expire(now);
    auto it = find(Key{sid, owner, attr, false});
    if (it == map_.end()) return std::nullopt;
    if (it->second.cursor != index) {
        forget(it);
        return std::nullopt;
    }
    touch(it, now);
    return it->second.version;
}

void TransferTable::readDone(const SessionId& sid, int64_t owner, AttrId attr, AttrVersion v,
                             uint32_t cursor, bool more, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    const Key key{sid, owner, attr, false};
    auto it = find(key);
    if (!more) {
        if (it != map_.end()) forget(it);
        return;
    }
    if (it == map_.end()) {
        makeRoom(sid, 0, map_.end());
        it = insert(key, now);
    } else {
        touch(it, now);
    }
    it->second.version = v;
    it->second.cursor = cursor;
}

bool TransferTable::stage(const SessionId& sid, int64_t owner, AttrId attr, bool first,
                          uint32_t index, StagedPart part, uint32_t cursor, uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    expire(now);
    const Key key{sid, owner, attr, true};
    auto it = find(key);
    if (first) {
        if (it != map_.end()) forget(it);
        it = map_.end();
    } else if (it != map_.end() && it->second.lastIndex == index && it->second.cursor == cursor &&
               !it->second.parts.empty()) {
        // The exchange just staged, sent again (its reply was lost): same place, same end.
        Transfer& t = it->second;
        bytes_ -= t.parts.back().data.size();
        t.bytes -= t.parts.back().data.size();
        t.parts.pop_back();
    } else if (it == map_.end() || it->second.cursor != index) {
        if (it != map_.end()) forget(it);
        return false;
    }
    const size_t bytes = part.data.size();
    if (!makeRoom(sid, bytes, it)) {
        if (it != map_.end()) forget(it);
        return false;
    }
    if (it == map_.end())
        it = insert(key, now);
    else
        touch(it, now);
    it->second.parts.push_back(std::move(part));
    it->second.bytes += bytes;
    bytes_ += bytes;
    it->second.lastIndex = index;
    it->second.cursor = cursor;
    return true;
}

std::optional<std::vector<StagedPart>> TransferTable::take(const SessionId& sid, int64_t owner,
                                                           AttrId attr, uint32_t index,
                                                           uint32_t now) {
    std::lock_guard<std::mutex> l(mu_);
    expire(now);
    auto it = find(Key{sid, owner, attr, true});
    if (it == map_.end()) return std::nullopt;
    std::optional<std::vector<StagedPart>> parts;
    if (it->second.cursor == index) parts = std::move(it->second.parts);
    forget(it);
    return parts;
}

void TransferTable::dropSession(const SessionId& sid) {
    std::lock_guard<std::mutex> l(mu_);
    auto it = map_.lower_bound(Key{sid, INT64_MIN, AttrId{}, false});
    while (it != map_.end() && std::get<0>(it->first) == sid)
        forget(it++);
}

size_t TransferTable::size() {
    std::lock_guard<std::mutex> l(mu_);
    return map_.size();
}

size_t TransferTable::stagedBytes() {
    std::lock_guard<std::mutex> l(mu_);
    return bytes_;
}

} // namespace nwd
