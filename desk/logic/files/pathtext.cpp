#include "files/pathtext.h"

#include <cctype>

namespace usrfile {

namespace {
char fold(char c) {
    return char(std::toupper(static_cast<unsigned char>(c)));
}
} // namespace

std::string_view unquoted(std::string_view text) {
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    return text;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = fold(c);
    return out;
}

} // namespace usrfile
