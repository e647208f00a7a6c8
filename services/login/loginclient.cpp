#include "loginclient.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "qrd/latin1.h"
#include "qrd/nmproto.h"
#include "qrd/portrecord.h"

namespace qrdlogin {

namespace {

const char kNameForm[] = "expected user@group@organisation, e.g. alice@Sales@Demo";
const std::string kNameChars = "names hold letters (Latin-1, Western European), digits, spaces "
                               "and the marks !#%()+,-.;^_{|}~'";

// A name as typed, cut short for a message: nobody wants a screenful echoed.
std::string shown(const std::string& utf8) {
    const size_t kMax = 70;
    if (utf8.size() <= kMax) return "\"" + utf8 + "\"";
    size_t cut = kMax;
    while (cut > 0 && (uint8_t(utf8[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character
    return "\"" + utf8.substr(0, cut) + "...\"";
}

// The name in the client API's character set, or a problem for the user.
bool wireName(const std::string& utf8, std::string& latin1, LoginResult& r) {
    r.status = QRDERR_NM_BAD_NAME;
    if (utf8.empty()) {
        r.problem = std::string("the name is empty; ") + kNameForm;
        return false;
    }
    if (!qrd::utf8ToLatin1(utf8, latin1)) {
        r.problem = shown(utf8) + " is not a valid name: " + kNameChars + "; " + kNameForm;
        return false;
    }
    if (latin1.size() >= qrd::nm::kNameCap) {
        r.status = QRDERR_NM_NAME_TOO_LONG;
        r.problem = "the name is " + std::to_string(latin1.size()) + " characters long; at most " +
                    std::to_string(qrd::nm::kNameCap - 1) + " fit";
        return false;
    }
    // Checked here too, so that a mistyped name never counts as a wrong password.
    if (QrdValidateNmName(1, latin1.c_str(), 0) != QRD_OK) {
        r.problem = shown(utf8) + " is not a valid name: " + kNameChars + "; " + kNameForm;
        return false;
    }
    r.status = QRD_OK;
    return true;
}

bool wirePassword(const std::string& utf8, std::string& latin1, LoginResult& r) {
    r.status = QRDERR_BAD_ARG;
    if (utf8.empty()) {
        r.problem = "no password given";
        return false;
    }
    if (!qrd::utf8ToLatin1(utf8, latin1)) {
        r.problem = "the password holds characters outside Latin-1 (Western European), "
                    "which no password of the directory can hold";
        return false;
    }
    if (latin1.size() >= qrd::nm::kPasswordCap) {
        r.problem = "the password is longer than " + std::to_string(qrd::nm::kPasswordCap - 1) +
                    " characters";
        return false;
    }
    r.status = QRD_OK;
    return true;
}

} // namespace

LoginResult login(const std::string& name, const std::string& password) {
    LoginResult r;
    std::string latin1Name, latin1Password;
    if (!wireName(name, latin1Name, r) || !wirePassword(password, latin1Password, r)) return r;
    QRD_PORT port;
    QrdSetPortNull(&port);
    if ((r.status = QrdEasyFindSvc(qrd::nm::kServiceNamewright, &port)) != QRD_OK) return r;

    QRD_NONCE nonce{};
    char canonical[NMNAMELEN] = {};
    r.status = QrdNmLogin(&port, latin1Name.c_str(), latin1Password.c_str(), &nonce, canonical);
    std::fill(latin1Password.begin(), latin1Password.end(), '\0');
    if (r.status != QRD_OK) return r;
    canonical[NMNAMELEN - 1] = '\0';
    r.canonicalName = qrd::latin1ToUtf8(canonical);

    // The service's revision decides whether later session starts may use
    // the remembered port directly.
    uint32_t revision = 0;
    if (QrdGetSvrLRev(&port, &revision) != QRD_OK) revision = 0;

    // Other programs read the name through the client API: it stays Latin-1.
    char user[NMNAMELEN] = {};
    std::memcpy(user, canonical, NMNAMELEN);
    if ((r.status = QrdSetGlobalVar(QRD_GV_USER_NAME, user, NMNAMELEN)) != QRD_OK) return r;
    if ((r.status = QrdSetNonce(&nonce)) != QRD_OK) return r;
    if (revision) {
        QrdSetGlobalVar(QRD_GV_NM_PORT, &port, sizeof port);
        QrdSetGlobalVar(QRD_GV_NM_REVISION, &revision, sizeof revision);
    }
    return r;
}

namespace {

// The service that issued the nonce: the one remembered at login, else the
// one a search finds.
QRDSTATUS revoke(const QRD_NONCE& nonce) {
    QRD_PORT port;
    QrdSetPortNull(&port);
    if (QrdGetGlobalVar(QRD_GV_NM_PORT, &port, sizeof port) != QRD_OK ||
        qrd::port::isNull(reinterpret_cast<const uint8_t*>(&port))) {
        QrdSetPortNull(&port);
        if (QRDSTATUS st = QrdEasyFindSvc(qrd::nm::kServiceNamewright, &port)) return st;
    }
    return QrdNmLogout(&port, &nonce);
}

QRDSTATUS clearLogin() {
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

} // namespace

LogoutResult logout() {
    LogoutResult r;
    QRD_NONCE current{};
    if (QrdGetNonce(&current) == QRD_OK && current.word1 != 0) r.revoked = revoke(current);
    r.status = clearLogin();
    return r;
}

std::string currentUser() {
    QRD_NONCE nonce{};
    if (QrdGetNonce(&nonce) != QRD_OK || nonce.word1 == 0) return {};
    char user[NMNAMELEN] = {};
    if (QrdGetUserName(user) != QRD_OK) return {};
    user[NMNAMELEN - 1] = '\0';
    return qrd::latin1ToUtf8(user);
}

std::string statusText(QRDSTATUS status) {
    switch (status) {
    case qrd::nm::kBadName:
        return std::string("not a valid name; ") + kNameForm;
    case qrd::nm::kWrongPassword:
        return "unknown user or wrong password";
    case qrd::nm::kServerUnproven:
        return "the service that answered could not prove it is the directory's (nothing was "
               "sent that reveals the password; check the network)";
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
