// Namewright sessions: start (finding the service), end, the implicit
// session, the per-call wrapper, and the login nonce.
#include "nm/session.h"

#include <cstring>
#include <mutex>

#include "base/locks.h"
#include "base/port.h"
#include "nm/search.h"
#include "qrd/bytes.h"
#include "qrd/nmproto.h"
#include "rpc/stubs.h"

namespace qrd::nm {

namespace {

constexpr uint32_t kDefaultRevision = 50000;    // when the workstation knows none
constexpr uint32_t kRememberedPortFrom = 70000; // revisions that remember the port
constexpr uint32_t kNewerRangeLow = 70000;
constexpr uint32_t kOlderRangeLow = 30000;
constexpr uint32_t kRangeHigh = 89999;
constexpr uint8_t kSearchSpread = 5;
constexpr int kSearchAttempts = 2;

// The implicit session: one per process. Its first start, restarts and the
// copies of its port and identifier are made under locks::nmSession(), so
// that threads sharing it never see it half written.
constinit QRD_NM_SESS g_implicit = {};

bool isRefusal(QRDSTATUS st) {
    return st >= 1000 && st <= 1099;
}

// Step 5 of the start: the start-session call on the record's port.
QRDSTATUS startCall(QRD_NM_SESS* sess, const QRD_NONCE& nonce) {
    uint8_t sid[4] = {};
    QRDSTATUS st = rpc::nmStartSession(&sess->port, nonce, sid);
    if (st == QRD_OK) {
        std::memcpy(sess->id, sid, sizeof sid);
        sess->active = 1;
    }
    return st;
}

QRDSTATUS startSessionLocked(QRD_NM_SESS* sess) {
    if (sess != &g_implicit) return QrdStartNmSession(nullptr, sess->charset, sess->nonce, sess);
    std::lock_guard<std::mutex> lock(locks::nmSession());
    if (sess->active) return QRD_OK; // another thread started it meanwhile
    return QrdStartNmSession(nullptr, sess->charset, sess->nonce, sess);
}

bool isActive(QRD_NM_SESS* sess) {
    std::unique_lock<std::mutex> lock(locks::nmSession(), std::defer_lock);
    if (sess == &g_implicit) lock.lock();
    return sess->active != 0;
}

void snapshot(QRD_NM_SESS* sess, QRD_PORT& port, uint8_t sid[4]) {
    std::unique_lock<std::mutex> lock(locks::nmSession(), std::defer_lock);
    if (sess == &g_implicit) lock.lock();
    port = sess->port;
    std::memcpy(sid, sess->id, 4);
}

} // namespace

void setWellKnownPort(QRD_PORT& port, uint16_t wellKnownPort) {
    putBe16(port.port, uint16_t(wellKnownPort & 0x1FF));
}

bool isLostSession(QRDSTATUS status) {
    return status == QRDERR_NM_NO_SESSION || status == QRDERR_NOT_RESPONDING ||
           status == QRDERR_NOT_AVAILABLE || status == QRDERR_TIMEOUT;
}

QRDSTATUS callInSession(uint16_t continuation, QRD_NM_SESS* sess, const SessionCall& call) {
    if (!sess) return QRDERR_NM_NO_SESSION;
    QRDSTATUS st = QRD_OK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!isActive(sess)) {
            st = startSessionLocked(sess);
            if (st != QRD_OK) return st;
        }
        QRD_PORT port;
        uint8_t sid[4];
        snapshot(sess, port, sid);
        st = call(&port, sid);
        if (st == QRD_OK || !isLostSession(st)) return st;
        QrdEndNmSession(sess);
        if (continuation) return QRDERR_NM_SESSION_LOST;
    }
    return st;
}

} // namespace qrd::nm

using namespace qrd::nm;
using qrd::isNullPort;
using qrd::portFamily;

