// One entry of a user's profile, from the user service (procedure 4 of the
// message service), which answers calls from an address with a session.
#include <cstring>

#include "charset/charset.h"
#include "nm/session.h"
#include "qrd/nmproto.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

static_assert(QRD_PROFILE_KEY_LEN == qrd::rpc::kProfileKeyCap);
static_assert(QRD_PROFILE_VALUE_LEN == qrd::rpc::kProfileCap);

extern "C" QRDAPI QRDSTATUS QrdGetNmProfileEntry(const char* name, const char* keyword, char* value,
                                                 char* second) {
    if (!name || !keyword || !value) return QRDERR_NM_BAD_ARG;
    if (std::strlen(name) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    if (std::strlen(keyword) >= QRD_PROFILE_KEY_LEN) return QRDERR_NM_KEYWORD_TOO_LONG;
    // The service answers an address that holds a session.
    QRD_NM_SESS* sess = nullptr;
    if (QRDSTATUS st = QrdGetImplicitNmSession(&sess)) return st;
    QRD_PORT service;
    if (QRDSTATUS st = QrdEasyFindSvc(qrd::nm::kServiceMessage, &service)) return st;

    char ascii[NMNAMELEN];
    std::strcpy(ascii, name);
    qrd::convertText(qrd::ConvSet::ToAscii, QRD_CHARSET_LATIN1, ascii);
    uint16_t status = 0;
    char text[QRD_PROFILE_VALUE_LEN] = {}, other[QRD_PROFILE_VALUE_LEN] = {};
    QRDSTATUS st = qrd::rpc::profileEntry(&service, keyword, ascii, &status, text, other);
    if (st == QRDERR_NM_NO_SESSION) {
        // The service no longer knows our session (it restarted): a call in
        // the session starts it again, and the question is asked once more.
        char canonical[NMNAMELEN];
        qrd::nm::callInSession(0, sess, [&](const QRD_PORT* port, const uint8_t* sid) {
            return qrd::rpc::nmFormatName(port, sid, OBJTYPE, ascii, canonical);
        });
        st = qrd::rpc::profileEntry(&service, keyword, ascii, &status, text, other);
    }
    if (st != QRD_OK) return st;
    std::memcpy(value, text, sizeof text);
    if (second) std::memcpy(second, other, sizeof other);
    return status;
}
