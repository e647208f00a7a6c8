#include "names.h"

#include <cstdint>
#include <cstring>

namespace nwd {

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
