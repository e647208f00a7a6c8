#include "frame/errortext.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "frame/errortext_service.h"
#include "qrd/statuses.h"
#include "qrdapi.h"

namespace qrd {

namespace {

void copyText(char* buffer, const char* text) {
    std::snprintf(buffer, QRD_ERRTEXT_LEN, "%s", text);
}

struct Fallback {
    uint16_t code;
    const char* text;
};
// Texts the workstation knows when the service cannot be asked.
constexpr Fallback kFallback[] = {
    {2030, "No error"},
    {2031, "Translation Not Available"},
    {2032, "BAD ERROR CODE"},
    {2033, "Service is not responding"},
    {2034, "Service is not available"},
    {2035, "Software version unavailable"},
    {2036, "System error %d, see your Administrator"},
    {2037, "Server down"},
};
constexpr const char* kSystemError = "System error %d, see your Administrator";

} // namespace

void localErrorText(uint16_t code, char* buffer) {
    switch (code) {
    case QRDERR_SOFTWARE_VERSION:
        copyText(buffer, "Software version unavailable");
        return;
    case QRDERR_NOT_RESPONDING:
    case QRDERR_TIMEOUT:
        copyText(buffer, "Service is not responding");
        return;
    case QRDERR_NOT_AVAILABLE:
        copyText(buffer, "Service is not available");
        return;
    default:
        std::snprintf(buffer, QRD_ERRTEXT_LEN, kSystemError, int(code));
        return;
    }
}

bool fallbackErrorText(uint16_t code, char* buffer) {
    for (const Fallback& f : kFallback) {
        if (f.code != code) continue;
        // The one template among them shows its code rather than a bare "%d".
        if (f.text == std::string_view(kSystemError))
            std::snprintf(buffer, QRD_ERRTEXT_LEN, kSystemError, int(code));
        else
            copyText(buffer, f.text);
        return true;
    }
    return false;
}

} // namespace qrd

extern "C" QRDAPI QRDSTATUS QrdGetErrorText(const QRD_PORT* port, uint16_t code, char* buffer) {
    if (!buffer) return QRDERR_BAD_ARG;
    if (code == 0) {
        qrd::copyText(buffer, "No error");
        return QRD_OK;
    }
    if (code >= 100 && code <= 499) {
        qrd::localErrorText(code, buffer);
        return QRD_OK;
    }
    // The service's answer lands in a scratch buffer, so that a failed call
    // never leaves half a text in the caller's.
    char answer[QRD_ERRTEXT_LEN] = {};
    QRDSTATUS st = qrd::serviceErrorText(port, code, answer);
    if (st == QRD_OK) {
        answer[QRD_ERRTEXT_LEN - 1] = '\0';
        qrd::copyText(buffer, answer);
        return QRD_OK;
    }
    if (qrd::fallbackErrorText(code, buffer)) return QRD_OK;
    // The service's refusals of the error-text call itself.
    if (st == qrd::nm::kBadErrorCode || st == qrd::nm::kNoTranslation) {
        const std::string_view why = qrd::nm::findStatus(st)->text;
        std::snprintf(buffer, QRD_ERRTEXT_LEN, "%d: %.*s", int(code), int(why.size()), why.data());
        return QRD_OK;
    }
    qrd::localErrorText(code, buffer);
    return st;
}
