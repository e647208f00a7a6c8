// Feeds arbitrary action command lines, items and paths (records that other
// users write) through the desktop's expansion, splitting and path
// services: the expanded line never exceeds its limit, nothing grows out of
// nothing, and nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "actions/commandline.h"
#include "files/usrfile.h"
#include "files/xdgapps.h"
#include "items/docname.h"
#include "items/urlforms.h"

namespace {
// A value as long as the variable's name, so that expansion can grow.
std::optional<std::string> echoEnvironment(const std::string& name) {
    if (name.size() % 3 == 0) return std::nullopt;
    return name + name;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find('\0');
    std::string line = input.substr(0, cut);
    std::string item = cut == std::string::npos ? "" : input.substr(cut + 1);

    std::string expanded = usraction::expandCommandLine(line, item, echoEnvironment);
    if (expanded.size() > usraction::kExpandedMax) std::abort();
    usraction::CommandParts parts = usraction::splitCommandLine(
        expanded, [](const std::string& p) { return p.size() % 2 == 0; });
    if (parts.program.size() + parts.parameters.size() > expanded.size()) std::abort();
    size_t total = 0;
    for (const std::string& a : usraction::splitParameters(parts.parameters))
        total += a.size();
    if (total > parts.parameters.size()) std::abort();

    std::string server;
    if (USRFile::serverOfNetworkPath(line, server) && server.size() >= line.size()) std::abort();
    USRFile::isKeyPath(line);
    if (USRFile::fileNameOf(line).size() > line.size()) std::abort();
    if (USRDocumentNameFor(line).size() > line.size()) std::abort();
    if (USRShortcutUrl(line).size() > line.size()) std::abort();
    USRIsKnownUrlForm(line);
    if (usrfile::programOfExec(line).size() > line.size()) std::abort();
    return 0;
}
