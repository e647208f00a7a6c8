// The client library, loaded at run time: its process attach reads the
// workstation's environment, which the benchmark sets up only after it has
// started, so the library must not be loaded with the program.
#pragma once

#include <string>

#include "qrdapi.h"

namespace bench {

struct QrdLib {
    decltype(&QrdSetPortNull) setPortNull = nullptr;
    decltype(&QrdEasyFindSvc) easyFindSvc = nullptr;
    decltype(&QrdNmLogin) nmLogin = nullptr;
    decltype(&QrdGetSvrLRev) getSvrLRev = nullptr;
    decltype(&QrdSetGlobalVar) setGlobalVar = nullptr;
    decltype(&QrdSetNonce) setNonce = nullptr;
    decltype(&QrdStartNmSession) startNmSession = nullptr;
    decltype(&QrdEndNmSession) endNmSession = nullptr;
    decltype(&QrdGetSNmAttr) getSNmAttr = nullptr;
    decltype(&QrdSetSNmAttr) setSNmAttr = nullptr;
    decltype(&QrdGetSNmAttrInfo) getSNmAttrInfo = nullptr;
    decltype(&QrdGetErrorText) getErrorText = nullptr;
    decltype(&QrdDone) done = nullptr;
    decltype(&QrdStartNmdaSession) startNmdaSession = nullptr;
    decltype(&QrdEndNmdaSession) endNmdaSession = nullptr;
    decltype(&QrdGetNmdaData) getNmdaData = nullptr;

    // Loads the library at `path` and finds every function; false with a
    // message otherwise. The library stays loaded until the process ends.
    bool load(const std::string& path, std::string& error);

    // Finds the Namewright service into `service` (and servicePort) and logs
    // the bench user in there: its nonce and canonical name. False with a
    // message.
    bool findAndLogIn(QRD_PORT& service, QRD_NONCE& nonce, std::string& user, std::string& error);

    // "text (status N)" for messages. Texts of the service's statuses come
    // from the service at `servicePort` once it is known (else a search).
    std::string describe(QRDSTATUS status) const;
    const QRD_PORT* servicePort = nullptr;
};

} // namespace bench
