// UTF-8 (texts in memory on Linux) <-> Latin-1 (the wire character set of
// Namewright names, the client API's character set 1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qrd {

bool isUtf8(const std::string& text);
// False when `utf8` is not valid UTF-8 or holds a character beyond U+00FF.
bool utf8ToLatin1(const std::string& utf8, std::string& latin1);
// The same, with every character that Latin-1 cannot hold replaced by '?'.
std::string utf8ToLatin1Lossy(const std::string& utf8);
std::string latin1ToUtf8(const std::string& latin1);
// A NUL-terminated Latin-1 text in a buffer of `size` bytes (which need not
// hold a NUL).
std::string latin1ToUtf8(const char* text, size_t size);

} // namespace qrd
