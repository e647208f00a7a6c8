// Names resolved by the attribute and record procedures, and the facts about
// a session's user that the write rules need, remembered between requests:
// every exchange of a chunked transfer names its object again, and looking
// it up part by part costs more than the rest of the exchange.
//
// Valid for one directory stamp (Storage::directoryStamp): sync() with a
// different stamp drops everything, so a change of names, nicknames, group
// servers or users, by this daemon or by an admin command in another
// process, is seen by the next request. A value found under a stamp is put
// back with that stamp and kept only while the cache still holds it, so a
// look-up that raced with a change can never outlive the change.
//
// Threads: every member may be called from any thread; state is guarded by
// mu_.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "storage.h"

namespace nwd {

class NameCache {
  public:
    // An object or group named in a request, and the status that refers its
    // attribute procedures to another server (0: this server holds it).
    struct Target {
        Entry entry;
        uint16_t referral = 0;
    };
    // A session's user as the write rules see it.
    struct User {
        bool exists = false; // a user of this directory
        bool admin = false;
        int64_t groupId = 0;
        std::string name;   // canonical Latin-1 full name ("" when gone)
        uint32_t epoch = 0; // sessions of an older epoch are over
    };

    // At most `capacity` names and as many users; a full table starts over.
    explicit NameCache(size_t capacity = 4096) : capacity_(capacity) {}

    // Drops everything unless `stamp` is the stamp the cache holds.
    void sync(uint64_t stamp);
    // The stamp the cache holds now: the one to put a value back with that
    // is about to be looked up.
    uint64_t stamp();

    // The key of a Latin-1 name of a name kind (100, 200, 300): look-ups
    // ignore case, so neither does the key.
    static std::string key(const std::string& latin1Name, uint16_t nameKind);

    std::optional<Target> target(const std::string& key);
    void putTarget(uint64_t stamp, const std::string& key, const Target& t);
    std::optional<User> user(int64_t userId);
    void putUser(uint64_t stamp, int64_t userId, const User& u);

    size_t size();

  private:
    void clearLocked();

    const size_t capacity_;
    std::mutex mu_;
    uint64_t stamp_ = 0;                              // guarded by mu_
    bool synced_ = false;                             // guarded by mu_
    std::unordered_map<std::string, Target> targets_; // guarded by mu_
    std::unordered_map<int64_t, User> users_;         // guarded by mu_
};

} // namespace nwd
