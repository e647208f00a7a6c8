#include "loginclient.h"

#include <cstdlib>
#include <cstring>

#include "qrd/nmproto.h"

namespace qrdlogin {

LoginResult login(const std::string& name, const std::string& password) {
    LoginResult r;
    if (name.empty() || name.size() >= qrd::nm::kNameCap) {
        r.status = name.empty() ? QRDERR_NM_BAD_NAME : QRDERR_NM_NAME_TOO_LONG;
        return r;
    }
    QRD_PORT port;
    QrdSetPortNull(&port);
    if ((r.status = QrdEasyFindSvc(qrd::nm::kServiceNamewright, &port)) != QRD_OK) return r;

    QRD_NONCE nonce{};
    char canonical[NMNAMELEN] = {};
    r.status = QrdNmLogin(&port, name.c_str(), password.c_str(), &nonce, canonical);
    if (r.status != QRD_OK) return r;
    r.canonicalName = canonical;

    // The service's revision decides whether later session starts may use
    // the remembered port directly.
    uint32_t revision = 0;
    if (QrdGetSvrLRev(&port, &revision) != QRD_OK) revision = 0;

    char user[NMNAMELEN] = {};
    std::memcpy(user, r.canonicalName.data(), r.canonicalName.size());
    if ((r.status = QrdSetGlobalVar(QRD_GV_USER_NAME, user, NMNAMELEN)) != QRD_OK) return r;
    if ((r.status = QrdSetNonce(&nonce)) != QRD_OK) return r;
    if (revision) {
        QrdSetGlobalVar(QRD_GV_NM_PORT, &port, sizeof port);
        QrdSetGlobalVar(QRD_GV_NM_REVISION, &revision, sizeof revision);
    }
    return r;
}

QRDSTATUS logout() {
    char empty[NMNAMELEN] = {};
    QRD_NONCE none{};
    QRD_PORT null;
    QrdSetPortNull(&null);
    uint32_t zero = 0;
    QRDSTATUS st = QrdSetGlobalVar(QRD_GV_USER_NAME, empty, NMNAMELEN);
    if (st == QRD_OK) st = QrdSetNonce(&none);
    if (st == QRD_OK) st = QrdSetGlobalVar(QRD_GV_NM_PORT, &null, sizeof null);
    if (st == QRD_OK) st = QrdSetGlobalVar(QRD_GV_NM_REVISION, &zero, sizeof zero);
    return st;
}

std::string currentUser() {
    QRD_NONCE nonce{};
    if (QrdGetNonce(&nonce) != QRD_OK || nonce.word1 == 0) return {};
    char user[NMNAMELEN] = {};
    if (QrdGetUserName(user) != QRD_OK) return {};
    user[NMNAMELEN - 1] = '\0';
    return user;
}

std::string statusText(QRDSTATUS status) {
    switch (status) {
    case qrd::nm::kNoSuchObject:
        return "unknown user";
    case qrd::nm::kWrongPassword:
        return "wrong password";
    case qrd::nm::kTooManyAttempts:
        return "too many wrong passwords; try again later";
    case QRDERR_TIMEOUT:
    case QRDERR_NOT_RESPONDING:
        return "the directory service is not reachable";
    default:
        break;
    }
    char text[QRD_ERRTEXT_LEN] = {};
    QrdGetErrorText(nullptr, status, text);
    return text;
}

} // namespace qrdlogin
