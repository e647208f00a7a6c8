#include "items/docname.h"

#include "files/usrfile.h"

namespace {
constexpr size_t kNameMaxChars = 50;

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
} // namespace

std::string USRDocumentNameFor(const std::string& path) {
    std::string name = USRFile::fileNameOf(path);
    size_t chars = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if (isUtf8Continuation(name[i])) continue;
        if (chars++ == kNameMaxChars) return name.substr(0, i);
    }
    return name;
}
