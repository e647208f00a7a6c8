// Windows-1252, the character set of 8-bit rich text, and the lenient UTF-8
// reading the rich-text writer uses.
#pragma once

#include <cstdint>
#include <string>

namespace richtext {

// The character for byte `b` (the five bytes 1252 leaves unassigned map to
// their C1 control, as other readers do).
uint32_t cp1252ToUnicode(uint8_t b);
// The byte for `cp`, or -1 when 1252 has no such character.
int unicodeToCp1252(uint32_t cp);

// Decodes one character at `i` and advances; a malformed byte is taken as
// 1252 (so text of any origin survives).
uint32_t nextUtf8(const std::string& s, size_t& i);

} // namespace richtext
