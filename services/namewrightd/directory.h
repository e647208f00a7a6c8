// Name resolution over the storage: from a Latin-1 name of a given kind to
// its entries and canonical spelling, with the statuses the service answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "storage.h"

namespace nwd {

// Name kinds of the format procedure.
constexpr uint16_t kNameKindOrg = 100, kNameKindGroup = 200, kNameKindObject = 300;

struct Resolved {
    uint16_t status = 0;   // 0, or 1001 / 1002 / 1009 / 1011
    Entry entry;           // the organisation, group or object named
    std::string canonical; // Latin-1 canonical spelling of the whole name
};

class Directory {
  public:
    explicit Directory(Storage& s) : s_(s) {}

    // Resolves `latin1Name`, which must have 1 (org), 2 (group) or 3 (object)
    // parts to match `nameKind`. A nickname stands for its target unless
    // followNicknames is false.
    Resolved resolve(const std::string& latin1Name, uint16_t nameKind, bool followNicknames = true);
    // As resolve, without the canonical spelling (left empty): the look-ups
    // of the parts only, for callers that need the entry alone.
    Resolved locate(const std::string& latin1Name, uint16_t nameKind, bool followNicknames = true);

    // The canonical Latin-1 full name of an entry ("" when it is gone).
    std::string fullName(int64_t entryId);

  private:
    Storage& s_;
};

// The nonce word that identifies a server: a 32-bit FNV-1a hash of its
// upper-cased full name, never 0 (0 is the "nobody logged in" word).
uint32_t serverIdOf(const std::string& latin1FullName);

} // namespace nwd
