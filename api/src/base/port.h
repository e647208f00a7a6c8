// The library's QRD_PORT over the one port-record layout (qrd/portrecord.h).
#pragma once

#include <cstring>

#include "qrd/bytes.h"
#include "qrd/portrecord.h"
#include "qrdapi.h"

namespace qrd {

static_assert(sizeof(QRD_PORT) == port::kSize);

inline QRD_PORT nullPort() {
    QRD_PORT p;
    std::memcpy(&p, port::null().data(), sizeof p);
    return p;
}

inline QRD_PORT portOrNull(const QRD_PORT* p) {
    return p ? *p : nullPort();
}

// NULL or the null port.
inline bool isNullPort(const QRD_PORT* p) {
    return !p || port::isNull(reinterpret_cast<const uint8_t*>(p));
}

// Native records carry their family big-endian (byte 1 is 3), Internet ones
// little-endian.
inline uint16_t portFamily(const QRD_PORT& p) {
    if (p.family[1] == QRD_FAMILY_NATIVE) return QRD_FAMILY_NATIVE;
    return getLe16(p.family);
}

} // namespace qrd
