// Service search: the query a client broadcasts (or, on the Internet road,
// sends to the configured search address) and the 26-byte answer.
//
// Query: u16 kind, u16 3, u16 minRev low, u16 maxRev low, u16 0, u32 minRev,
// u32 maxRev, four criteria {u8 length, text}. On the Internet road a query
// for any service but 15 is preceded by {u8 0, u8 11, u16 service}.
// Answer: u16 5, u16 service, u16 revision low, 16-byte port, u32 revision.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage.h"

namespace nwd {

constexpr uint8_t kSearchPrefixTag = 11; // second byte of the Internet-road prefix
constexpr size_t kQueryFixedBytes = 18;

struct SearchQuery {
    uint16_t service = 0;
    uint16_t kind = 0;
    uint32_t minRevision = 0, maxRevision = 0;
    std::array<std::string, 4> criteria;
};

// Whether a datagram is a query rather than a call: its first u16 is the
// Internet-road prefix or a query kind (calls start with 0).
bool looksLikeQuery(const uint8_t* data, size_t size);

// Parses a query. `defaultService` is the service of the socket it arrived
// on; an Internet-road prefix overrides it. nullopt for anything malformed.
std::optional<SearchQuery> parseQuery(const uint8_t* data, size_t size, uint16_t defaultService,
                                      bool internetRoad);

// Whether a server of `revision` answers: a service search (kind 4) whose
// range holds the revision.
bool wantsAnswer(const SearchQuery& q, uint32_t revision);

std::vector<uint8_t> buildAnswer(uint16_t service, uint32_t revision, const PortRecord& port);

} // namespace nwd
