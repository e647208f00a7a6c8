#include "qrdlib.h"

#include "setup.h"

#include <dlfcn.h>

namespace bench {

namespace {

template <typename F> bool find(void* lib, const char* name, F& out, std::string& error) {
    out = reinterpret_cast<F>(dlsym(lib, name));
    if (!out) error = std::string("the client library has no ") + name;
    return out != nullptr;
}

} // namespace

bool QrdLib::load(const std::string& path, std::string& error) {
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why ? why : "unknown reason");
        return false;
    }
    return find(lib, "QrdSetPortNull", setPortNull, error) &&
           find(lib, "QrdEasyFindSvc", easyFindSvc, error) &&
           find(lib, "QrdNmLogin", nmLogin, error) &&
           find(lib, "QrdGetSvrLRev", getSvrLRev, error) &&
           find(lib, "QrdSetGlobalVar", setGlobalVar, error) &&
           find(lib, "QrdSetNonce", setNonce, error) &&
           find(lib, "QrdStartNmSession", startNmSession, error) &&
           find(lib, "QrdEndNmSession", endNmSession, error) &&
           find(lib, "QrdGetSNmAttr", getSNmAttr, error) &&
           find(lib, "QrdSetSNmAttr", setSNmAttr, error) &&
           find(lib, "QrdGetSNmAttrInfo", getSNmAttrInfo, error) &&
           find(lib, "QrdGetErrorText", getErrorText, error) && find(lib, "QrdDone", done, error) &&
           find(lib, "QrdStartNmdaSession", startNmdaSession, error) &&
           find(lib, "QrdEndNmdaSession", endNmdaSession, error) &&
           find(lib, "QrdGetNmdaData", getNmdaData, error);
}

std::string QrdLib::describe(QRDSTATUS status) const {
    char text[QRD_ERRTEXT_LEN] = {};
    if (getErrorText) getErrorText(servicePort, status, text);
    text[QRD_ERRTEXT_LEN - 1] = '\0';
    std::string s = text[0] ? text : "unknown status";
    return s + " (status " + std::to_string(status) + ")";
}

bool QrdLib::findAndLogIn(QRD_PORT& service, QRD_NONCE& nonce, std::string& user,
                          std::string& error) {
    setPortNull(&service);
    if (QRDSTATUS st = easyFindSvc(QRD_SVC_NAMEWRIGHT, &service)) {
        error = "no Namewright service found: " + describe(st);
        return false;
    }
    servicePort = &service;
    char canonical[NMNAMELEN] = {};
    if (QRDSTATUS st = nmLogin(&service, kBenchUser, kBenchPassword, &nonce, canonical)) {
        error = std::string("login of ") + kBenchUser + " failed: " + describe(st);
        return false;
    }
    canonical[NMNAMELEN - 1] = '\0';
    user = canonical;
    return true;
}

} // namespace bench
