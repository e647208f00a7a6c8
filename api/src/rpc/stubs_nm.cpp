// Client stubs of the Namewright service and of the other services the
// library calls. Layouts: docs/protocol.md.
#include <cstring>

#include "qrd/nmproto.h"
#include "rpc/stub.h"
#include "rpc/stubs.h"

namespace qrd::rpc {

namespace {

namespace np = qrd::nm;

// Time-outs (ticks) and size hints of the client's procedures.
constexpr ProcInfo kRevision{np::kRevision, 20, 0};
constexpr ProcInfo kLongRevision{np::kLongRevision, 75, 0};
constexpr ProcInfo kStartSession{np::kStartSession, 75, 0};
constexpr ProcInfo kEndSession{np::kEndSession, 75, 0};
constexpr ProcInfo kFormatName{np::kFormatName, 75, 0};
constexpr ProcInfo kServerPort{np::kServerPort, 75, 0};
constexpr ProcInfo kSetServicePort{np::kSetServicePort, 75, 0};
constexpr ProcInfo kReadServicePort{np::kReadServicePort, 75, 0};
constexpr ProcInfo kVerifyNonce{np::kVerifyNonce, 75, 0};
constexpr ProcInfo kNonceOwner{np::kNonceOwner, 75, 0};
constexpr ProcInfo kErrorText{np::kErrorText, 900, 0};
constexpr ProcInfo kReadAttr{np::kReadAttr, 75, 4096};
constexpr ProcInfo kWriteAttr{np::kWriteAttr, 75, 0};
constexpr ProcInfo kDeleteAttr{np::kDeleteAttr, 75, 0};
constexpr ProcInfo kAttrInfo{np::kAttrInfo, 75, 0};
constexpr ProcInfo kScanAttr{np::kScanAttr, 75, 0};
constexpr ProcInfo kListNames{np::kListNames, 1500, 1024};
constexpr ProcInfo kListMembers{np::kListMembers, 75, 1024};
constexpr ProcInfo kMembership{np::kMembership, 300, 0};
constexpr ProcInfo kReadAssoc{np::kReadAssoc, 75, 1024};
constexpr ProcInfo kWriteAssoc{np::kWriteAssoc, 75, 0};
constexpr ProcInfo kUserMessage{np::kProcUserMessage, -1, 0};
constexpr ProcInfo kProfileEntry{4, 600, 0};
constexpr ProcInfo kRpcControl{kRpcControlProc, 75, 1664};

// Qualifier entries of the attribute procedures: the client sends none.
constexpr size_t kQualifierMax = 0;

void sidArg(Xdr& x, Sid sid) {
    _Opaque(x, const_cast<uint8_t*>(sid), 4);
}

// Packed records are copied through locals: their fields may be unaligned.
void nonceArg(Xdr& x, const QRD_NONCE& nonce) {
    uint8_t opaque[6];
    uint32_t w1 = nonce.word1, w2 = nonce.word2;
    std::memcpy(opaque, nonce.opaque, sizeof opaque);
    _Opaque(x, opaque, sizeof opaque);
    _U32(x, &w1);
    _U32(x, &w2);
}

void attrArg(Xdr& x, const AttrName& attr) {
    uint32_t category = attr.category, number = attr.number;
    _U32(x, &category);
    _U32(x, &number);
}

// The common head of the attribute procedures: sid, name, ocl, attr.
void attrHead(Xdr& x, Sid sid, const char* name, uint16_t ocl, const AttrName& attr) {
    sidArg(x, sid);
    putText(x, name, kNameCap);
    _U16(x, &ocl);
    attrArg(x, attr);
}

void emptyQualifiers(Xdr& x) {
    uint16_t count = 0;
    _CountedArray(x, &count, kQualifierMax, [](uint16_t) {});
}

// A write's conditions: attr, u16 length, the bytes (qrd/nmproto.h).
void conditionQualifiers(Xdr& x, const WireCondition* conditions, uint16_t n) {
    _CountedArray(x, &n, np::kConditionMax, [&](uint16_t i) {
        const WireCondition& c = conditions[i];
        attrArg(x, c.attr);
        uint16_t length = c.length;
        size_t bytes = length == np::kConditionDigest   ? np::kConditionDigestBytes
                       : length == np::kConditionAbsent ? 0
                                                        : length;
        if (bytes > np::kConditionBytesMax || (bytes && !c.bytes)) {
            x.fail();
            return;
        }
        _U16(x, &length);
        if (bytes) _Opaque(x, const_cast<uint8_t*>(c.bytes), bytes);
    });
}

} // namespace

// ---- Result decoders ----------------------------------------------------

void resultsU32(Xdr& x, uint32_t* value) {
    _U32(x, value);
}

void resultsLongRevision(Xdr& x, uint32_t* revision) {
    uint32_t spare = 0;
    _U32(x, revision);
    _U32(x, &spare);
}

void resultsSid(Xdr& x, uint8_t sid[4]) {
    _Opaque(x, sid, 4);
}

void resultsName(Xdr& x, char name[kNameCap]) {
    _PString(x, name, kNameCap);
}

void resultsPort(Xdr& x, QRD_PORT* port) {
    _Opaque(x, port, sizeof *port);
}

void resultsU16(Xdr& x, uint16_t* value) {
    _U16(x, value);
}

void resultsText(Xdr& x, char text[kTextCap]) {
    _PStringPE(x, text, kTextCap);
}

void resultsReadAttr(Xdr& x, uint32_t* type, uint32_t* index, uint32_t* count, uint32_t* flags,
                     AttrValue* value) {
    uint16_t trailing = 0;
    _U32(x, type);
    _U32(x, index);
    _U32(x, count);
    _U32(x, flags);
    _AttrValue(x, value);
    _U16(x, &trailing);
}

void resultsWriteAttr(Xdr& x, uint32_t* index, uint32_t* flags) {
    _U32(x, index);
    _U32(x, flags);
}

void resultsAttrInfo(Xdr& x, uint32_t* type, uint32_t* count, uint32_t* bytes) {
    _U32(x, type);
    _U32(x, count);
    _U32(x, bytes);
}

void resultsScanAttr(Xdr& x, QRD_SCAN_PASS* pass, uint16_t max, uint16_t* n, AttrName* names) {
    _Opaque(x, pass->bytes, sizeof pass->bytes);
    _CountedArray(x, n, max, [&](uint16_t i) {
        uint32_t category = 0, number = 0;
        _U32(x, &category);
        _U32(x, &number);
        names[i].category = category;
        names[i].number = number;
    });
}

void resultsNameList(Xdr& x, uint16_t* passnum, NmRec* rec) {
    uint16_t kind = 0, count = 0;
    _U16(x, passnum);
    _U16(x, &kind);
    _CountedArray(x, &count, QRD_NMREC_MAX,
                  [&](uint16_t i) { _PString(x, rec->names[i], kNameCap); });
    if (x.failed()) return;
    rec->kind = kind;
    rec->count = count;
}

void resultsAssoc(Xdr& x, uint8_t* data, uint16_t capacity, uint16_t* length) {
    _UString(x, data, length, capacity);
}

void resultsTimeouts(Xdr& x, uint32_t ticks[3]) {
    for (int i = 0; i < 3; ++i)
        _U32(x, &ticks[i]);
}

// ---- Namewright service -------------------------------------------------

QRDSTATUS nmRevision(const QRD_PORT* port, uint32_t* revision) {
    return runStub(
        port, kRevision,
        [](Xdr& x) {
            uint32_t zero = 0;
            _U32(x, &zero);
        },
        [&](Xdr& x) { resultsU32(x, revision); });
}

QRDSTATUS nmLongRevision(const QRD_PORT* port, uint32_t* revision) {
    return runStub(port, kLongRevision, noResults,
                   [&](Xdr& x) { resultsLongRevision(x, revision); });
}

QRDSTATUS nmStartSession(const QRD_PORT* port, const QRD_NONCE& nonce, uint8_t sid[4]) {
    return runStub(
        port, kStartSession, [&](Xdr& x) { nonceArg(x, nonce); },
        [&](Xdr& x) { resultsSid(x, sid); });
}

QRDSTATUS nmEndSession(const QRD_PORT* port, Sid sid) {
    return runStub(
        port, kEndSession, [&](Xdr& x) { sidArg(x, sid); }, noResults);
}

QRDSTATUS nmFormatName(const QRD_PORT* port, Sid sid, uint16_t kind, const char* name,
                       char out[kNameCap]) {
    return runStub(
        port, kFormatName,
        [&](Xdr& x) {
            sidArg(x, sid);
            _U16(x, &kind);
            putText(x, name, kNameCap);
        },
        [&](Xdr& x) { resultsName(x, out); });
}

QRDSTATUS nmServerPort(const QRD_PORT* port, Sid sid, const char* server, QRD_PORT* out) {
    return runStub(
        port, kServerPort,
        [&](Xdr& x) {
            sidArg(x, sid);
            putText(x, server, kNameCap);
        },
        [&](Xdr& x) { resultsPort(x, out); });
}

QRDSTATUS nmSetServicePort(const QRD_PORT* port, Sid sid, const char* service, uint16_t which,
                           const QRD_PORT& value) {
    return runStub(
        port, kSetServicePort,
        [&](Xdr& x) {
            QRD_PORT p = value;
            sidArg(x, sid);
            putText(x, service, kNameCap);
            _U16(x, &which);
            _Opaque(x, &p, sizeof p);
        },
        noResults);
}

QRDSTATUS nmReadServicePort(const QRD_PORT* port, Sid sid, const char* service, uint16_t which,
                            QRD_PORT* out) {
    return runStub(
        port, kReadServicePort,
        [&](Xdr& x) {
            sidArg(x, sid);
            putText(x, service, kNameCap);
            _U16(x, &which);
        },
        [&](Xdr& x) { resultsPort(x, out); });
}

QRDSTATUS nmServerName(const QRD_PORT* port, Sid sid, const QRD_PORT& at, char out[kNameCap]) {
    QRD_PORT copy = at;
    return runStub(
        port, kServerPort,
        [&](Xdr& x) {
            sidArg(x, sid);
            putText(x, "", kNameCap);
            _Opaque(x, &copy, sizeof copy);
        },
        [&](Xdr& x) { resultsName(x, out); });
}

QRDSTATUS nmVerifyNonce(const QRD_PORT* port, const QRD_NONCE& nonce, uint16_t* valid) {
    return runStub(
        port, kVerifyNonce, [&](Xdr& x) { nonceArg(x, nonce); },
        [&](Xdr& x) { resultsU16(x, valid); });
}

QRDSTATUS nmNonceOwner(const QRD_PORT* port, const QRD_NONCE& nonce, char user[kNameCap]) {
    return runStub(
        port, kNonceOwner, [&](Xdr& x) { nonceArg(x, nonce); },
        [&](Xdr& x) { resultsName(x, user); });
}

QRDSTATUS errorText(const QRD_PORT* port, uint16_t code, char text[kTextCap]) {
    return runStub(
        port, kErrorText, [&](Xdr& x) { _U16(x, &code); }, [&](Xdr& x) { resultsText(x, text); });
}

QRDSTATUS nmReadAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                     const AttrName& attr, uint32_t* type, uint32_t* index, uint32_t* count,
                     uint32_t* flags, AttrValue* value, uint16_t part) {
    return runStub(
        port, kReadAttr,
        [&](Xdr& x) {
            uint32_t t = *type, i = *index, c = *count, f = *flags;
            uint16_t trailing = part;
            attrHead(x, sid, name, ocl, attr);
            _U32(x, &t);
            _U32(x, &i);
            _U32(x, &c);
            _U32(x, &f);
            emptyQualifiers(x);
            _U16(x, &trailing);
        },
        [&](Xdr& x) { resultsReadAttr(x, type, index, count, flags, value); });
}

