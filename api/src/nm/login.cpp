// The password check of a workstation login (the login exchange of the
// Namewright service). The login command keeps the result in the
// workstation's global variables.
#include <cstring>

#include "qrdapi.h"
#include "rpc/stubs.h"

extern "C" {

QRDAPI QRDSTATUS QrdNmLogin(const QRD_PORT* port, const char* user, const char* password,
                            QRD_NONCE* nonce, char* canonical) {
    if (!user || !password || !nonce || !canonical) return QRDERR_BAD_ARG;
    if (!*user) return QRDERR_NM_BAD_NAME;
    if (std::strlen(user) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    if (std::strlen(password) >= qrd::rpc::kPasswordCap) return QRDERR_BAD_ARG;
    char name[NMNAMELEN] = {};
    QRDSTATUS st = qrd::rpc::nmLogin(port, user, password, nonce, name);
    if (st != QRD_OK) return st;
    if (nonce->word1 == 0) return QRDERR_MARSHAL; // a login without a credential
    std::memcpy(canonical, name, NMNAMELEN);
    return QRD_OK;
}

} // extern "C"
