#include "transport/replysource.h"

#include <cstring>

#include "commstack.h"

namespace qrd {

namespace {
// Family, port and address of an Internet port record.
constexpr size_t kInetIdentityBytes = 8;
} // namespace

bool replyFromDestination(uint16_t family, const QRD_PORT& dest, const QRD_PORT& source) {
    if (family == QRD_FAMILY_NATIVE) return commstack::sameEndpoint(dest, source);
    return std::memcmp(&dest, &source, kInetIdentityBytes) == 0;
}

} // namespace qrd
