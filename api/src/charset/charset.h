// Character-set conversion of texts that cross the wire.
//
// The Namewright service takes names in ASCII and texts in Latin-1 or the PC
// code page; every string is converted in place according to the session's
// character-set code (QRD_NM_SESS::charset): 0 ASCII, 1 and 2 Latin-1, 3 PC
// code page, 4 and 5 (and any unknown code) no conversion at all.
//
// The five exported converters (QrdConv...) work in place on NUL-terminated
// strings and leave bytes below 0x80 unchanged.
#pragma once

#include <cstdint>

namespace qrd {

// Which way a text travels; each set picks a converter per charset code.
enum class ConvSet {
    ToAscii,    // names going to the service
    ToLatin1,   // texts going out, stored as Latin-1
    ToPcm,      // texts going out, stored in the PC code page
    FromLatin1, // names and texts coming back as Latin-1
    FromPcm,    // texts coming back in the PC code page
};

using Converter = void (*)(char* text);

// The converter of `set` for a session's charset code; nullptr when the pair
// converts nothing.
Converter converterFor(ConvSet set, uint16_t charset);

// Converts a NUL-terminated text in place (no-op when nothing applies or
// `text` is null).
void convertText(ConvSet set, uint16_t charset, char* text);

// Directions of convertValue.
constexpr int kValueToPcm = 1;
constexpr int kValueFromPcm = 2;
constexpr int kValueToLatin1 = 3;
constexpr int kValueFromLatin1 = 4;

// Converts a text attribute value (type 3): `len` bytes holding several
// NUL-terminated strings, the last of which need not be terminated. Every
// byte of the buffer is converted, the last one included; nothing is read or
// written outside buf[0..len). len <= 0, a null buffer or an unknown
// direction do nothing.
void convertValue(uint16_t charset, uint8_t* buf, int32_t len, int direction);

} // namespace qrd
