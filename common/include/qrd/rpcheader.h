// The RPC datagram headers: the one definition the client's call routine and
// the daemon both write and read.
//
// Request: {u16 type 0 (call), u16 0, u32 call identity, u16 version,
// u16 procedure}, then the arguments. Reply: {u16 type, u16 echo}, then the
// results (type 2, return) or a u16 code (types 1 and 3, refusals).
// Big-endian throughout.
//
// The call identity is the caller's number for one call (0: none, as callers
// of the old form send); every transmission of the call carries the same one.
// A reply echoes its low half in bytes 2-3, which readers of the old form
// never look at, so a caller tells the answer to its call from a late answer
// to another one or from a forgery that did not see the request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "qrd/bytes.h"

namespace qrd::rpcwire {

// Message types of the first word.
constexpr uint16_t kCall = 0, kRefused = 1, kReturn = 2, kRefused2 = 3;

constexpr size_t kRequestHeaderSize = 12;
constexpr size_t kCallIdAt = 4, kVersionAt = 8, kProcedureAt = 10;
constexpr uint16_t kProgramVersion = 1;

constexpr size_t kReplyHeaderSize = 4; // where the results start
constexpr size_t kEchoAt = 2;
constexpr size_t kRefusalCodeAt = 4;
constexpr size_t kRefusalSize = 6;

// Writes the request header into the first 12 bytes of `at`.
inline void putRequestHeader(uint8_t* at, uint16_t version, uint16_t procedure,
                             uint32_t callId = 0) {
    std::memset(at, 0, kCallIdAt);
    putBe32(at + kCallIdAt, callId);
    putBe16(at + kVersionAt, version);
    putBe16(at + kProcedureAt, procedure);
}

struct RequestHeader {
    uint16_t version;
    uint16_t procedure;
    uint32_t callId;
};

// The header of a call datagram; nothing when it is not a call or too short.
inline std::optional<RequestHeader> readRequestHeader(const uint8_t* data, size_t size) {
    if (size < kRequestHeaderSize || getBe16(data) != kCall) return std::nullopt;
    return RequestHeader{getBe16(data + kVersionAt), getBe16(data + kProcedureAt),
                         getBe32(data + kCallIdAt)};
}

// What a reply to the call `callId` carries in bytes 2-3.
inline uint16_t echoOf(uint32_t callId) {
    return uint16_t(callId);
}

// Stamps the echo of `callId` into a reply of `size` bytes.
inline void putEcho(uint8_t* reply, size_t size, uint32_t callId) {
    if (size >= kReplyHeaderSize) putBe16(reply + kEchoAt, echoOf(callId));
}

// Whether a reply of `size` bytes answers the call `callId`.
inline bool echoes(const uint8_t* reply, size_t size, uint32_t callId) {
    return size >= kReplyHeaderSize && getBe16(reply + kEchoAt) == echoOf(callId);
}

// The head of a reply of `type`.
inline void putReplyHeader(BeWriter& w, uint16_t type) {
    w.u16(type);
    w.u16(0);
}

inline bool isRefusal(uint16_t type) {
    return type == kRefused || type == kRefused2;
}

// The code of a refusal of `size` bytes; 0 when it carries none.
inline uint16_t refusalCode(const uint8_t* data, size_t size) {
    return size >= kRefusalSize ? getBe16(data + kRefusalCodeAt) : 0;
}

} // namespace qrd::rpcwire
