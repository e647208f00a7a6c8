// Conversion of NMDA texts for a session's character code (byte 46 of the
// block), only for sessions of revision 55028 or more: code 4 sends PC
// code page texts as Latin-1 and brings Latin-1 back to the PC code page,
// code 3 brings Latin-1 back as ASCII, code 5 converts nothing. A field is
// converted as a NUL-terminated text and its last byte on its own, so a
// full field without a terminator is converted whole.
#pragma once

#include <cstddef>

#include "qrdapi.h"

namespace qrd::nmda {

void toService(const QRD_NMDA_SESSION& block, char* field, size_t size);
void fromService(const QRD_NMDA_SESSION& block, char* field, size_t size);
// A text attribute value: every string in it, and its last byte.
void valueFromService(const QRD_NMDA_SESSION& block, uint8_t* value, size_t size);

} // namespace qrd::nmda
