#include "qrd/latin1.h"
#include "qrd/utf8.h"

#include <cstdint>
#include <cstring>

namespace qrd {

namespace {
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
