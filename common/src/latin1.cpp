#include "qrd/latin1.h"

#include <cstdint>

namespace qrd {

std::string latin1ToUtf8(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool utf8ToLatin1(const std::string& utf8, std::string& latin1) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = uint8_t(utf8[i]);
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        // Only the two-byte forms of U+0080..U+00FF fit into Latin-1.
        if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
            (uint8_t(utf8[i + 1]) & 0xC0) == 0x80) {
            out.push_back(char(((c & 0x1F) << 6) | (uint8_t(utf8[i + 1]) & 0x3F)));
            ++i;
            continue;
        }
        return false;
    }
    latin1 = std::move(out);
    return true;
}

} // namespace qrd
