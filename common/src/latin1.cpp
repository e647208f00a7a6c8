#include "qrd/latin1.h"

#include <cstdint>
#include <cstring>

namespace qrd {

namespace {
// Decodes one UTF-8 sequence at `i`; false on a malformed or overlong one.
bool nextCodePoint(const std::string& s, size_t& i, uint32_t& cp) {
    auto byte = [&](size_t k) { return uint8_t(s[k]); };
    uint8_t b = byte(i);
    size_t len;
    if (b < 0x80) {
        cp = b;
        len = 1;
    } else if ((b & 0xE0) == 0xC0) {
        cp = b & 0x1F;
        len = 2;
    } else if ((b & 0xF0) == 0xE0) {
        cp = b & 0x0F;
        len = 3;
    } else if ((b & 0xF8) == 0xF0) {
        cp = b & 0x07;
        len = 4;
    } else {
        return false;
    }
    if (s.size() - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return false;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
    return true;
}

// Converts, calling `bad` for each character Latin-1 cannot hold; false when
// `bad` refuses or the input is malformed.
template <class OnBad> bool convert(const std::string& utf8, std::string& out, OnBad bad) {
    out.clear();
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp;
        if (!nextCodePoint(utf8, i, cp)) {
            if (!bad()) return false;
            out.push_back('?');
            ++i;
            continue;
        }
        if (cp > 0xFF) {
            if (!bad()) return false;
            out.push_back('?');
            continue;
        }
        out.push_back(char(cp));
    }
    return true;
}
} // namespace

bool isUtf8(const std::string& text) {
    uint32_t cp;
    for (size_t i = 0; i < text.size();)
        if (!nextCodePoint(text, i, cp)) return false;
    return true;
}

bool utf8ToLatin1(const std::string& utf8, std::string& latin1) {
    return convert(utf8, latin1, [] { return false; });
}

std::string utf8ToLatin1Lossy(const std::string& utf8) {
    std::string out;
    convert(utf8, out, [] { return true; });
    return out;
}

std::string latin1ToUtf8(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else {
            out.push_back(char(0xC0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string latin1ToUtf8(const char* text, size_t size) {
    return latin1ToUtf8(std::string(text, strnlen(text, size)));
}

} // namespace qrd
