// The service side of QrdGetErrorText: the error-text procedure (255) of a
// Namewright service.
#include "frame/errortext_service.h"

#include <cstring>

#include "base/port.h"
#include "nm/session.h"
#include "qrd/nmproto.h"
#include "rpc/stubs.h"

namespace qrd {

QRDSTATUS serviceErrorText(const QRD_PORT* port, uint16_t code, char* buffer) {
    if (!buffer) return QRDERR_BAD_ARG;
    QRD_PORT service;
    if (isNullPort(port)) {
        if (QRDSTATUS st = QrdEasyFindSvc(nm::kServiceNamewright, &service)) return st;
    } else {
        service = *port;
    }
    char text[rpc::kTextCap] = {};
    QRDSTATUS st = rpc::errorText(&service, code, text);
    if (st == QRD_OK) std::memcpy(buffer, text, sizeof text);
    return st;
}

} // namespace qrd
