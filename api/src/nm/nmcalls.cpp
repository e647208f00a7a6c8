// Name functions that ask the service or the workstation: formatting, the
// logged-in user, drive mappings, server ports and revisions.
#include <cstring>
#include <string>

#include "charset/charset.h"
#include "nm/session.h"
#include "qrd/bytes.h"
#include "redirector.h"
#include "rpc/stubs.h"

namespace {

using qrd::convertText;
using qrd::ConvSet;

QRDSTATUS formatName(QRD_NM_SESS* sess, uint16_t kind, const char* name, char* out,
                     uint16_t* outLength) {
    if (!name) return QRDERR_NM_BAD_NAME;
    if (std::strlen(name) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    char ascii[NMNAMELEN];
    std::strcpy(ascii, name);
    if (sess) convertText(ConvSet::ToAscii, sess->charset, ascii);

    char result[NMNAMELEN] = {};
    QRDSTATUS st = qrd::nm::callInSession(0, sess, [&](const QRD_PORT* port, const uint8_t* sid) {
        return qrd::rpc::nmFormatName(port, sid, kind, ascii, result);
    });
    if (st != QRD_OK || !out) return st;

    const size_t needed = std::strlen(result) + 1;
    const uint16_t room = outLength ? *outLength : NMNAMELEN;
    if (outLength) *outLength = uint16_t(needed);
    if (room < needed) {
        if (room > 0) {
            std::memcpy(out, result, room - 1u);
            out[room - 1] = '\0';
            convertText(ConvSet::FromLatin1, sess->charset, out);
        }
        return QRDERR_NM_BUFFER_SMALL;
    }
    std::memcpy(out, result, needed);
    convertText(ConvSet::FromLatin1, sess->charset, out);
    return QRD_OK;
}

QRDSTATUS formatImplicit(uint16_t kind, const char* name, char* out) {
    QRD_NM_SESS* sess = nullptr;
    if (QRDSTATUS st = QrdGetImplicitNmSession(&sess)) return st;
    uint16_t length = NMNAMELEN;
    return formatName(sess, kind, name, out, &length);
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdFormatSNmName(QRD_NM_SESS* sess, const char* name, char* out,
                                  uint16_t* outLength) {
    return formatName(sess, OBJTYPE, name, out, outLength);
}
QRDAPI QRDSTATUS QrdFormatSNmGroup(QRD_NM_SESS* sess, const char* name, char* out,
                                   uint16_t* outLength) {
    return formatName(sess, QRD_NMKIND_GROUP, name, out, outLength);
}
QRDAPI QRDSTATUS QrdFormatSNmOrg(QRD_NM_SESS* sess, const char* name, char* out,
                                 uint16_t* outLength) {
    return formatName(sess, QRD_NMKIND_ORG, name, out, outLength);
}
QRDAPI QRDSTATUS QrdFormatNmName(const char* name, char* out) {
    return formatImplicit(OBJTYPE, name, out);
}
QRDAPI QRDSTATUS QrdFormatNmGroup(const char* name, char* out) {
    return formatImplicit(QRD_NMKIND_GROUP, name, out);
}
QRDAPI QRDSTATUS QrdFormatNmOrg(const char* name, char* out) {
    return formatImplicit(QRD_NMKIND_ORG, name, out);
}

QRDAPI QRDSTATUS QrdGetUserName(char* buffer) {
    if (!buffer) return QRDERR_BAD_ARG;
    char name[NMNAMELEN];
    QRDSTATUS st = QrdGetGlobalVar(QRD_GV_USER_NAME, name, sizeof name);
    if (st != QRD_OK) return st;
    name[NMNAMELEN - 1] = '\0'; // the store keeps 64 bytes, terminated or not
    std::memcpy(buffer, name, sizeof name);
    convertText(ConvSet::FromLatin1, QRD_CHARSET_LATIN1, buffer);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdGetDriveMapping(uint16_t drive, char* fsName, char* root) {
    if (!fsName || drive < 1 || drive > 26) return QRDERR_BAD_ARG;
    QRD_FS_REQ request = qrd::fs::driveMappingRequest(drive, root);
    QRDSTATUS st = QrdCallFileSystem(&request);
    if (st != QRD_OK) return st;
    const std::string service = qrd::fs::mappedService(request);
    const size_t n = std::min<size_t>(service.size(), NMNAMELEN - 1);
    std::memcpy(fsName, service.data(), n);
    fsName[n] = '\0';
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdCreateSSvrWkp(QRD_NM_SESS* sess, const char* serverName, uint16_t wellKnownPort,
                                  QRD_PORT* portOut) {
    if (QrdGetProtocolPref() != QRD_PROT_QIP) return QRDERR_NO_PROTOCOL;
    if (!serverName) return QRDERR_NM_BAD_NAME;
    if (std::strlen(serverName) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    if (!portOut) return QRDERR_BAD_ARG;
    char ascii[NMNAMELEN];
    std::strcpy(ascii, serverName);
    if (sess) convertText(ConvSet::ToAscii, sess->charset, ascii);

    QRD_PORT server;
    QRDSTATUS st = qrd::nm::callInSession(0, sess, [&](const QRD_PORT* port, const uint8_t* sid) {
        return qrd::rpc::nmServerPort(port, sid, ascii, &server);
    });
    if (st != QRD_OK) return st;
    qrd::nm::setWellKnownPort(server, wellKnownPort);
    *portOut = server;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdCreateSvrWkp(const char* serverName, uint16_t wellKnownPort,
                                 QRD_PORT* portOut) {
    QRD_NM_SESS* sess = nullptr;
    if (QRDSTATUS st = QrdGetImplicitNmSession(&sess)) return st;
    return QrdCreateSSvrWkp(sess, serverName, wellKnownPort, portOut);
}

QRDAPI QRDSTATUS QrdGetSvrLRev(const QRD_PORT* port, uint32_t* revision) {
    if (!revision) return QRDERR_BAD_ARG;
    return qrd::rpc::nmLongRevision(port, revision);
}

} // extern "C"
