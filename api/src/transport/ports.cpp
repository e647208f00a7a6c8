// Port records: every endpoint is a 16-byte QRD_PORT; NULL stands for the
// null port (sixteen 0xFF bytes).
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/port.h"
#include "qrd/bytes.h"
#include "qrdapi.h"

namespace {

// Shared by every caller of QrdAddrToStr; the lock only keeps two writers
// from interleaving.
constinit std::mutex g_textLock;
constinit char g_addrText[48] = "";

uint8_t* bytesOf(QRD_PORT* p) {
    return reinterpret_cast<uint8_t*>(p);
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdSetPortNull(QRD_PORT* port) {
    if (port) *port = qrd::nullPort();
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdCopyPort(const QRD_PORT* src, QRD_PORT* dst) {
    if (dst) *dst = qrd::portOrNull(src);
    return QRD_OK;
}

QRDAPI uint16_t QrdComparePorts(const QRD_PORT* a, const QRD_PORT* b) {
    const QRD_PORT pa = qrd::portOrNull(a), pb = qrd::portOrNull(b);
    return std::memcmp(&pa, &pb, sizeof pa) == 0 ? 1 : 0;
}

QRDAPI QRDSTATUS QrdGetPortFields(const QRD_PORT* port, uint16_t* family, uint32_t* network,
                                  uint16_t* subnet, uint16_t* portNumber, uint8_t* octet10,
                                  uint8_t* octet11, uint32_t* word12) {
    QRD_PORT p = qrd::portOrNull(port);
    const uint8_t* b = bytesOf(&p);
    if (family) *family = qrd::portFamily(p);
    if (network) *network = qrd::getBe32(b + 2);
    if (subnet) *subnet = qrd::getBe16(b + 6);
    if (portNumber) *portNumber = qrd::getBe16(b + 8);
    if (octet10) *octet10 = b[10];
    if (octet11) *octet11 = b[11];
    if (word12) *word12 = qrd::getBe32(b + 12);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdSetPortFields(const uint16_t* family, const uint32_t* network,
                                  const uint16_t* subnet, const uint16_t* portNumber,
                                  const uint8_t* octet10, const uint8_t* octet11,
                                  const uint32_t* word12, QRD_PORT* port) {
    if (!port) return QRDERR_BAD_ARG;
    uint8_t* b = bytesOf(port);
    if (family) {
        if (*family == QRD_FAMILY_NATIVE)
            qrd::putBe16(b, QRD_FAMILY_NATIVE);
        else
            qrd::putLe16(b, *family);
    }
    if (network) qrd::putBe32(b + 2, *network);
    if (subnet) qrd::putBe16(b + 6, *subnet);
    if (portNumber) qrd::putBe16(b + 8, *portNumber);
    if (octet10) b[10] = *octet10;
    if (octet11) b[11] = *octet11;
    if (word12) qrd::putBe32(b + 12, *word12);
    return QRD_OK;
}

QRDAPI const char* QrdAddrToStr(const QRD_PORT* port) {
    QRD_PORT p = qrd::portOrNull(port);
    const uint8_t* b = bytesOf(&p);
    std::lock_guard lock(g_textLock);
    if (qrd::portFamily(p) == QRD_FAMILY_NATIVE) {
        const int wellKnown = (b[8] & 1) << 8 | b[9];
        std::snprintf(g_addrText, sizeof g_addrText, "%d:%d[%d]", int32_t(qrd::getBe32(b + 2)),
                      int(qrd::getBe16(b + 6)), wellKnown);
    }
    return g_addrText;
}

} // extern "C"
