// Per-session state of chunked attribute transfers.
//
// A value larger than one exchange travels in several exchanges, each naming
// its absolute element position; every exchange after the first is marked
// as continuing (qrd::nm::kPartContinues).
//
// Reads pin a version: the first exchange remembers which version of the
// value it answered (AttrVersion) and where it ended (the cursor). A
// continuation at the cursor reads only the chunks it needs and is answered
// only while the value still has that version; otherwise, and when its
// transfer is gone, the reader is told to read again (1039) instead of being
// given a mix of two versions.
//
// Writes are staged: the exchanges of a write are kept here until its last
// one, and the handler stores them all in one transaction. Until then nobody
// else sees any of it; a write that is abandoned, or pushed out by the
// limits, leaves the stored value as it was, and its next exchange is
// refused (1039).
//
// Limits: a session keeps at most `perSession` transfers, all sessions at
// most `maxTransfers` and `stagedBudget` bytes of staged writes; beyond
// them the least recently used transfer goes, and so does a transfer
// untouched for `idleSeconds`. Every operation costs O(log n).
//
// Threads: every member may be called from any thread; state is guarded by
// mu_.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

#include "session.h"
#include "storage.h"

namespace nwd {

struct TransferLimits {
    size_t perSession = 8;           // transfers one session keeps open
    size_t maxTransfers = 16384;     // all sessions together
    size_t stagedBudget = 16u << 20; // bytes staged by all open writes (16 whole values)
    uint32_t idleSeconds = 600;      // an untouched transfer is forgotten
};

// One exchange of a write, as the storage will apply it.
struct StagedPart {
    uint32_t type = 0;
    uint64_t offset = 0; // bytes
    std::vector<uint8_t> data;
    bool cut = false;
};

class TransferTable {
  public:
    explicit TransferTable(TransferLimits limits = {}) : limits_(limits) {}

    // Reads. The version a continued read at `index` must find, or nullopt
    // when the transfer is unknown or stands elsewhere (it is forgotten).
    std::optional<AttrVersion> continuedRead(const SessionId& sid, int64_t owner, AttrId attr,
                                             uint32_t index, uint32_t now);
    // After a read exchange: keep the version and cursor when more follows,
    // forget the transfer otherwise (also a new read forgets an old one).
    void readDone(const SessionId& sid, int64_t owner, AttrId attr, AttrVersion v, uint32_t cursor,
                  bool more, uint32_t now);

    // Writes. The first exchange of a write (an open one of the same key is
    // forgotten) or a continuation at the staged end `index`; false when the
    // continuation has no open write there (it is forgotten) or the part
    // cannot be kept within the limits. `cursor` is where the next goes on.
    // The last exchange staged, sent again, replaces itself.
    bool stage(const SessionId& sid, int64_t owner, AttrId attr, bool first, uint32_t index,
               StagedPart part, uint32_t cursor, uint32_t now);
    // The last exchange: the staged parts, taken out of the table, when the
    // open write ends at `index`; nullopt otherwise.
    std::optional<std::vector<StagedPart>> take(const SessionId& sid, int64_t owner, AttrId attr,
                                                uint32_t index, uint32_t now);

    // The session ended.
    void dropSession(const SessionId& sid);

    size_t size();
    size_t stagedBytes();

  private:
    // Ordered by session first, so that a session's transfers are one range.
    using Key = std::tuple<SessionId, int64_t, AttrId, bool>; // bool: a write
    struct Transfer;
    using Map = std::map<Key, Transfer>;
    struct Transfer {
        AttrVersion version;           // reads
        std::vector<StagedPart> parts; // writes
        size_t bytes = 0;              // staged bytes
        uint32_t cursor = 0;
        uint32_t lastIndex = 0; // of the last exchange staged
        uint32_t lastUsed = 0;
        std::list<Map::iterator>::iterator lru;
    };
    Map::iterator find(const Key& k);
    Map::iterator insert(const Key& k, uint32_t now);
    void touch(Map::iterator it, uint32_t now);
    void forget(Map::iterator it);
    // Makes room for one more transfer of `sid` and `bytes` more bytes,
    // sparing `keep`; false when even an empty table would not hold them.
    bool makeRoom(const SessionId& sid, size_t bytes, Map::iterator keep);
    void expire(uint32_t now);

    TransferLimits limits_;
    std::mutex mu_;
    Map map_;                        // guarded by mu_
    std::list<Map::iterator> order_; // least recently used first, guarded by mu_
    size_t bytes_ = 0;               // staged bytes held, guarded by mu_
};

} // namespace nwd
