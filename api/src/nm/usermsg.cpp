// A short message to a user through the message service, sent without
// waiting for an answer.
#include <cstring>

#include "charset/charset.h"
#include "qrd/nmproto.h"
#include "rpc/stubs.h"

namespace {

constexpr size_t kMessageChars = qrd::nm::kMessageCap - 1; // 80
// Names and text go out in the character set of the implicit session.
constexpr uint16_t kMessageCharset = QRD_CHARSET_LATIN1;

} // namespace

extern "C" QRDAPI QRDSTATUS QrdSendUserMsg(const char* recipient, const char* text) {
    if (!text) return QRDERR_NM_BAD_ARG;
    char message[qrd::nm::kMessageCap] = {};
    std::strncpy(message, text, kMessageChars);

    if (!recipient) return QRDERR_NM_BAD_NAME;
    if (std::strlen(recipient) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    char to[NMNAMELEN];
    if (QRDSTATUS st = QrdFormatNmName(recipient, to)) return st;

    QRD_PORT service;
    if (QRDSTATUS st = QrdEasyFindSvc(qrd::nm::kServiceMessage, &service)) return st;
    char from[NMNAMELEN];
    if (QRDSTATUS st = QrdGetUserName(from)) return st;

    qrd::convertText(qrd::ConvSet::ToAscii, kMessageCharset, from);
    qrd::convertText(qrd::ConvSet::ToAscii, kMessageCharset, to);
    qrd::convertText(qrd::ConvSet::ToLatin1, kMessageCharset, message);
    return qrd::rpc::userMessage(&service, from, to, message);
}