QRDSTATUS nmWriteAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                      const AttrName& attr, uint32_t type, uint32_t index, uint32_t count,
                      uint32_t flags, const AttrValue& value, uint32_t* indexOut,
                      uint32_t* flagsOut, uint16_t part, const WireCondition* conditions,
                      uint16_t nConditions) {
    return runStub(
        port, kWriteAttr,
        [&](Xdr& x) {
            AttrValue v = value;
            uint16_t trailing = part;
            attrHead(x, sid, name, ocl, attr);
            _U32(x, &type);
            _U32(x, &index);
            _U32(x, &count);
            _U32(x, &flags);
            _AttrValue(x, &v);
            conditionQualifiers(x, conditions, nConditions);
            _U16(x, &trailing);
        },
        [&](Xdr& x) { resultsWriteAttr(x, indexOut, flagsOut); });
}

QRDSTATUS nmDeleteAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                       const AttrName& attr) {
    return runStub(
        port, kDeleteAttr, [&](Xdr& x) { attrHead(x, sid, name, ocl, attr); }, noResults);
}

QRDSTATUS nmAttrInfo(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                     const AttrName& attr, uint32_t* type, uint32_t* count, uint32_t* bytes) {
    return runStub(
        port, kAttrInfo, [&](Xdr& x) { attrHead(x, sid, name, ocl, attr); },
        [&](Xdr& x) { resultsAttrInfo(x, type, count, bytes); });
}

