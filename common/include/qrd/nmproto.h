// Namewright protocol constants shared by the client library and the daemon.
// The layouts they belong to are in docs/protocol.md. These values travel on
// the wire: they cannot change without breaking peers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qrd/rpcheader.h"
#include "qrd/searchwire.h"
#include "qrd/statuses.h"

namespace qrd::nm {

// Well-known service ports (9-bit).
constexpr uint16_t kServiceNamewright = 15;
constexpr uint16_t kServiceMessage = 19;

// Procedure numbers of the Namewright service (version 1).
enum Proc : uint16_t {
    kReadAssoc = 0,
    kWriteAssoc = 1,
    kListNames = 6,
    kMembership = 9,
    kListMembers = 10,
    kPasswordLogin = 12, // the password in clear: no longer served (1099)
    kEndSession = 14,
    kFormatName = 15,
    kLoginStart = 16,  // the login exchange (qrd/loginwire.h)
    kLoginFinish = 17, // answers the login nonce
    kLogout = 18,      // revokes a login nonce
    kSetServicePort = 23,
    kReadServicePort = 24,
    kServerPort = 26,
    kStartSession = 28,
    kReadAttr = 41,
    kWriteAttr = 42,
    kDeleteAttr = 43,
    kAttrInfo = 45,
    kScanAttr = 46,
    kVerifyNonce = 55,
    kNonceOwner = 58,
    kLongRevision = 65,
    kRevision = 111,
    kErrorText = 255,
};
constexpr uint16_t kProcUserMessage = 8; // message service

// Message types of the RPC headers (qrd/rpcheader.h).
using rpcwire::kCall, rpcwire::kRefused, rpcwire::kReturn, rpcwire::kRefused2;

// Search datagrams (qrd/searchwire.h).
using searchwire::kAnswerKind, searchwire::kAnswerSize, searchwire::kQueryFindSvc,
    searchwire::kShortAnswerSize;

// Field capacities (declared sizes, NUL included).
constexpr size_t kNameCap = 64;
constexpr size_t kPasswordCap = 128;
constexpr size_t kErrorTextCap = 128;
constexpr size_t kMessageCap = 81;
constexpr size_t kDescriptionCap = 128;
constexpr size_t kListMax = 16; // names in one list reply
constexpr uint32_t kChunkBytes = 4096;
constexpr uint32_t kChunkInts = 1000;

// Attribute values: types 1-5; integers (4) are 4-byte elements, the others
// bytes. One exchange carries at most a chunk of elements.
constexpr uint32_t kAttrTypeFirst = 1, kAttrTypeLast = 5, kAttrIntegers = 4;
constexpr bool validAttrType(uint32_t type) {
    return type >= kAttrTypeFirst && type <= kAttrTypeLast;
}
constexpr uint32_t attrWidth(uint32_t type) {
    return type == kAttrIntegers ? 4 : 1;
}
constexpr uint32_t attrChunkLimit(uint32_t type) {
    return type == kAttrIntegers ? kChunkInts : kChunkBytes;
}
// The last word of a read (41) or write (42) request: where the exchange
// stands in its transfer. 0 is a transfer of its own (what older clients
// send); kPartContinues marks every exchange after the first, kPartMore
// every write exchange but the last. The service keeps a write's exchanges
// until the last one and stores them together, so others never see part of
// a value; a continued read that finds its value changed is refused.
constexpr uint16_t kPartMore = 1;
constexpr uint16_t kPartContinues = 2;

// Conditions of a write (42), sent as its qualifiers: the write is stored
// only if every named attribute of the same object holds exactly the value
// given, checked when the value is stored (in its last exchange's
// transaction); otherwise kConditionFailed and nothing is stored. Each is
// attr, u16 length and then: that many bytes of the value (at most
// kConditionBytesMax), or for kConditionDigest the SHA-256 of the value (a
// longer one), or for kConditionAbsent nothing (the attribute is missing).
constexpr uint16_t kConditionMax = 2;
constexpr uint16_t kConditionBytesMax = 64;
constexpr uint16_t kConditionDigest = 0xFFFE;
constexpr uint16_t kConditionDigestBytes = 32;
constexpr uint16_t kConditionAbsent = 0xFFFF;

// Servers below this revision keep no attributes (procedures 41-46): their
// clients keep them in association record 762 instead.
constexpr uint32_t kAttrRevision = 53000;

// Statuses: qrd/statuses.h, the one catalogue of codes and texts.

// Association record numbers.
constexpr uint16_t kRecordUser = 1;
constexpr uint16_t kRecordGroupServer = 2;
constexpr uint16_t kRecordEmulation = 762;

} // namespace qrd::nm
