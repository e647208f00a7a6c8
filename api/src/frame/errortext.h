// Texts of status codes.
#pragma once

#include <cstdint>

namespace qrd {

// The library's own text for `code` (no service involved), into a buffer of
// QRD_ERRTEXT_LEN bytes.
void localErrorText(uint16_t code, char* buffer);

// The workstation's fallback text for a service code (2030-2037); false when
// the code has none.
bool fallbackErrorText(uint16_t code, char* buffer);

} // namespace qrd
