// The exported global-variable calls. With the native protocol preferred and
// the store shared, the values belong to the redirector (the file-system
// device); otherwise this process reads its store directly. Both end in the
// same store and the same id and length rules.
#include "globalstore.h"
#include "qrdapi.h"
#include "redirector.h"

namespace {

bool useDevice() {
    return QrdGetProtocolPref() == QRD_PROT_QIP && qrd::gv::isShared();
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdGetGlobalVar(uint16_t id, void* buffer, uint16_t length) {
    if (useDevice()) {
        QRD_FS_REQ req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_GET, id, length, buffer);
        return QrdCallFileSystem(&req);
    }
    return qrd::gv::get(id, buffer, length);
}

QRDAPI QRDSTATUS QrdSetGlobalVar(uint16_t id, const void* buffer, uint16_t length) {
    if (useDevice()) {
        QRD_FS_REQ req = qrd::fs::globalVarRequest(QRD_FS_GLOBALVAR_SET, id, length, buffer);
        return QrdCallFileSystem(&req);
    }
    return qrd::gv::set(id, buffer, length);
}

QRDAPI QRDSTATUS QrdDetachServiceBackend(void) {
    return qrd::gv::detach();
}

} // extern "C"
