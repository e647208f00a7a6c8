// Namewright protocol constants shared by the client library and the daemon.
// The layouts they belong to are in docs/protocol.md. These values travel on
// the wire: they cannot change without breaking peers.
#pragma once

#include <cstdint>

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
    kLogin = 12, // verify a password; answers a nonce
    kEndSession = 14,
    kFormatName = 15,
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

// Message types of the reply header.
constexpr uint16_t kCall = 0, kRefused = 1, kReturn = 2, kRefused2 = 3;

// Search datagrams.
constexpr uint16_t kQueryFindSvc = 4;
constexpr uint16_t kAnswerKind = 5;
constexpr size_t kAnswerSize = 26, kShortAnswerSize = 22;

// Field capacities (declared sizes, NUL included).
constexpr size_t kNameCap = 64;
constexpr size_t kPasswordCap = 128;
constexpr size_t kErrorTextCap = 128;
constexpr size_t kMessageCap = 81;
constexpr size_t kDescriptionCap = 128;
constexpr size_t kListMax = 16; // names in one list reply
constexpr uint32_t kChunkBytes = 4096;
constexpr uint32_t kChunkInts = 1000;

// Statuses the service answers (the client reacts to several of them).
enum Status : uint16_t {
    kReferral = 101,
    kBadName = 1001,
    kNoSuchObject = 1002,
    kNotGroup = 1009,
    kNotOrganisation = 1011,
    kStorageFailure = 1012,
    kNoRecord = 1013,
    kUnknownSession = 1017,
    kWrongPassword = 1020,
    kTooManyAttempts = 1021,
    kNonceInvalid = 1025,
    kAccessDenied = 1033,
    kNoMoreNames = 1041,
    kNoAttribute = 1055,
    kBadRequest = 1068,
    kUnknownProcedure = 1099,
    kBadErrorCode = 5001,
    kNoTranslation = 5029,
};

// Association record numbers.
constexpr uint16_t kRecordUser = 1;
constexpr uint16_t kRecordGroupServer = 2;
constexpr uint16_t kRecordEmulation = 762;

} // namespace qrd::nm
