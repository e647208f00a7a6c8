// One UTF-8 character at a time: the decoder and encoder every text
// conversion of the system builds on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qrd {

// Decodes the character at `s[i]` into `cp` and advances `i`; false, with
// `i` unchanged, on a malformed, overlong, surrogate or out-of-range one.
bool nextCodePoint(const std::string& s, size_t& i, uint32_t& cp);

// Appends `cp` as UTF-8; a surrogate or a value beyond U+10FFFF becomes
// U+FFFD.
void appendUtf8(std::string& out, uint32_t cp);

} // namespace qrd
