// A program's icon as its desktop entry names it. Entries are local files,
// but still read within bounds: a few levels of folders, a limited number
// of files, none beyond a sane size.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "files/xdgapps.h"
#include "qrd/ini.h"

namespace usrfile {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxDepth = 3;
constexpr size_t kMaxEntries = 20000;
constexpr std::uintmax_t kMaxEntryBytes = 256 * 1024;
const char kGroup[] = "Desktop Entry";

// The program an Exec line starts: its first word (quotes and their
// escapes undone), past an "env VAR=value ..." prefix.
std::string execProgram(const std::string& exec) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < exec.size() && words.size() < 64) {
        while (i < exec.size() && exec[i] == ' ')
            ++i;
        if (i >= exec.size()) break;
        std::string w;
        if (exec[i] == '"') {
            for (++i; i < exec.size() && exec[i] != '"'; ++i) {
                if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
                w += exec[i];
            }
            ++i;
        } else {
            while (i < exec.size() && exec[i] != ' ')
                w += exec[i++];
        }
        words.push_back(w);
    }
    size_t k = 0;
    if (k < words.size() && words[k] == "env")
        for (++k; k < words.size() && words[k].find('=') != std::string::npos;)
            ++k;
    return k < words.size() ? words[k] : "";
}

bool sameProgram(const std::string& named, const std::string& executable) {
    if (named.empty() || executable.empty()) return false;
    const fs::path a(named), b(executable);
    if (named.find('/') == std::string::npos || executable.find('/') == std::string::npos)
        return a.filename() == b.filename();
    std::error_code ea, eb;
    const fs::path ca = fs::weakly_canonical(a, ea), cb = fs::weakly_canonical(b, eb);
    return ea || eb ? a.lexically_normal() == b.lexically_normal() : ca == cb;
}

// The longest stretch of the program's file name that an Exec line cannot
// have written with escapes, to find candidate entries without parsing.
std::string plainPart(const std::string& executable) {
    const std::string name = fs::path(executable).filename().string();
    std::string best, cur;
    for (char c : name + ' ') {
        if (c == '"' || c == '\\' || c == '`' || c == '$' || c == ' ') {
            if (cur.size() > best.size()) best = cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    return best;
}

// The entry's icon when it is an application that starts `executable`.
std::string iconIfStarts(const fs::path& file, const std::string& executable) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size > kMaxEntryBytes) return "";
    std::ifstream in(file, std::ios::binary);
    std::string text(size_t(size), '\0');
    if (!in.read(text.data(), std::streamsize(size))) return "";
    // Most entries never name the program: skip them before parsing.
    if (text.find(plainPart(executable)) == std::string::npos) return "";
    std::istringstream lines(text);
    const qrd::IniFile entry = qrd::IniFile::parse(lines, file.string());
    if (entry.getString(kGroup, "Type", "Application") != "Application") return "";
    if (entry.getString(kGroup, "Hidden", "false") == "true") return "";
    const std::string icon = entry.getString(kGroup, "Icon", "");
    if (icon.empty()) return "";
    if (sameProgram(entry.getString(kGroup, "TryExec", ""), executable) ||
        sameProgram(execProgram(entry.getString(kGroup, "Exec", "")), executable))
        return icon;
    return "";
}

} // namespace

std::string programIconName(const std::string& executable) {
    if (executable.empty()) return "";
    size_t seen = 0;
    for (const std::string& dir : dataDirs()) {
        if (dir.empty() || dir.front() != '/') continue; // relative entries are invalid
        std::error_code ec;
        fs::recursive_directory_iterator it(dir + "/applications",
                                            fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (++seen > kMaxEntries) return "";
            if (it.depth() >= kMaxDepth) it.disable_recursion_pending();
            const fs::path& p = it->path();
            std::error_code kind;
            if (p.extension() != ".desktop" || !it->is_regular_file(kind)) continue;
            if (std::string icon = iconIfStarts(p, executable); !icon.empty()) return icon;
        }
    }
    return "";
}

} // namespace usrfile