QRDSTATUS nmScanAttr(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                     const AttrName& first, const AttrName& last, QRD_SCAN_PASS* pass, uint16_t max,
                     uint16_t* n, AttrName* names) {
    return runStub(
        port, kScanAttr,
        [&](Xdr& x) {
            attrHead(x, sid, name, ocl, first);
            attrArg(x, last);
            _Opaque(x, pass->bytes, sizeof pass->bytes);
            _U16(x, &max);
        },
        [&](Xdr& x) { resultsScanAttr(x, pass, max, n, names); });
}

QRDSTATUS nmListNames(const QRD_PORT* port, Sid sid, const char* pattern, uint16_t objType,
                      uint16_t category, const Catsel& catsel, uint16_t* passnum, NmRec* rec) {
    return runStub(
        port, kListNames,
        [&](Xdr& x) {
            uint16_t selector = catsel.selector;
            uint8_t record[sizeof catsel.record];
            std::memcpy(record, catsel.record, sizeof record);
            uint16_t pass = *passnum;
            sidArg(x, sid);
            putText(x, pattern, kNameCap);
            _U16(x, &objType);
            _U16(x, &category);
            _U16(x, &selector);
            _Opaque(x, record, sizeof record);
            _U16(x, &pass);
        },
        [&](Xdr& x) { resultsNameList(x, passnum, rec); });
}

