#include "names.h"

#include <cstdint>
#include <cstring>

namespace nwd {

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

std::string upperLatin1(const std::string& latin1) {
    std::string out = latin1;
    for (char& ch : out) {
        unsigned char c = uint8_t(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) ch = char(c - 0x20);
    }
    return out;
}

std::string nameKey(const std::string& latin1) {
    return latin1ToUtf8(upperLatin1(latin1));
}

bool validNameChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           (c != 0 && std::strchr(kNamePunctuation, c) != nullptr) ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

bool validNamePart(const std::string& latin1) {
    if (latin1.empty()) return false;
    for (unsigned char c : latin1)
        if (!validNameChar(c)) return false;
    return true;
}

bool splitName(const std::string& latin1, std::vector<std::string>& parts) {
    parts.clear();
    if (latin1.empty() || latin1.size() > kMaxNameBytes) return false;
    size_t start = 0;
    for (;;) {
        size_t at = latin1.find('@', start);
        std::string part =
            latin1.substr(start, at == std::string::npos ? std::string::npos : at - start);
        if (!validNamePart(part) || parts.size() == 3) {
            parts.clear();
            return false;
        }
        parts.push_back(std::move(part));
        if (at == std::string::npos) return true;
        start = at + 1;
    }
}

std::string joinName(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out.push_back('@');
        out += parts[i];
    }
    return out;
}

} // namespace nwd
