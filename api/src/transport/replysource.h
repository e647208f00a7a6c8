// Where a reply may come from: the endpoint the request went to, on either
// road. The call routine drops every other datagram.
#pragma once

#include <cstdint>

#include "qrdapi.h"

namespace qrd {

// Whether a datagram received on a socket of `family` from `source` comes
// from the endpoint `dest` names. Native road: the same UDP address and port
// after the comm stack's mapping (any address for a broadcast `dest`).
// Internet road: the same family, port and IPv4 address.
bool replyFromDestination(uint16_t family, const QRD_PORT& dest, const QRD_PORT& source);

} // namespace qrd
