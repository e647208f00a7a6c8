#include "utf16.h"

#include "qrd/bytes.h"
#include "qrd/utf8.h"

namespace namedir::utf16 {

bool fromUtf8(const std::string& text, std::u16string& units) {
    units.clear();
    units.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t cp;
        if (!qrd::nextCodePoint(text, i, cp)) return false;
        if (cp < 0x10000) {
            units += char16_t(cp);
        } else {
            cp -= 0x10000;
            units += char16_t(0xD800 | cp >> 10);
            units += char16_t(0xDC00 | (cp & 0x3FF));
        }
    }
    return true;
}

bool toUtf8(const uint8_t* bytes, size_t count, std::string& text) {
    text.clear();
    text.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t u = qrd::getLe16(bytes + 2 * i);
        if (u >= 0xDC00 && u <= 0xDFFF) return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == count) return false;
            uint32_t low = qrd::getLe16(bytes + 2 * (i + 1));
            if (low < 0xDC00 || low > 0xDFFF) return false;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        qrd::appendUtf8(text, u);
    }
    return true;
}

} // namespace namedir::utf16
