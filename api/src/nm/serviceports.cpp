// Where services are, asked of the implicit Namewright session: the RPC port
// of a named service (procedure 24) and the name of the server at a port
// (procedure 26 asked the other way round).
#include <cstring>

#include "charset/charset.h"
#include "nm/session.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

namespace {

constexpr uint16_t kRpcPortRecord = 1; // the service's RPC port, not its SPP port

} // namespace

extern "C" {

// Only the native road keeps service ports: on the Internet road the port a
// search found is the service's port already, and is left alone.
QRDAPI QRDSTATUS QrdGetRpcPort(char* serviceName, QRD_PORT* port, uint16_t flags) {
    (void)flags;
    if (!serviceName || !port) return QRDERR_NM_BAD_ARG;
    if (std::strlen(serviceName) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    if (!(QrdGetProtocolAvail() & QRD_PROT_QIP) || QrdGetProtocolPref() != QRD_PROT_QIP)
        return QRD_OK;
    QRD_NM_SESS* sess = nullptr;
    if (QRDSTATUS st = QrdGetImplicitNmSession(&sess)) return st;
    // A service the directory does not list (a server's own directory
    // assistance) keeps the name it was asked by.
    char canonical[NMNAMELEN];
    if (QrdFormatSNmName(sess, serviceName, canonical, nullptr) != QRD_OK)
        std::strcpy(canonical, serviceName);
    QRD_PORT found;
    QRDSTATUS st = qrd::nm::callInSession(0, sess, [&](const QRD_PORT* at, const uint8_t* sid) {
        return qrd::rpc::nmReadServicePort(at, sid, canonical, kRpcPortRecord, &found);
    });
    if (st != QRD_OK) return st;
    *port = found;
    std::memcpy(serviceName, canonical, NMNAMELEN);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdGetSvrName(const QRD_PORT* port, char* nameOut) {
    if (!port || !nameOut) return QRDERR_NM_BAD_ARG;
    QRD_NM_SESS* sess = nullptr;
    if (QRDSTATUS st = QrdGetImplicitNmSession(&sess)) return st;
    char name[NMNAMELEN] = {};
    QRDSTATUS st = qrd::nm::callInSession(0, sess, [&](const QRD_PORT* at, const uint8_t* sid) {
        return qrd::rpc::nmServerName(at, sid, *port, name);
    });
    if (st != QRD_OK) return st;
    qrd::convertText(qrd::ConvSet::FromLatin1, sess->charset, name);
    std::memcpy(nameOut, name, NMNAMELEN);
    return QRD_OK;
}

} // extern "C"
