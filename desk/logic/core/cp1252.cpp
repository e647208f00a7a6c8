#include "core/cp1252.h"

#include "qrd/utf8.h"

namespace richtext {
namespace {
// 0x80..0x9F; the rest of 1252 is Latin-1.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

uint32_t cp1252ToUnicode(uint8_t b) {
    return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
}

int unicodeToCp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp) return 0x80 + i;
    return -1;
}

uint32_t nextUtf8(const std::string& s, size_t& i) {
    uint32_t cp = 0;
    if (qrd::nextCodePoint(s, i, cp)) return cp;
    return cp1252ToUnicode(uint8_t(s[i++]));
}

} // namespace richtext
