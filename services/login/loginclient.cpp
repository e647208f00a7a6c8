#include "loginclient.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "qrd/bytes.h"
#include "qrd/nmproto.h"

namespace qrdlogin {

namespace {

constexpr int32_t kLoginTimeout = 75; // ticks
constexpr int32_t kRevisionTimeout = 20;

// Sends one procedure call and returns the reply's results (after the 4-byte
// reply header) in `results`.
QRDSTATUS call(const QRD_PORT& port, uint16_t proc, const qrd::BeWriter& args, int32_t timeout,
               std::vector<uint8_t>& results) {
    size_t length = QRD_RPC_HEADER + args.size();
    auto* buffer = static_cast<uint8_t*>(std::calloc(1, length));
    if (!buffer) return QRDERR_NO_MEMORY;
    std::memcpy(buffer + QRD_RPC_HEADER, args.data().data(), args.size());
    QRD_RPC_CONTROL control{};
    QRDSTATUS st = _CallRemoteDg(&port, proc, &buffer, &control, uint32_t(length), timeout, 1, 0);
    if (st != QRD_OK) return st;
    size_t offset = control.resultOffset;
    if (control.replyLength >= offset)
        results.assign(buffer + offset, buffer + control.replyLength);
    std::free(buffer);
    return QRD_OK;
}

} // namespace

LoginResult login(const std::string& name, const std::string& password) {
    LoginResult r;
    if (name.empty() || name.size() >= qrd::nm::kNameCap) {
        r.status = name.empty() ? QRDERR_NM_BAD_NAME : QRDERR_NM_NAME_TOO_LONG;
        return r;
    }
    if (password.size() >= qrd::nm::kPasswordCap) {
        r.status = QRDERR_BAD_ARG;
        return r;
    }
    QRD_PORT port;
    QrdSetPortNull(&port);
    if ((r.status = QrdEasyFindSvc(qrd::nm::kServiceNamewright, &port)) != QRD_OK) return r;

    qrd::BeWriter args;
    args.string(name);
    args.string(password);
    std::vector<uint8_t> results;
    if ((r.status = call(port, qrd::nm::kLogin, args, kLoginTimeout, results)) != QRD_OK) return r;

    qrd::BeReader in(results.data(), results.size());
    QRD_NONCE nonce{};
    in.bytes(nonce.opaque, sizeof nonce.opaque);
    nonce.word1 = in.u32();
    nonce.word2 = in.u32();
    if (!in.string(r.canonicalName, qrd::nm::kNameCap - 1) || !in.ok() || nonce.word1 == 0) {
        r.status = QRDERR_MARSHAL;
        return r;
    }

    // The service's revision decides whether later session starts may use
    // the remembered port directly.
    qrd::BeWriter revArgs;
    revArgs.u32(0);
    uint32_t revision = 0;
    if (call(port, qrd::nm::kRevision, revArgs, kRevisionTimeout, results) == QRD_OK) {
        qrd::BeReader rev(results.data(), results.size());
        revision = rev.u32();
        if (!rev.ok()) revision = 0;
    }

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
