// UTF-8 (texts in memory) <-> UTF-16LE (texts in stored attributes).
// Stored lengths count UTF-16 code units, so a character outside the Basic
// Multilingual Plane counts two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace namedir::utf16 {

// False when `text` is not valid UTF-8 (overlong forms, surrogates and values
// above U+10FFFF included).
bool fromUtf8(const std::string& text, std::u16string& units);

// `count` code units, little-endian, at `bytes`. False on an unpaired
// surrogate.
bool toUtf8(const uint8_t* bytes, size_t count, std::string& text);

} // namespace namedir::utf16
