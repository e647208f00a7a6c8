#include "replycache.h"

#include <chrono>
#include <cstring>

#include "qrd/rpcheader.h"

namespace nwd {

namespace {

// What an entry costs besides its reply: the list and index nodes.
constexpr size_t kEntryOverhead = 128;

uint64_t fnv1a(const uint8_t* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 1099511628211ull;
    }
    return h;
}

int64_t steadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

size_t ReplyCache::KeyHash::operator()(const Key& k) const {
    return size_t(fnv1a(k.data(), k.size()));
}

ReplyCache::ReplyCache(ReplyLimits limits, Clock clock)
    : limits_(limits), clock_(clock ? std::move(clock) : Clock(steadyMillis)) {}

ReplyCache::Reply ReplyCache::answer(const Source& from, const uint8_t* data, size_t size,
                                     const std::function<Reply()>& handle) {
    const std::optional<qrd::rpcwire::RequestHeader> head =
        qrd::rpcwire::readRequestHeader(data, size);
    if (!head) return handle(); // searches, noise: nothing to echo or keep
    const uint32_t id = head->callId;
    auto stamped = [id](Reply r) {
        if (r) qrd::rpcwire::putEcho(r->data(), r->size(), id);
        return r;
    };
    if (id == 0) return stamped(handle());

    Key key;
    key[0] = from.road;
    std::memcpy(key.data() + 1, from.address.data(), from.address.size());
    qrd::putBe32(key.data() + 17, id);
    const uint64_t digest = fnv1a(data, size);
    {
        std::lock_guard<std::mutex> lock(lock_);
        const int64_t now = clock_();
        expire(now);
        auto it = index_.find(key);
        if (it != index_.end() && it->second->digest == digest) {
            if (it->second->running) return std::nullopt; // the first arrival answers
            return it->second->reply;
        }
        if (it != index_.end()) erase(it->second);
        order_.push_front(Entry{key, digest, now, true, {}});
        index_[key] = order_.begin();
        bytes_ += kEntryOverhead;
    }

    Reply reply = stamped(handle());

    std::lock_guard<std::mutex> lock(lock_);
    auto it = index_.find(key);
    // Pushed out meanwhile, or replaced by another request of the identity.
    if (it == index_.end() || it->second->digest != digest || !it->second->running) return reply;
    if (!reply) {
        erase(it->second); // no reply: a copy runs again
        return reply;
    }
    it->second->running = false;
    it->second->reply = *reply;
    bytes_ += reply->size();
    while (!order_.empty() && (index_.size() > limits_.entries || bytes_ > limits_.bytes))
        erase(std::prev(order_.end()));
    return reply;
}

void ReplyCache::expire(int64_t now) {
    while (!order_.empty() && now - order_.back().stored >= limits_.lifetimeMs)
        erase(std::prev(order_.end()));
}

void ReplyCache::erase(List::iterator it) {
    bytes_ -= kEntryOverhead + it->reply.size();
    index_.erase(it->key);
    order_.erase(it);
}

size_t ReplyCache::entries() const {
    std::lock_guard<std::mutex> lock(lock_);
    return index_.size();
}

size_t ReplyCache::bytes() const {
    std::lock_guard<std::mutex> lock(lock_);
    return bytes_;
}

} // namespace nwd
