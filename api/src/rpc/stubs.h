// Client stubs of the procedures in docs/protocol.md.
//
// Each stub takes the service port (and, for session-bound procedures, the
// session identifier) and returns a status: 0, a transport status, 104/107,
// or the service's refusal unchanged. Each stub's result decoder is declared
// here as well, so that replies can be decoded (and fuzzed) without a network:
// a decoder reads from the reply's result offset and leaves the error word
// set on anything that does not fit.
#pragma once

#include <cstdint>

#include "qrd/nmproto.h"
#include "qrdapi.h"
#include "rpc/marshal.h"

namespace qrd::rpc {

using Sid = const uint8_t*; // 4 opaque bytes

// Capacities of string fields (declared sizes, NUL included): the
// protocol's (qrd/nmproto.h).
using nm::kMessageCap, nm::kNameCap, nm::kPasswordCap;
constexpr size_t kTextCap = nm::kErrorTextCap;

// Procedure 247 (RPC statistics and time-out control), sub-operations.
constexpr uint16_t kRpcControlProc = 247;
constexpr uint16_t kRpcGetTimeouts = 7;
constexpr uint16_t kRpcSetTimeouts = 8;

// ---- Namewright service ------------------------------------------------
QRDSTATUS nmRevision(const QRD_PORT* port, uint32_t* revision);                         // 111
QRDSTATUS nmLongRevision(const QRD_PORT* port, uint32_t* revision);                     // 65
QRDSTATUS nmStartSession(const QRD_PORT* port, const QRD_NONCE& nonce, uint8_t sid[4]); // 28
QRDSTATUS nmEndSession(const QRD_PORT* port, Sid sid);                                  // 14
QRDSTATUS nmFormatName(const QRD_PORT* port, Sid sid, uint16_t kind, const char* name,
                       char out[kNameCap]);                                               // 15
QRDSTATUS nmServerPort(const QRD_PORT* port, Sid sid, const char* server, QRD_PORT* out); // 26
QRDSTATUS nmSetServicePort(const QRD_PORT* port, Sid sid, const char* service, uint16_t which,
                           const QRD_PORT& value); // 23
QRDSTATUS nmReadServicePort(const QRD_PORT* port, Sid sid, const char* service, uint16_t which,
                            QRD_PORT* out); // 24
// 26 asked the other way round: the name of the server at `at`.
QRDSTATUS nmServerName(const QRD_PORT* port, Sid sid, const QRD_PORT& at, char out[kNameCap]);
QRDSTATUS nmVerifyNonce(const QRD_PORT* port, const QRD_NONCE& nonce, uint16_t* valid);    // 55
QRDSTATUS nmNonceOwner(const QRD_PORT* port, const QRD_NONCE& nonce, char user[kNameCap]); // 58
QRDSTATUS errorText(const QRD_PORT* port, uint16_t code, char text[kTextCap]);             // 255

// A condition of a write as it travels (qrd/nmproto.h): `length` bytes of
// the value, kConditionDigest with its 32-byte digest, or kConditionAbsent.
struct WireCondition {
    AttrName attr;
    uint16_t length;
    const uint8_t* bytes;
};

// Attribute read (41): type, index, count and flags go out and come back;
// the value lands in value->data (value->capacity bytes; u32 elements in host
// order for the integer type). `part`: where the exchange stands in its
// transfer (qrd::nm::kPartMore, kPartContinues; 0 = a transfer of its own).
QRDSTATUS nmReadAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                     const AttrName& attr, uint32_t* type, uint32_t* index, uint32_t* count,
                     uint32_t* flags, AttrValue* value, uint16_t part = 0);
QRDSTATUS nmWriteAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                      const AttrName& attr, uint32_t type, uint32_t index, uint32_t count,
                      uint32_t flags, const AttrValue& value, uint32_t* indexOut,
                      uint32_t* flagsOut, uint16_t part = 0,
                      const WireCondition* conditions = nullptr,
                      uint16_t nConditions = 0); // 42
QRDSTATUS nmDeleteAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                       const AttrName& attr); // 43
QRDSTATUS nmAttrInfo(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                     const AttrName& attr, uint32_t* type, uint32_t* count,
                     uint32_t* bytes); // 45
// Scan (46): at most `max` names come back into `names`.
QRDSTATUS nmScanAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                     const AttrName& first, const AttrName& last, QRD_SCAN_PASS* pass, uint16_t max,
                     uint16_t* n, AttrName* names);
QRDSTATUS nmListNames(const QRD_PORT* port, Sid sid, const char* pattern, uint16_t objType,
                      uint16_t category, const Catsel& catsel, uint16_t* passnum,
                      NmRec* rec); // 6
QRDSTATUS nmListMembers(const QRD_PORT* port, Sid sid, const char* list, uint16_t* passnum,
                        NmRec* rec); // 10
QRDSTATUS nmMembership(const QRD_PORT* port, Sid sid, const char* object, const char* list,
                       uint16_t flag, uint16_t* isMember); // 9
// Association record read (0): up to capacity - 1 bytes into data.
QRDSTATUS nmReadAssoc(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                      uint16_t record, uint8_t* data, uint16_t capacity, uint16_t* length);
QRDSTATUS nmWriteAssoc(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                       uint16_t record, const uint8_t* data, uint16_t length); // 1

// ---- Other services ----------------------------------------------------
// User message (message service, procedure 8), sent without waiting.
QRDSTATUS userMessage(const QRD_PORT* port, const char* sender, const char* recipient,
                      const char* text);
// A profile entry (user service, procedure 4): the reply's status word and
// its two texts (kProfileCap bytes each).
constexpr size_t kProfileKeyCap = 16, kProfileCap = 128;
QRDSTATUS profileEntry(const QRD_PORT* port, const char* keyword, const char* name,
                       uint16_t* status, char value[kProfileCap], char second[kProfileCap]);
// RPC time-out control (247, sub-operations 7 and 8), values in ticks.
QRDSTATUS rpcGetTimeouts(const QRD_PORT* port, uint32_t ticks[3]);
QRDSTATUS rpcSetTimeouts(const QRD_PORT* port, const uint32_t ticks[3]);

// ---- Result decoders (reply bytes after the result offset) -------------
void resultsU32(Xdr& x, uint32_t* value);             // 111, 65 (first word)
void resultsLongRevision(Xdr& x, uint32_t* revision); // 65
void resultsSid(Xdr& x, uint8_t sid[4]);              // 28
void resultsName(Xdr& x, char name[kNameCap]);        // 15, 58
void resultsPort(Xdr& x, QRD_PORT* port);             // 26, 24
void resultsU16(Xdr& x, uint16_t* value);             // 55, 9
void resultsText(Xdr& x, char text[kTextCap]);        // 255
void resultsReadAttr(Xdr& x, uint32_t* type, uint32_t* index, uint32_t* count, uint32_t* flags,
                     AttrValue* value);                                         // 41
void resultsWriteAttr(Xdr& x, uint32_t* index, uint32_t* flags);                // 42
void resultsAttrInfo(Xdr& x, uint32_t* type, uint32_t* count, uint32_t* bytes); // 45
void resultsScanAttr(Xdr& x, QRD_SCAN_PASS* pass, uint16_t max, uint16_t* n,
                     AttrName* names);                                         // 46
void resultsNameList(Xdr& x, uint16_t* passnum, NmRec* rec);                   // 6, 10
void resultsAssoc(Xdr& x, uint8_t* data, uint16_t capacity, uint16_t* length); // 0
void resultsTimeouts(Xdr& x, uint32_t ticks[3]);                               // 247/7

} // namespace qrd::rpc
