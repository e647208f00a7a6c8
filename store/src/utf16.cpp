#include "utf16.h"

#include "qrd/bytes.h"

namespace namedir::utf16 {

namespace {

// Decodes one UTF-8 sequence at text[i]; false when it is not well formed.
bool nextCodePoint(const std::string& text, size_t& i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t b0 = byte(i);
    size_t extra;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
        uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80) return false;
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

bool fromUtf8(const std::string& text, std::u16string& units) {
    units.clear();
    units.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        if (!nextCodePoint(text, i, cp)) return false;
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
        char32_t u = qrd::getLe16(bytes + 2 * i);
        if (u >= 0xDC00 && u <= 0xDFFF) return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == count) return false;
            char32_t low = qrd::getLe16(bytes + 2 * (i + 1));
            if (low < 0xDC00 || low > 0xDFFF) return false;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        appendUtf8(text, u);
    }
    return true;
}

} // namespace namedir::utf16
