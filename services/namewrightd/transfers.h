// Per-session state of chunked attribute reads.
//
// A value larger than one exchange is read in several exchanges, each naming
// the absolute element position it starts at. The first exchange takes a
// snapshot of the value; an exchange of the same session for the same object
// and attribute whose index equals the position where the previous one ended
// (the cursor) is served from that snapshot, so the reader sees one version
// of the value however it changes meanwhile. Any other index starts anew.
// A transfer ends (and its snapshot goes) when an exchange leaves nothing to
// follow.
//
// A write of the attribute drops every snapshot of it. The writer's own
// transfer is forgotten (its next read starts anew and sees what it wrote).
// Another session's transfer is marked lost: its next exchange at the cursor
// would mix two versions, so it is refused (1039) and the reader reads again.
// Snapshots pushed out by the memory budget are marked lost the same way.
//
// Threads: every member may be called from any thread; state is guarded by
// mu_.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "session.h"
#include "storage.h"

namespace nwd {

struct TransferLimits {
    size_t perSession = 8;         // transfers one session keeps open
    size_t byteBudget = 64u << 20; // bytes of all snapshots together
    uint32_t idleSeconds = 600;    // an untouched transfer is forgotten
};

class TransferTable {
  public:
    explicit TransferTable(TransferLimits limits = {}) : limits_(limits) {}

    enum class Read { Anew, Continue, Lost };

    // The state of a read exchange at `index`. Continue gives the snapshot
    // in `snapshot`; Lost means the transfer's snapshot was dropped (the
    // transfer is forgotten with this answer).
    Read begin(const SessionId& sid, int64_t owner, AttrId attr, uint32_t index, uint32_t now,
               std::shared_ptr<const AttrValue>& snapshot);
    // After an exchange: keep `snapshot` with the cursor when more follows,
    // forget the transfer otherwise.
    void end(const SessionId& sid, int64_t owner, AttrId attr,
             std::shared_ptr<const AttrValue> snapshot, uint32_t cursor, bool more, uint32_t now);
    // The attribute was written (or deleted) by session `writer`.
    void written(const SessionId& writer, int64_t owner, AttrId attr);
    // The session ended.
    void dropSession(const SessionId& sid);

    size_t size();
    size_t snapshotBytes();

  private:
    // Ordered by attribute first, so that a write finds its readers at once.
    using Key = std::tuple<int64_t, AttrId, SessionId>;
    struct Transfer {
        std::shared_ptr<const AttrValue> snapshot; // null: lost
        uint32_t cursor = 0;
        uint32_t lastUsed = 0;
        uint64_t order = 0; // use order, for least-recently-used choices
    };
    void forget(std::map<Key, Transfer>::iterator it);
    void markLost(Transfer& t);
    void sweep(uint32_t now);

    TransferLimits limits_;
    std::mutex mu_;
    std::map<Key, Transfer> map_; // guarded by mu_
    size_t bytes_ = 0;            // snapshot bytes held, guarded by mu_
    uint64_t clock_ = 0;          // guarded by mu_
    uint32_t lastSweep_ = 0;      // guarded by mu_
};

} // namespace nwd
