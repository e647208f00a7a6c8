// Recent replies by (source, call identity): a call that arrives again (its
// client sent it once more after a loss) gets the reply of its first arrival
// instead of running again, so a session start, a login or a write runs
// once however often it arrives. The one place where the daemon stamps the
// echo of the call identity into its replies.
//
// A copy that arrives while the first is still being answered is dropped (the
// first one's reply answers both). A call without an identity (clients of
// the old form send 0) and a call that got no reply are not kept, so they
// run again. Bounded by entries and bytes; entries leave after kLifetimeMs or
// when the bounds push the oldest out, each in O(1).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace nwd {

struct ReplyLimits {
    size_t entries = 8192;
    size_t bytes = 16u << 20;
    // Longer than a client goes on sending one call after its first reply
    // was lost (its intervals stop growing at one second).
    int64_t lifetimeMs = 30000;
};

class ReplyCache {
  public:
    using Reply = std::optional<std::vector<uint8_t>>;
    using Clock = std::function<int64_t()>; // milliseconds, monotonic

    // Who sent a datagram: the road it came on and its address (a native
    // port record, or the Internet socket address) in 16 bytes.
    struct Source {
        uint8_t road = 0;
        std::array<uint8_t, 16> address{};
    };

    explicit ReplyCache(ReplyLimits limits = {}, Clock clock = {});

    // The reply to the datagram `data` from `from`; `handle` runs it when it
    // is not a copy of a call answered (or being answered) already.
    Reply answer(const Source& from, const uint8_t* data, size_t size,
                 const std::function<Reply()>& handle);

    size_t entries() const;
    size_t bytes() const;

  private:
    using Key = std::array<uint8_t, 21>; // road, address, identity
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Entry {
        Key key;
        uint64_t digest; // of the whole request: an identity reused for
                         // another request is a new call
        int64_t stored;
        bool running;
        std::vector<uint8_t> reply;
    };
    using List = std::list<Entry>; // newest first

    // With lock_ held.
    void expire(int64_t now);
    void erase(List::iterator it);

    ReplyLimits limits_;
    Clock clock_;
    mutable std::mutex lock_;
    List order_;                                             // guarded by lock_
    std::unordered_map<Key, List::iterator, KeyHash> index_; // guarded by lock_
    size_t bytes_ = 0;                                       // guarded by lock_
};

} // namespace nwd
