// The service side of QrdGetErrorText: find a Namewright service when no port
// is given and ask it for the text of `code` (error-text procedure 255).
#pragma once

#include "qrdapi.h"

namespace qrd {

// Returns 0 with the service's text in `buffer` (QRD_ERRTEXT_LEN bytes), the
// service's refusal (5001, 5029), or the status of the failed search or call.
QRDSTATUS serviceErrorText(const QRD_PORT* port, uint16_t code, char* buffer);

} // namespace qrd
