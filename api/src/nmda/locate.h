// Finding an NMDA service: the locate datagram on the native road
// (broadcast or to one port), procedure 11 on the Internet road.
#pragma once

#include <array>
#include <cstdint>

#include "qrd/nmdawire.h"
#include "qrdapi.h"

namespace qrd::nmda {

// Whether the native road is the one in use (available and preferred).
bool nativeInUse();
// The workstation's international location: its locale name, NUL-padded.
std::array<uint8_t, nmdawire::kIntlSize> intlLocation();
// The login nonce as it travels.
nmdawire::Nonce wireNonce(const QRD_NONCE& n);

} // namespace qrd::nmda
