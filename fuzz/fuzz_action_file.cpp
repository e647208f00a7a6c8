// Feeds arbitrary bytes as an action definition file. Whatever the file
// holds, each action comes from one line's worth of text: no field spans a
// line end, holds a control byte or exceeds the longest line, and every
// action has a name. Problems are short lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "action_file.h"

namespace {

void check(const std::string& field) {
    if (field.size() > deskinstall::kMaxLineLength) std::abort();
    for (char c : field)
        if ((uint8_t(c) < 0x20 && c != '\t') || c == 0x7F) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    deskinstall::ActionFile file = deskinstall::parseActionFile(text);
    for (const deskinstall::ActionDefinition& a : file.actions) {
        if (a.name.empty()) std::abort();
        for (const std::string* f : {&a.name, &a.commandLine, &a.description, &a.startDirectory})
            check(*f);
        if (a.showMode < 0 || a.showMode > 10) std::abort();
        if (a.iconIndex < INT32_MIN || a.iconIndex > INT32_MAX) std::abort();
        deskinstall::applyInstallDirectory(a.commandLine, a.startDirectory);
    }
    for (const std::string& p : file.problems)
        if (p.empty() || p.size() > 300 || p.find('\n') != std::string::npos) std::abort();
    // The value readers on their own, as the installer's exports call them.
    long mode = 0;
    deskinstall::parseShowMode(text, mode);
    deskinstall::parseCapabilities(text);
    deskinstall::parseBoolean(text);
    return 0;
}
