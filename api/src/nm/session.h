// Namewright sessions: the per-call wrapper that every session-bound
// operation goes through, and small helpers shared by the name functions.
#pragma once

#include <cstdint>
#include <functional>

#include "qrdapi.h"

namespace qrd::nm {

// One call of a session-bound stub with the session's port and identifier.
using SessionCall = std::function<QRDSTATUS(const QRD_PORT* port, const uint8_t* sid)>;

// Starts the session when it is not active, runs `call`, and when the service
// lost the session (1017, 155, 157, 163) ends it and tries once more. A
// non-zero `continuation` (the call continues an enumeration or a chunked
// transfer whose position the lost session held) gives 1039 instead of a
// retry. NULL `sess` gives 1017.
QRDSTATUS callInSession(uint16_t continuation, QRD_NM_SESS* sess, const SessionCall& call);

// True for the statuses after which the wrapper restarts the session.
bool isLostSession(QRDSTATUS status);

// Sets the 9-bit well-known port number into bytes 8-9.
void setWellKnownPort(QRD_PORT& port, uint16_t wellKnownPort);

} // namespace qrd::nm
