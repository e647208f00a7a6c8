// The one catalogue of the statuses the Namewright service answers and the
// client library reports about it: each code with its name and its text.
//
// The protocol constants (qrd/nmproto.h) take their status names from it,
// the daemon answers the error-text procedure from it, and the client
// library checks at compile time that the codes of its public header
// (qrdapi.h) are the catalogue's (api/src/nm/statuscodes.cpp). A code
// is added here, once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qrd::nm {

// X(name, code, text): texts fit the 127 bytes of the error-text reply.
#define QRD_NM_STATUSES(X)                                                                         \
    X(kReferral, 101, "The object is held by another server")                                      \
    X(kIssuerSilent, 155, "The issuing server did not answer")                                     \
    X(kBadName, 1001, "Invalid name")                                                              \
    X(kNoSuchObject, 1002, "No such object")                                                       \
    X(kNameTooLong, 1005, "Name too long")                                                         \
    X(kNoMemory, 1006, "Out of memory")                                                            \
    X(kNotGroup, 1009, "No such group")                                                            \
    X(kNotOrganisation, 1011, "No such organisation")                                              \
    X(kStorageFailure, 1012, "Directory storage failure")                                          \
    X(kNoRecord, 1013, "No such record")                                                           \
    X(kUnknownSession, 1017, "Unknown or expired session")                                         \
    X(kWrongPassword, 1020, "Wrong password")                                                      \
    X(kTooManyAttempts, 1021, "Too many wrong passwords; try again later")                         \
    X(kNonceInvalid, 1025, "Login credential not valid")                                           \
    X(kServerUnproven, 1027, "The directory service could not prove it knows the user")            \
    X(kAttrsRemoved, 1032, "The object's attributes were removed")                                 \
    X(kAccessDenied, 1033, "Access denied")                                                        \
    X(kSessionLost, 1039, "Session lost during a transfer")                                        \
    X(kNoMoreNames, 1041, "No more names")                                                         \
    X(kKeywordTooLong, 1052, "Profile keyword too long")                                           \
    X(kDescriptionTooSmall, 1053, "Description buffer too small")                                  \
    X(kNoAttribute, 1055, "No such attribute")                                                     \
    X(kRecordDamaged, 1064, "Attribute record damaged")                                            \
    X(kBadRequest, 1068, "Invalid request")                                                        \
    X(kReplaceNeedsIndex0, 1069, "Replacing a value needs index 0")                                \
    X(kConditionFailed, 1070, "The value changed; read it again and retry")                        \
    X(kBufferTooSmall, 1080, "Buffer too small")                                                   \
    X(kUnknownProcedure, 1099, "Unknown procedure")                                                \
    X(kNotLoggedIn, 1801, "Not logged in")                                                         \
    X(kNoUserName, 1832, "No user name")                                                           \
    X(kNmdaLoginChanged, 1912, "The login changed since the directory session started")            \
    X(kNmdaNoEntry, 1914, "No directory entry for the name")                                       \
    X(kNmdaEntryStatus, 1915, "The directory entry is not in its normal state")                    \
    X(kBadErrorCode, 5001, "BAD ERROR CODE")                                                       \
    X(kNoTranslation, 5029, "Translation Not Available")

#define QRD_NM_STATUS_ENUM(name, code, text) name = code,
enum Status : uint16_t { QRD_NM_STATUSES(QRD_NM_STATUS_ENUM) };
#undef QRD_NM_STATUS_ENUM

struct StatusEntry {
    uint16_t code;
    std::string_view name;
    std::string_view text;
};

#define QRD_NM_STATUS_ENTRY(name, code, text) {code, #name, text},
inline constexpr StatusEntry kStatuses[] = {QRD_NM_STATUSES(QRD_NM_STATUS_ENTRY)};
#undef QRD_NM_STATUS_ENTRY

// The catalogue's entry of `code`, or null.
constexpr const StatusEntry* findStatus(uint16_t code) {
    for (const StatusEntry& e : kStatuses)
        if (e.code == code) return &e;
    return nullptr;
}

// The replies of the error-text procedure that are not texts: a code the
// service does not know at all, and one of its range without a text.
constexpr bool inServiceRange(uint16_t code) {
    return code >= 1000 && code <= 1999;
}

} // namespace qrd::nm
