// Directory assistance: the data query's paging over the storage's index
// of names (Storage::nmdaNames). Independent of sockets and sessions.
//
// A page is found from the context: the first or last names of the answer,
// the names after the current page's last key (next) or before its first
// key (previous), the names from a relative position (0-100), or from a
// typed text. Keys travel in the context, so that a page stays right when
// names come and go between two queries; every page is one walk of the
// index from a key, whatever the directory's size.
//
// Relative positions: the answer's keys at each percent of its length, a
// table of 101 keys made in one walk of the index and kept for the filter
// (NmdaPositionCache). A key's position is the first percent whose key is
// not below it; position p turns back into the table's key p. A table is
// made again when the directory changed and it is a second old: between
// two makings positions may lag a change, the pages never do (they are
// found from keys), and a burst of changes costs one walk, not one per
// page.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "qrd/nmdawire.h"
#include "storage.h"

namespace nwd {

// The filter of a kind, a name pattern (Latin-1, '*' and '?'; "" = every
// name; missing parts stand for "*") and criteria: 0, or 1001 for a pattern
// that cannot match a name, 1068 for a kind or criterion out of range.
uint16_t nmdaFilter(uint16_t kind, const std::string& pattern,
                    const std::vector<qrd::nmdawire::Criterion>& criteria, NmdaFilter& out,
                    std::string& from, std::string& below);

// The keys at 0, 1, ... 100 percent of an answer; empty for an empty one.
struct NmdaPositions {
    std::vector<std::string> keys;
    static NmdaPositions fromKeys(const std::vector<std::string>& all);
    uint16_t positionOf(const std::string& key) const;
    const std::string& keyAt(uint16_t position) const;
};

// Position tables of the answers asked for lately. Threads: any; the
// making of a table runs under the cache's lock, so that a burst of
// queries makes it once.
class NmdaPositionCache {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kTables = 32;
    static constexpr std::chrono::milliseconds kMinAge{1000};

    std::shared_ptr<const NmdaPositions> get(Storage& storage, const NmdaFilter& f,
                                             const std::string& from, const std::string& below);
    // Tables made so far (tests and the benchmark).
    uint64_t made() const;

  private:
    struct Table {
        std::string signature;
        uint64_t stamp = 0;
        Clock::time_point madeAt;
        std::shared_ptr<const NmdaPositions> positions;
    };
    mutable std::mutex mu_;
    std::list<Table> tables_; // most recently used first; guarded by mu_
    uint64_t made_ = 0;       // guarded by mu_
};

// Nonces of other servers that their issuer vouched for lately, so that a
// browser paging through the directory costs its issuer one question a
// minute, not one per page. Threads: any.
class NmdaVouched {
  public:
    static constexpr uint32_t kSeconds = 60;
    static constexpr size_t kMax = 4096;
    using Key = std::pair<std::array<uint8_t, 14>, uint32_t>; // the nonce, the workstation
    bool has(const Key& k, uint32_t now) const;
    void put(const Key& k, uint32_t now);

  private:
    mutable std::mutex mu_;
    std::map<Key, uint32_t> until_; // guarded by mu_
};

// Answers a data query: 0 with the page and the updated context, or a
// status to refuse it with.
uint16_t nmdaServe(Storage& storage, NmdaPositionCache& positions,
                   const qrd::nmdawire::DataRequest& request, qrd::nmdawire::DataReply& reply);

// The kind code of a row (users 0 ... nicknames 5).
uint16_t nmdaKindOf(const NmdaRow& row);

} // namespace nwd
