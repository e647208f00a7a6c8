// NMDA sessions: QrdStartNmdaSession locates or checks the service and
// fills the session block; the other calls end a session, copy its block
// and set its character code.
#include <cstring>

#include "base/port.h"
#include "nm/session.h"
#include "nmda/handle.h"
#include "nmda/locate.h"
#include "qrd/nmdawire.h"

namespace {

namespace wire = qrd::nmdawire;

// Checking a given service, and the two searches without one: (time-out
// in ticks, spread).
constexpr uint32_t kCheckTicks = 25;
constexpr uint8_t kCheckSpread = 15;
constexpr struct {
    uint32_t ticks;
    uint8_t spread;
} kSearches[] = {{5, 1}, {20, 2}};

QRDSTATUS findService(const QRD_PORT* given, QRD_PORT& port) {
    char pattern[QRD_NMDA_PATTERN_LEN] = {};
    char name[NMNAMELEN] = {};
    uint32_t word = 0;
    if (given) {
        port = *given;
        if (qrd::nmda::nativeInUse() && qrd::portFamily(port) == QRD_FAMILY_NATIVE)
            qrd::nm::setWellKnownPort(port, wire::kWellKnownPort);
        return QrdOpenNmdaSocket(&port, 0, pattern, name, kCheckTicks, kCheckSpread, nullptr,
                                 &word);
    }
    QRDSTATUS st = QRDERR_TIMEOUT;
    for (const auto& s : kSearches) {
        std::memset(pattern, 0, sizeof pattern);
        st = QrdOpenNmdaSocket(&port, 1, pattern, name, s.ticks, s.spread, nullptr, &word);
        if (st == QRD_OK) break;
    }
    if (st != QRD_OK) return st;
    // Where the service takes its calls; the located port when it does not say.
    QRD_PORT rpc = port;
    if (QrdGetRpcPort(name, &rpc, 0) == QRD_OK) port = rpc;
    return QRD_OK;
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdStartNmdaSession(const QRD_PORT* servicePort, QRD_NMDA_HANDLE* handle) {
    if (!handle) return QRDERR_BAD_ARG;
    *handle = nullptr;
    QRD_NONCE nonce{};
    if (QRDSTATUS st = QrdGetNonce(&nonce)) return st;
    if (nonce.word1 == 0) return QRDERR_NM_NOT_LOGGED_IN;
    char user[NMNAMELEN] = {};
    if (QrdGetUserName(user) != QRD_OK || !user[0]) return QRDERR_NM_NO_USER_NAME;

    QRD_PORT port;
    if (QRDSTATUS st = findService(servicePort, port)) return st;

    QRD_NMDA_HANDLE h = qrd::nmda::newHandle();
    if (!h) return QRDERR_NO_MEMORY;
    QRD_NMDA_SESSION& b = h->block; // nobody else knows the handle yet
    b.nonce = nonce;
    b.rpcPort = port;
    b.svcPort = port;
    if (qrd::nmda::nativeInUse() && qrd::portFamily(port) == QRD_FAMILY_NATIVE)
        qrd::nm::setWellKnownPort(b.svcPort, wire::kSessionPort);
    b.charCode = QRD_NMDA_CHARS_NONE;
    b.revision = QRD_NMDA_REVISION;
    *handle = h;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdEndNmdaSession(QRD_NMDA_HANDLE handle) {
    qrd::nmda::freeHandle(handle);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdGetNmdaSession(QRD_NMDA_HANDLE handle, QRD_NMDA_SESSION* block) {
    if (!block) return QRDERR_BAD_ARG;
    qrd::nmda::Locked l(handle);
    if (!l.ok()) return QRDERR_NO_MEMORY;
    *block = l.block();
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdSetNmdaCharCode(QRD_NMDA_HANDLE handle, uint8_t code) {
    if (code != QRD_NMDA_CHARS_ASCII && code != QRD_NMDA_CHARS_PCM && code != QRD_NMDA_CHARS_NONE)
        return QRDERR_BAD_ARG;
    qrd::nmda::Locked l(handle);
    if (!l.ok()) return QRDERR_NO_MEMORY;
    l.block().charCode = code;
    return QRD_OK;
}

} // extern "C"
