// Namewright lists and records: names matching a pattern, list members,
// membership, the user record and the server of a group.
#include <cstring>
#include <string>

#include "charset/charset.h"
#include "nm/session.h"
#include "qrd/bytes.h"
#include "qrd/nmproto.h"
#include "rpc/stubs.h"

namespace {

using qrd::convertText;
using qrd::ConvSet;
namespace rpc = qrd::rpc;
namespace np = qrd::nm;

// Room for the user and group records (far more than either holds).
constexpr uint16_t kRecordCapacity = 1024;

// A name of the list calls, checked and put in wire form: a missing name is a
// bad name. Without a session nothing is converted (the wrapper then answers
// 1017).
QRDSTATUS wireName(const QRD_NM_SESS* sess, const char* name, char out[NMNAMELEN]) {
    if (!name) return QRDERR_NM_BAD_NAME;
    if (std::strlen(name) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    std::memset(out, 0, NMNAMELEN);
    std::strcpy(out, name);
    if (sess) convertText(ConvSet::ToAscii, sess->charset, out);
    return QRD_OK;
}

// Kind tags of a list reply: 0-9, 7 excepted.
bool knownKind(uint16_t kind) {
    return kind <= 9 && kind != 7;
}

// Checks a list reply and hands it to the caller with its names converted.
QRDSTATUS deliverList(const QRD_NM_SESS* sess, NmRec& got, bool convert, NmRec* rec) {
    if (!knownKind(got.kind)) return QRDERR_MARSHAL;
    if (convert)
        for (uint16_t i = 0; i < got.count; ++i)
            convertText(ConvSet::FromLatin1, sess->charset, got.names[i]);
    std::memcpy(rec, &got, sizeof got);
    return QRD_OK;
}

// Copies `text` out and converts it with `set`, by the length rule of the
// format calls: the needed length (NUL included) is stored in *outLength; a
// smaller buffer gets what fits, terminated, and the status `tooSmall`.
QRDSTATUS copyOut(const std::string& text, char* out, uint16_t* outLength, QRDSTATUS tooSmall,
                  ConvSet set, uint16_t charset) {
    const size_t needed = std::strlen(text.c_str()) + 1; // up to an embedded NUL
    const uint16_t room = *outLength;
    *outLength = uint16_t(needed);
    const size_t n = room < needed ? (room ? room - 1u : 0u) : needed - 1;
    if (room) {
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
        convertText(set, charset, out);
    }
    return room < needed ? tooSmall : QRD_OK;
}

// Reads association record `record` of `wire` (a name already in the wire
// character set) into `data` (kRecordCapacity bytes).
QRDSTATUS readRecord(QRD_NM_SESS* sess, const char* wire, uint16_t ocl, uint16_t record,
                     uint8_t* data, uint16_t* length) {
    return np::callInSession(0, sess, [&](const QRD_PORT* port, const uint8_t* sid) {
        return rpc::nmReadAssoc(port, sid, wire, ocl, record, data, kRecordCapacity, length);
    });
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdListSNmNames(QRD_NM_SESS* sess, const char* pattern, uint16_t objType,
                                 uint16_t category, Catsel* catsel, uint16_t* uPassnum,
                                 NmRec* rec) {
    char wire[NMNAMELEN];
    if (QRDSTATUS st = wireName(sess, pattern, wire)) return st;
    if (!catsel || !uPassnum || !rec) return QRDERR_NM_BAD_ARG;
    if (!sess) return QRDERR_NM_NO_SESSION;

    const Catsel selector = *catsel;
    uint16_t pass = 0;
    NmRec got{};
    QRDSTATUS st =
        np::callInSession(*uPassnum, sess, [&](const QRD_PORT* port, const uint8_t* sid) {
            pass = *uPassnum;
            return rpc::nmListNames(port, sid, wire, objType, category, selector, &pass, &got);
        });
    if (st != QRD_OK) return st;
    // Category 6 lists names that are not in the session's character set.
    if ((st = deliverList(sess, got, category != 6, rec))) return st;
    *uPassnum = pass;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdGetSNmListMembers(QRD_NM_SESS* sess, const char* listName, uint16_t* uPassnum,
                                      NmRec* rec) {
    char wire[NMNAMELEN];
    if (QRDSTATUS st = wireName(sess, listName, wire)) return st;
    if (!uPassnum || !rec) return QRDERR_NM_BAD_ARG;
    if (!sess) return QRDERR_NM_NO_SESSION;

    uint16_t pass = 0;
    NmRec got{};
    QRDSTATUS st =
        np::callInSession(*uPassnum, sess, [&](const QRD_PORT* port, const uint8_t* sid) {
            pass = *uPassnum;
            return rpc::nmListMembers(port, sid, wire, &pass, &got);
        });
    if (st != QRD_OK) return st;
    if ((st = deliverList(sess, got, true, rec))) return st;
    *uPassnum = pass;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdTestSNmMembership(QRD_NM_SESS* sess, const char* objName, const char* listName,
                                      uint16_t flag, uint16_t* isMember) {
    char object[NMNAMELEN], list[NMNAMELEN];
    if (QRDSTATUS st = wireName(sess, objName, object)) return st;
    if (QRDSTATUS st = wireName(sess, listName, list)) return st;
    if (!isMember) return QRDERR_NM_BAD_ARG;
    uint16_t member = 0;
    QRDSTATUS st = np::callInSession(0, sess, [&](const QRD_PORT* port, const uint8_t* sid) {
        return rpc::nmMembership(port, sid, object, list, flag, &member);
    });
    if (st != QRD_OK) return st;
    *isMember = member;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdGetSNmUserAttrib(QRD_NM_SESS* sess, const char* name, char* description,
                                     uint16_t* descriptionLength, uint8_t* address6,
                                     uint16_t* word1, uint16_t* word2, uint32_t* long1,
                                     uint32_t* long2) {
    char wire[NMNAMELEN];
    if (QRDSTATUS st = wireName(sess, name, wire)) return st;
    if (description && !descriptionLength) return QRDERR_NM_BAD_ARG;
    if (!sess) return QRDERR_NM_NO_SESSION;

    uint8_t record[kRecordCapacity];
    uint16_t length = 0;
    if (QRDSTATUS st = readRecord(sess, wire, QRD_OCL_OBJECT, np::kRecordUser, record, &length))
        return st;

    // {str(128) description, 6 address bytes, u16, u16, u32, u32}
    qrd::BeReader r(record, length);
    std::string text;
    uint8_t address[6] = {};
    r.string(text, np::kDescriptionCap - 1);
    r.bytes(address, sizeof address);
    const uint16_t w1 = r.u16(), w2 = r.u16();
    const uint32_t l1 = r.u32(), l2 = r.u32();
    if (!r.ok()) return QRDERR_MARSHAL;

    if (address6) std::memcpy(address6, address, sizeof address);
    if (word1) *word1 = w1;
    if (word2) *word2 = w2;
    if (long1) *long1 = l1;
    if (long2) *long2 = l2;
    if (!description) return QRD_OK;
    return copyOut(text, description, descriptionLength, QRDERR_NM_DESC_TOO_SMALL, ConvSet::FromPcm,
                   sess->charset);
}

QRDAPI QRDSTATUS QrdGetSNmGroup(QRD_NM_SESS* sess, const char* groupName, char* serverName) {
    char wire[NMNAMELEN];
    if (QRDSTATUS st = wireName(sess, groupName, wire)) return st;
    if (!serverName) return QRDERR_NM_BAD_ARG;
    if (!sess) return QRDERR_NM_NO_SESSION;

    uint8_t record[kRecordCapacity];
    uint16_t length = 0;
    if (QRDSTATUS st =
            readRecord(sess, wire, QRD_OCL_GROUP, np::kRecordGroupServer, record, &length))
        return st;

    // {str(64) server}
    qrd::BeReader r(record, length);
    std::string server;
    if (!r.string(server, NMNAMELEN - 1)) return QRDERR_MARSHAL;
    uint16_t room = NMNAMELEN;
    copyOut(server, serverName, &room, QRDERR_NM_BUFFER_SMALL, ConvSet::FromLatin1, sess->charset);
    return QRD_OK;
}

} // extern "C"
