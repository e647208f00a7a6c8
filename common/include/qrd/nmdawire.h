// The directory-assistance (NMDA) service's datagrams: the 98-byte locate
// datagram of the native road, and the requests and replies of procedures 7
// (data and attribute queries) and 11 (locate on the Internet road). The one
// definition the client library writes requests and reads replies with, and
// the daemon reads requests and writes replies with. docs/protocol.md
// describes the layouts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrd::nmdawire {

constexpr uint16_t kWellKnownPort = 22; // native road
constexpr uint16_t kSessionPort = 23;   // kept in a handle, never called
constexpr uint16_t kService = 35;       // Internet road service number
constexpr uint32_t kServiceRevision = 100;
constexpr uint32_t kRevision = 55028;
constexpr uint16_t kProcQuery = 7;
constexpr uint16_t kProcLocate = 11;

// Field capacities (bytes, NUL not included).
constexpr size_t kNameMax = 63;
constexpr size_t kTextMax = 32; // position text
constexpr size_t kCriterionMax = 255;
constexpr size_t kCriteriaMax = 8;
constexpr size_t kEntriesMax = 16;
constexpr size_t kValueMax = 4096;
constexpr uint16_t kPageSize = 7;
constexpr uint16_t kBeside = 101; // "just beside the current page"

enum Operation : uint16_t { kFirst = 1, kLast = 2, kNext = 3, kPrevious = 4, kAtText = 5 };
constexpr uint16_t kKinds = 6; // users, lists, print, file, all services, nicknames
enum QueryKind : uint16_t { kDataQuery = 1, kAttrQuery = 2 };
constexpr uint16_t kMatchPattern = 2, kMatchExact = 3, kValueText = 3;
constexpr uint16_t kEntryFound = 0;
constexpr uint16_t kAttrNormal = 0, kAttrMissing = 1, kAttrTruncated = 2;

// ---- The locate datagram (98 bytes) --------------------------------------
// Request: u8 12, u8 op (1 locate, 3 close), 16 bytes international
// location, 64 bytes user name, 16 bytes pattern. Answer: u8 12, u8 2, u32
// word (the service's revision), 12 zero bytes, 64 bytes the service's full
// name, 16 bytes the server's short name. Texts NUL-padded.
constexpr size_t kLocateSize = 98;
constexpr uint8_t kLocateTag = 12;
constexpr uint8_t kLocateAsk = 1, kLocateAnswer = 2, kLocateClose = 3;
constexpr size_t kIntlAt = 2, kIntlSize = 16, kUserAt = 18, kUserSize = 64, kPatternAt = 82,
                 kPatternSize = 16, kWordAt = 2;

struct Locate {
    uint8_t op = kLocateAsk;
    std::array<uint8_t, kIntlSize> intl{};
    std::string user;    // request: the user; answer: the service's full name
    std::string pattern; // request: the pattern; answer: the server's short name
    uint32_t word = 0;   // answer only
};
std::array<uint8_t, kLocateSize> encodeLocate(const Locate& m);
// Nothing for a datagram of another size or tag.
std::optional<Locate> decodeLocate(const uint8_t* p, size_t n);

// ---- Procedure 7 ---------------------------------------------------------
struct Nonce {
    std::array<uint8_t, 14> bytes{}; // 6 opaque, u32 word1, u32 word2 as they travel
};

struct Context {
    uint16_t operation = kFirst, kind = 0, pageSize = kPageSize, forward = 0, backward = 0;
    std::string positionText; // at most kTextMax
    std::string firstKey, lastKey;
};

struct Criterion {
    uint16_t match = kMatchExact;
    uint32_t category = 0, number = 0;
    uint16_t valueKind = kValueText;
    std::string text; // without its NUL
};

struct Query {
    uint16_t attributeIndex = 0, selector = 0;
    std::string pattern;
    std::vector<Criterion> criteria; // at most kCriteriaMax
};

struct Limits {
    uint16_t flags = 0, maxEntries = kPageSize;
    uint32_t maxBytes = 0;
};

// The head of every query: nonce, u16 kind, 16 bytes location, u16 code,
// u32 revision.
struct Head {
    Nonce nonce;
    uint16_t kind = kDataQuery;
    std::array<uint8_t, kIntlSize> intl{};
    uint16_t charCode = 5;
    uint32_t revision = kRevision;
};

struct DataRequest {
    Head head;
    Context context;
    Query query;
    Limits limits;
};

struct Entry {
    std::string name;
    uint16_t status = kEntryFound, kind = 0, descKind = 0;
    std::string description;
};

struct DataReply {
    Context context;
    std::vector<Entry> entries; // at most kEntriesMax
};

struct AttrRequest {
    Head head;
    std::string name;
    uint32_t category = 0, number = 0;
    uint16_t type = 0; // 0: any
    uint32_t position = 0;
    uint32_t limit = 5000; // bytes of value wanted at most
};

struct AttrReply {
    uint16_t entries = 0; // 0: no entry for the name; else 1
    std::string name;
    uint16_t entryStatus = kEntryFound, attrStatus = kAttrNormal, type = 0;
    uint32_t position = 0, count = 0;
    std::vector<uint8_t> value; // as it travels (type 4: big-endian u32 each)
};

// ---- Procedure 11: locate on the Internet road ---------------------------
struct LocateRequest {
    Nonce nonce;
    std::string user;
    std::array<uint8_t, kIntlSize> intl{};
    std::string pattern;
};
struct LocateReply {
    uint32_t word = 0;
    std::string serviceName, serverShort;
};

// Encoders append the arguments (or results) to `out`; decoders read the
// bytes after the request or reply header and refuse anything that does not
// fit its field (lengths and counts are checked against the capacities).
void encode(const DataRequest& m, std::vector<uint8_t>& out);
void encode(const DataReply& m, std::vector<uint8_t>& out);
void encode(const AttrRequest& m, std::vector<uint8_t>& out);
void encode(const AttrReply& m, std::vector<uint8_t>& out);
void encode(const LocateRequest& m, std::vector<uint8_t>& out);
void encode(const LocateReply& m, std::vector<uint8_t>& out);
// The kind of a procedure 7 request (kDataQuery, kAttrQuery), 0 when short.
uint16_t queryKind(const uint8_t* p, size_t n);
std::optional<DataRequest> decodeDataRequest(const uint8_t* p, size_t n);
std::optional<DataReply> decodeDataReply(const uint8_t* p, size_t n);
std::optional<AttrRequest> decodeAttrRequest(const uint8_t* p, size_t n);
std::optional<AttrReply> decodeAttrReply(const uint8_t* p, size_t n);
std::optional<LocateRequest> decodeLocateRequest(const uint8_t* p, size_t n);
std::optional<LocateReply> decodeLocateReply(const uint8_t* p, size_t n);

// Whether `text` matches `pattern` ('*' any run, '?' one character),
// without regard to ASCII case.
bool wildcardMatch(const std::string& pattern, const std::string& text);

} // namespace qrd::nmdawire
