// The referral of attribute calls to the server that holds the object's
// group, and the pinned temporary session it runs on.
#include "nm/referral.h"

#include <cstdio>
#include <cstring>

#include "qrd/nmproto.h"

namespace qrd::nm {

namespace {

QRDSTATUS callPinned(uint16_t continuation, QRD_NM_SESS* sess, const SessionCall& call) {
    QRDSTATUS st = QRD_OK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!sess->active) {
            QRD_PORT home = sess->port; // kept by the end of a session
            st = QrdStartNmSession(&home, sess->charset, sess->nonce, sess);
            if (st != QRD_OK) return st;
        }
        const QRD_PORT port = sess->port;
        uint8_t sid[4];
        std::memcpy(sid, sess->id, sizeof sid);
        st = call(&port, sid);
        if (st == QRD_OK || !isLostSession(st)) return st;
        QrdEndNmSession(sess);
        if (continuation) return QRDERR_NM_SESSION_LOST;
    }
    return st;
}

} // namespace

QRDSTATUS callOn(uint16_t continuation, const SessionRef& s, const SessionCall& call) {
    if (!s.pinned) return callInSession(continuation, s.sess, call);
    if (!s.sess) return QRDERR_NM_NO_SESSION;
    return callPinned(continuation, s.sess, call);
}

QRDSTATUS groupOfName(const char* name, char group[NMNAMELEN]) {
    char buffer[NMNAMELEN];
    uint16_t length = sizeof buffer;
    char* parts[3] = {};
    uint16_t count = 3;
    if (QRDSTATUS st = QrdBreakNmName(name, buffer, &length, parts, &count)) return st;
    if (count == 3) {
        // Both parts come from a name of at most 63 characters: they fit.
        std::snprintf(group, NMNAMELEN, "%s@%s", parts[1], parts[2]);
        return QRD_OK;
    }
    if (count == 2) {
        std::snprintf(group, NMNAMELEN, "%s", name);
        return QRD_OK;
    }
    return QRDERR_NM_BAD_NAME;
}

QRDSTATUS followReferral(QRD_NM_SESS* sess, const AttrTarget& target, const ReferredCall& call) {
    char group[NMNAMELEN];
    if (QRDSTATUS st = groupOfName(target.name, group)) return st;
    char server[NMNAMELEN];
    if (QRDSTATUS st = QrdGetSNmGroup(sess, group, server)) return st;
    QRD_PORT port;
    if (QRDSTATUS st = QrdCreateSSvrWkp(sess, server, kServiceNamewright, &port)) return st;
    uint32_t revision = 0;
    if (QRDSTATUS st = QrdGetSvrLRev(&port, &revision)) return st;

    // The caller's credential goes with the call: a session opened with a
    // nonce of its own must not act under the workstation's login there.
    QRD_NM_SESS temp;
    QRDSTATUS st = QrdStartNmSession(&port, sess->charset, sess->nonce, &temp);
    if (st != QRD_OK) return st;
    const SessionRef there{&temp, true};
    st = revision < kAttrRevision ? call.emulated(there) : call.remote(there);
    QrdEndNmSession(&temp);
    return st;
}

} // namespace qrd::nm