extern "C" {

QRDAPI QRDSTATUS QrdGetNonce(QRD_NONCE* nonce) {
    if (!nonce) return QRDERR_BAD_ARG;
    return QrdGetGlobalVar(QRD_GV_NONCE, nonce, sizeof *nonce);
}

QRDAPI QRDSTATUS QrdSetNonce(const QRD_NONCE* nonce) {
    if (!nonce) return QRDERR_BAD_ARG;
    return QrdSetGlobalVar(QRD_GV_NONCE, nonce, sizeof *nonce);
}

QRDAPI QRDSTATUS QrdInitNmSession(uint16_t charset, QRD_NONCE* nonce, QRD_NM_SESS* sess) {
    if (!sess) return QRD_OK;
    sess->port = qrd::nullPort();
    std::memset(sess->id, 0, sizeof sess->id);
    sess->charset = charset;
    sess->active = 0;
    sess->nonce = nonce;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdStartNmSession(QRD_PORT* port, uint16_t charset, QRD_NONCE* nonce,
                                   QRD_NM_SESS* sess) {
    if (!sess) return QRD_OK;
    QrdInitNmSession(charset, nonce, sess);

    QRD_NONCE credential{};
    if (nonce) {
        credential = *nonce;
    } else if (QrdGetNonce(&credential) != QRD_OK || credential.word1 == 0) {
        return QRDERR_NM_NOT_LOGGED_IN;
    }

    if (!isNullPort(port)) {
        sess->port = *port;
        return startCall(sess, credential);
    }

    // The service is looked for; a port variable given by the caller gets the
    // port the session ended up on.
    auto started = [&]() {
        if (port) *port = sess->port;
        return QRD_OK;
    };

    uint32_t revision = 0;
    if (QrdGetGlobalVar(QRD_GV_NM_REVISION, &revision, sizeof revision) != QRD_OK || revision == 0)
        revision = kDefaultRevision;

    bool candidate = false;
    if (revision >= kRememberedPortFrom) {
        QRD_PORT remembered;
        if (QrdGetGlobalVar(QRD_GV_NM_PORT, &remembered, sizeof remembered) == QRD_OK) {
            sess->port = remembered;
            candidate = !isNullPort(&remembered) && portFamily(remembered) != 0;
        }
    }
    if (!candidate && QrdGetProtocolPref() == QRD_PROT_QIP) {
        // Ask the server that serves this workstation first.
        QRD_PORT local;
        if (QrdCreateLocalWkp(qrd::nm::kServiceNamewright, &local) == QRD_OK) {
            qrd::putBe16(local.subnet, 1);
            uint32_t localRevision = 0;
            if (qrd::rpc::nmRevision(&local, &localRevision) == QRD_OK) {
                sess->port = local;
                candidate = true;
            }
        }
    }
    // With the Internet preference the record's current port is tried; the
    // null port (nothing remembered) could only fail, so it is not sent to.
    QRDSTATUS st = QRDERR_TIMEOUT;
    if (candidate || !isNullPort(&sess->port)) {
        st = startCall(sess, credential);
        if (st == QRD_OK) return started();
        if (isRefusal(st)) return st;
    }

    // Four full searches find no one faster than the quick look (163 after
    // 1.2 s instead of 36 s).
    SearchAnswer anyone{};
    if (QRDSTATUS quick =
            probeService(qrd::nm::kServiceNamewright, kOlderRangeLow, kRangeHigh, anyone))
        return quick;
    const uint32_t lows[2] = {kNewerRangeLow, kOlderRangeLow};
    for (uint32_t low : lows) {
        for (int attempt = 0; attempt < kSearchAttempts; ++attempt) {
            QRD_PORT found;
            st = QrdFindSvc(qrd::nm::kServiceNamewright, &found, 0, kSearchSpread, low, kRangeHigh,
                            0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr);
            if (st != QRD_OK) {
                if (st != QRDERR_TIMEOUT) return st;
                continue;
            }
            sess->port = found;
            st = startCall(sess, credential);
            if (st == QRD_OK) return started();
            if (isRefusal(st)) return st;
        }
    }
    return st;
}

QRDAPI QRDSTATUS QrdEndNmSession(QRD_NM_SESS* sess) {
    if (!sess) return QRD_OK;
    QRD_PORT port;
    uint8_t sid[4];
    {
        std::unique_lock<std::mutex> lock(qrd::locks::nmSession(), std::defer_lock);
        if (sess == &g_implicit) lock.lock();
        if (!sess->active) return QRD_OK;
        sess->active = 0;
        port = sess->port;
        std::memcpy(sid, sess->id, sizeof sid);
    }
    qrd::rpc::nmEndSession(&port, sid); // the service forgets it either way
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdGetImplicitNmSession(QRD_NM_SESS** sessOut) {
    if (!sessOut) return QRD_OK;
    *sessOut = &g_implicit;
    std::lock_guard<std::mutex> lock(qrd::locks::nmSession());
    if (g_implicit.active) return QRD_OK;
    return QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &g_implicit);
}

} // extern "C"