QRDSTATUS nmListMembers(const QRD_PORT* port, Sid sid, const char* list, uint16_t* passnum,
                        NmRec* rec) {
    return runStub(
        port, kListMembers,
        [&](Xdr& x) {
            uint16_t pass = *passnum;
            sidArg(x, sid);
            putText(x, list, kNameCap);
            _U16(x, &pass);
        },
        [&](Xdr& x) { resultsNameList(x, passnum, rec); });
}

QRDSTATUS nmMembership(const QRD_PORT* port, Sid sid, const char* object, const char* list,
                       uint16_t flag, uint16_t* isMember) {
    return runStub(
        port, kMembership,
        [&](Xdr& x) {
            sidArg(x, sid);
            putText(x, object, kNameCap);
            putText(x, list, kNameCap);
            _U16(x, &flag);
        },
        [&](Xdr& x) { resultsU16(x, isMember); });
}

QRDSTATUS nmReadAssoc(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                      uint16_t record, uint8_t* data, uint16_t capacity, uint16_t* length) {
    return runStub(
        port, kReadAssoc,
        [&](Xdr& x) {
            sidArg(x, sid);
            putText(x, name, kNameCap);
            _U16(x, &ocl);
            _U16(x, &record);
        },
        [&](Xdr& x) { resultsAssoc(x, data, capacity, length); });
}

QRDSTATUS nmWriteAssoc(const QRD_PORT* port, Sid sid, const char* name, uint16_t ocl,
                       uint16_t record, const uint8_t* data, uint16_t length) {
    return runStub(
        port, kWriteAssoc,
        [&](Xdr& x) {
            uint8_t* bytes = const_cast<uint8_t*>(data); // encoding only reads
            uint16_t n = length;
            sidArg(x, sid);
            putText(x, name, kNameCap);
            _U16(x, &ocl);
            _U16(x, &record);
            _PtrUString(x, &bytes, &n, size_t(n) + 1);
        },
        noResults);
}

// ---- Other services -----------------------------------------------------

QRDSTATUS userMessage(const QRD_PORT* port, const char* sender, const char* recipient,
                      const char* text) {
    return runStub(
        port, kUserMessage,
        [&](Xdr& x) {
            uint16_t one = 1;
            putText(x, sender, kNameCap);
            _U16(x, &one);
            putText(x, recipient, kNameCap);
            putText(x, text, kMessageCap);
        },
        noResults);
}

QRDSTATUS profileEntry(const QRD_PORT* port, const char* keyword, const char* name,
                       uint16_t* status, char value[kProfileCap], char second[kProfileCap]) {
    return runStub(
        port, kProfileEntry,
        [&](Xdr& x) {
            uint16_t one = 1, which = 22, zero = 0;
            _U16(x, &one);
            _U16(x, &which);
            putText(x, keyword, kProfileKeyCap);
            _U16(x, &zero);
            putText(x, name, kNameCap);
        },
        [&](Xdr& x) {
            _U16(x, status);
            _PStringPE(x, value, kProfileCap);
            _PStringPE(x, second, kProfileCap);
        });
}

QRDSTATUS rpcGetTimeouts(const QRD_PORT* port, uint32_t ticks[3]) {
    return runStub(
        port, kRpcControl,
        [](Xdr& x) {
            uint16_t op = kRpcGetTimeouts;
            _U16(x, &op);
        },
        [&](Xdr& x) { resultsTimeouts(x, ticks); });
}

QRDSTATUS rpcSetTimeouts(const QRD_PORT* port, const uint32_t ticks[3]) {
    return runStub(
        port, kRpcControl,
        [&](Xdr& x) {
            uint16_t op = kRpcSetTimeouts;
            uint32_t t[3] = {ticks[0], ticks[1], ticks[2]};
            _U16(x, &op);
            for (uint32_t& v : t)
                _U32(x, &v);
        },
        noResults);
}

} // namespace qrd::rpc
