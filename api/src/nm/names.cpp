// Namewright names without the service: splitting, validation, hashing, and
// the version texts.
#include <cstdio>
#include <cstring>

#include "qrd/config.h"
#include "qrdapi.h"

namespace {

// Punctuation allowed in a name besides letters, digits and '@'.
constexpr const char kNamePunctuation[] = " !#%()+,-.;^_{|}~'";

bool isAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Latin-1 letters; 0xD7 (multiplication) and 0xF7 (division) are not letters.
bool isLatin1Letter(unsigned char c) {
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

constexpr uint32_t kDefaultClientVersion = 71278; // newer client generation, release 28

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdBreakNmName(const char* name, char* buffer, uint16_t* bufferLength,
                                char** parts, uint16_t* partCount) {
    if (!name) return QRDERR_NM_BAD_NAME;
    if (!buffer || !bufferLength || !parts || !partCount) return QRDERR_BAD_ARG;
    const size_t len = std::strlen(name);
    const uint16_t room = *bufferLength;
    *bufferLength = uint16_t(len + 1 > 0xFFFF ? 0xFFFF : len + 1);
    if (len >= room) return QRDERR_NM_BUFFER_SMALL;
    std::memcpy(buffer, name, len + 1);

    uint16_t stored = 0;
    char* cur = buffer;
    bool more = true; // the part about to be stored exists
    while (more && stored < *partCount) {
        parts[stored++] = cur;
        char* at = std::strchr(cur, '@');
        if (at) {
            *at = '\0';
            cur = at + 1;
        } else {
            more = false;
        }
    }
    *partCount = stored;
    return more ? QRDERR_NM_BAD_NAME : QRD_OK;
}

QRDAPI QRDSTATUS QrdValidateNmName(uint16_t international, const char* name, uint16_t wildcards) {
    if (!name || !*name) return QRDERR_NM_BAD_NAME;
    size_t count = 0;
    int ats = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p, ++count) {
        const unsigned char c = *p;
        if (c == '@') {
            if (++ats > 2) return QRDERR_NM_BAD_NAME;
        } else if (c == '*') {
            if (wildcards != QRD_WILDCARDS_OK) return QRDERR_NM_BAD_NAME;
        } else if (c >= 0x80) {
            if (!international || !isLatin1Letter(c)) return QRDERR_NM_BAD_NAME;
        } else if (!isAsciiAlnum(c) && !std::strchr(kNamePunctuation, c)) {
            return QRDERR_NM_BAD_NAME;
        }
    }
    return count >= NMNAMELEN ? QRDERR_NM_BAD_NAME : QRD_OK;
}

QRDAPI uint16_t QrdHashNmName(const char* name) {
    if (!name) return 0;
    uint32_t h = 0;
    unsigned s = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        h = (h + (uint32_t(*p & 15u) << s)) & 0xFFFFu;
        s = (s + 7) % 11;
    }
    return uint16_t(h);
}

QRDAPI uint32_t QrdGetClientVersionNumber(void) {
    // The installed client's version: QORDA.INI [Client] Version.
    long v = qrd::loadQordaIni().getLong("Client", "Version", kDefaultClientVersion);
    if (v <= 0 || v > 0xFFFFFFFFL) return kDefaultClientVersion;
    return uint32_t(v);
}

QRDAPI QRDSTATUS QrdGetClientVersionString(char* text) {
    if (!text) return QRDERR_BAD_ARG;
    const uint32_t v = QrdGetClientVersionNumber();
    const uint32_t release = v % 100;
    if (release >= 50)
        std::snprintf(text, QRD_VERSION_TEXT_LEN, "%u.%u(%u)", v / 10000, (v % 10000) / 100,
                      release - 50);
    else
        std::snprintf(text, QRD_VERSION_TEXT_LEN, "%u.%u (Beta-%u)", v / 10000, (v % 10000) / 100,
                      release);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdConvRevToAscii(uint32_t revision, char* text) {
    if (!text) return QRDERR_BAD_ARG;
    const uint32_t release = revision % 100;
    const bool beta = release < 50;
    std::snprintf(text, QRD_VERSION_TEXT_LEN, "%u.%2.2u (%s%u)", (revision / 10000) % 100,
                  (revision / 100) % 100, beta ? "Beta-" : "", beta ? release : release - 50);
    return QRD_OK;
}

} // extern "C"
