// The service search's datagrams: the query a client broadcasts (or sends to
// the search address on the Internet road) and a server's answer. The one
// definition the client library writes queries and reads answers with, and
// the daemon reads queries and writes answers with.
//
// Query: u16 kind, u16 3, u16 minRev low, u16 maxRev low, u16 0, u32 minRev,
// u32 maxRev, four criteria {u8 length, text}. On the Internet road a query
// for any service but 15 is preceded by {u8 0, u8 11, u16 service}.
// Answer (26 bytes): u16 5, u16 service, u16 revision low, 16-byte port,
// u32 revision. A short answer (22 bytes) ends after the port; its revision
// is the u16 at 4.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qrd/bytes.h"
#include "qrd/portrecord.h"

namespace qrd::searchwire {

constexpr uint16_t kQueryFindSvc = 4, kQueryKind6 = 6;
constexpr uint16_t kAnswerKind = 5;
constexpr uint8_t kPrefixTag = 11; // second byte of the Internet-road prefix
constexpr uint16_t kQueryWord = 3;
constexpr size_t kQueryFixedBytes = 18;
constexpr size_t kCriterionMax = 255;
constexpr size_t kAnswerSize = 26, kShortAnswerSize = 22;
constexpr size_t kAnswerPortAt = 6, kAnswerRevisionAt = 22, kShortRevisionAt = 4;

struct Query {
    uint16_t service = 0;
    uint16_t kind = kQueryFindSvc;
    uint32_t minRevision = 0, maxRevision = 0;
    std::array<std::string, 4> criteria; // each cut to 255 bytes when sent
};

// `prefixed`: the Internet road's prefix naming the service goes first.
inline std::vector<uint8_t> encodeQuery(const Query& q, bool prefixed) {
    BeWriter w;
    if (prefixed) {
        w.u8(0);
        w.u8(kPrefixTag);
        w.u16(q.service);
    }
    w.u16(q.kind);
    w.u16(kQueryWord);
    w.u16(uint16_t(q.minRevision));
    w.u16(uint16_t(q.maxRevision));
    w.u16(0);
    w.u32(q.minRevision);
    w.u32(q.maxRevision);
    for (const std::string& c : q.criteria) {
        const size_t n = std::min(c.size(), kCriterionMax);
        w.u8(uint8_t(n));
        w.bytes(c.data(), n);
    }
    return std::move(w.data());
}

inline bool isPrefixed(const uint8_t* data, size_t size) {
    return size >= 2 && data[0] == 0 && data[1] == kPrefixTag;
}

// A query; `service` is the one of the socket it arrived on unless an
// Internet-road prefix names another. Nothing for anything malformed.
inline std::optional<Query> decodeQuery(const uint8_t* data, size_t size, uint16_t service,
                                        bool internetRoad) {
    BeReader r(data, size);
    Query q;
    q.service = service;
    if (internetRoad && size >= 4 && isPrefixed(data, size)) {
        r.skip(2);
        q.service = r.u16();
    }
    q.kind = r.u16();
    r.skip(8); // the word 3, both low halves, 0
    q.minRevision = r.u32();
    q.maxRevision = r.u32();
    for (std::string& c : q.criteria) {
        const uint8_t n = r.u8();
        c.resize(n);
        if (!r.bytes(c.data(), n)) return std::nullopt;
    }
    if (!r.ok()) return std::nullopt;
    return q;
}

inline std::vector<uint8_t> encodeAnswer(uint16_t service, uint32_t revision,
                                         const port::Bytes& port) {
    BeWriter w;
    w.u16(kAnswerKind);
    w.u16(service);
    w.u16(uint16_t(revision));
    w.bytes(port.data(), port.size());
    w.u32(revision);
    return std::move(w.data());
}

// An answer of 26 or 22 bytes: its revision; nothing for any other datagram.
inline std::optional<uint32_t> decodeAnswer(const uint8_t* data, size_t size) {
    if ((size != kAnswerSize && size != kShortAnswerSize) || getBe16(data) != kAnswerKind)
        return std::nullopt;
    if (size == kAnswerSize) return getBe32(data + kAnswerRevisionAt);
    return getBe16(data + kShortRevisionAt);
}

} // namespace qrd::searchwire
