#include "action_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace deskinstall {

namespace {

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

const char* const kTrueWords[] = {"YES", "1",  "ONE", "TRUE",  "ON",
                                  "OUI", "JA", "SI",  "OKYAH", "KYCHNIJZ"};

// A name that a value may be given by.
struct Named {
    const char* name;
    long value;
};

template <size_t N> const Named* lookUp(const Named (&table)[N], std::string_view name) {
    for (const Named& n : table)
        if (sameNoCase(name, n.name)) return &n;
    return nullptr;
}

const Named kShowModes[] = {
    {"SW_HIDE", 0},
    {"SW_MAXIMIZE", 3},
    // The name setup programs have always written; the full spelling is
    // taken as well.
    {"SW_MINIZE", 6},
    {"SW_MINIMIZE", 6},
    {"SW_RESTORE", 9},
    {"SW_SHOW", 5},
    {"SW_SHOWMAXIMIZED", 3},
    {"SW_SHOWMINIMIZED", 2},
    {"SW_SHOWMINNOACTIVE", 7},
    {"SW_SHOWNA", 8},
    {"SW_SHOWNOACTIVATE", 4},
    {"SW_SHOWNORMAL", 1},
    {"SW_NORMAL", 1},
    {"SW_SHOWDEFAULT", 10},
};

const Named kCapabilities[] = {
    {"DIR_TYPE_NONE", 0},
    {"None", 0},
    {"Nothing", 0},
    {"DIR_TYPE_DOCUMENT", 2},
    {"Document", 2},
    {"Documents", 2},
    {"Doc", 2},
    {"DIR_TYPE_WEB", 8},
    {"URL", 8},
    {"FTP", 8},
    {"HTTP", 8},
    {"WWW", 8},
    {"Web", 8},
    {"Internet", 8},
    {"DIR_TYPE_PEOPLE", 4},
    {"People", 4},
    {"Name", 4},
    {"DIR_TYPE_GENERIC", 16},
    {"Generic", 16},
    {"All", -1},
    {"Any", -1},
    {"\"\"", 16},
};

// A whole decimal number that fits the 32 bits it is stored in.
bool parseDecimal(std::string_view text, long& out) {
    if (text.empty() || text.size() > 11) return false;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    if (text[0] == '-') v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    out = long(v);
    return true;
}

// A line as it may be shown in a message: cut short, control bytes hidden.
std::string shown(std::string_view line) {
    std::string s(line.substr(0, 60));
    for (char& c : s)
        if (uint8_t(c) < 0x20 || c == 0x7F) c = '?';
    return line.size() > 60 ? "\"" + s + "...\"" : "\"" + s + "\"";
}

struct Parser {
    ActionFile out;
    ActionDefinition* current = nullptr; // null before the first section and in a bad one
    bool inBadSection = false;
    size_t lineNumber = 0;

    void problem(const std::string& what) {
        out.problems.push_back("line " + std::to_string(lineNumber) + ": " + what);
    }

    // A section that is not read: its body must not fall to the one before.
    void skipSection(const std::string& why) {
        current = nullptr;
        inBadSection = true;
        problem(why + "; the section is passed over");
    }

    void header(std::string_view line) {
        size_t close = line.find(']');
        if (close == std::string_view::npos) {
            skipSection("section header " + shown(line) + " has no closing \"]\"");
            return;
        }
        std::string_view name = trim(line.substr(1, close - 1));
        if (name.empty()) {
            skipSection("section header " + shown(line) + " names no action");
            return;
        }
        if (!trim(line.substr(close + 1)).empty())
            problem("text after the section header " + shown(line) + " is ignored");
        out.actions.emplace_back();
        current = &out.actions.back();
        inBadSection = false;
        current->name = name;
    }

    void setShowMode(std::string_view value) {
        if (!parseShowMode(value, current->showMode)) {
            current->showMode = kShowNormal;
            problem("WinMode " + shown(value) + " is not a show mode; SW_SHOWNORMAL is used");
        }
    }
    void setCapabilities(std::string_view value) {
        std::vector<std::string> unknown;
        current->capabilities = parseCapabilities(value, &unknown);
        for (const std::string& name : unknown)
            problem("capability " + shown(name) + " is not a type name; it adds nothing");
    }
    void setIcon(std::string_view value) {
        long icon = 0;
        if (parseDecimal(value, icon)) {
            current->iconIndex = icon;
        } else {
            current->iconIndex = 0;
            problem("Icon " + shown(value) + " is not a whole number; 0 is used");
        }
    }

    void body(std::string_view line);

    void take(std::string_view raw) {
        std::string_view line = trim(raw);
        bool isHeader = !line.empty() && line[0] == '[';
        if (raw.size() > kMaxLineLength) {
            if (isHeader)
                skipSection("section header longer than 255 characters");
            else
                problem("line longer than 255 characters is ignored");
            return;
        }
        for (char c : raw)
            if ((uint8_t(c) < 0x20 && c != '\t') || c == 0x7F) {
                if (isHeader)
                    skipSection("section header holds control characters");
                else
                    problem("line holds control characters and is ignored");
                return;
            }
        if (line.empty()) return;
        if (isHeader)
            header(line);
        else
            body(line);
    }
};

// The keys of a section body and what each sets.
struct Key {
    const char* name;
    void (*set)(Parser& p, std::string_view value);
};
const Key kKeys[] = {
    {"Command", [](Parser& p, std::string_view v) { p.current->commandLine = v; }},
    {"Description", [](Parser& p, std::string_view v) { p.current->description = v; }},
    {"StartDir", [](Parser& p, std::string_view v) { p.current->startDirectory = v; }},
    {"Shared", [](Parser& p, std::string_view v) { p.current->shared = parseBoolean(v); }},
    {"Personal", [](Parser& p, std::string_view v) { p.current->shared = !parseBoolean(v); }},
    {"Initial", [](Parser& p, std::string_view v) { p.current->initial = parseBoolean(v); }},
    {"WinMode", [](Parser& p, std::string_view v) { p.setShowMode(v); }},
    {"Capabilities", [](Parser& p, std::string_view v) { p.setCapabilities(v); }},
    {"Cap", [](Parser& p, std::string_view v) { p.setCapabilities(v); }},
    {"Caps", [](Parser& p, std::string_view v) { p.setCapabilities(v); }},
    {"Icon", [](Parser& p, std::string_view v) { p.setIcon(v); }},
};

void Parser::body(std::string_view line) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return; // a remark
    std::string_view key = trim(line.substr(0, eq));
    std::string_view value = trim(line.substr(eq + 1));
    if (!current) {
        // The lines of a section passed over were reported with its header.
        if (!inBadSection) problem(shown(line) + " comes before the first section; ignored");
        return;
    }
    for (const Key& k : kKeys)
        if (sameNoCase(key, k.name)) return k.set(*this, value);
    problem("key " + shown(key) + " is not one the installer knows and is ignored");
}

} // namespace

ActionFile parseActionFile(std::string_view text) {
    Parser p;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // byte order mark
    // Line ends: "\n", "\r\n" or a lone "\r".
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        ++p.lineNumber;
        p.take(text.substr(at, end - at));
        if (end == text.size()) break;
        at = end + 1;
        if (text[end] == '\r' && at < text.size() && text[at] == '\n') ++at;
    }
    return std::move(p.out);
}

bool readActionFile(const std::string& path, ActionFile& file, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno ? errno : EACCES);
        return false;
    }
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, size_t(in.gcount()));
        if (text.size() > kMaxFileSize) {
            error = "larger than " + std::to_string(kMaxFileSize / 1024) +
                    " KiB; an action definition file is a few lines per action";
            return false;
        }
    }
    if (in.bad()) {
        error = std::strerror(errno ? errno : EIO);
        return false;
    }
    file = parseActionFile(text);
    return true;
}

bool parseBoolean(std::string_view value) {
    for (const char* word : kTrueWords)
        if (sameNoCase(value, word)) return true;
    return false;
}

bool parseShowMode(std::string_view name, long& mode) {
    const Named* m = lookUp(kShowModes, name);
    if (m) mode = m->value;
    return m != nullptr;
}

long parseCapabilities(std::string_view text, std::vector<std::string>* unknown) {
    long mask = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t begin = text.find_first_not_of(" \t\r\n", at);
        if (begin == std::string_view::npos) break;
        size_t end = text.find_first_of(" \t\r\n", begin);
        if (end == std::string_view::npos) end = text.size();
        std::string_view token = text.substr(begin, end - begin);
        if (const Named* c = lookUp(kCapabilities, token))
            mask |= c->value;
        else if (unknown)
            unknown->emplace_back(token);
        at = end;
    }
    return mask;
}

std::string applyInstallDirectory(const std::string& command, const std::string& installDirectory) {
    if (installDirectory.empty() || command.empty() || command[0] != '~') return command;
    std::string rest = command.substr(1);
    auto isSeparator = [](char c) { return c == '/' || c == '\\'; };
    bool present = rest.empty() || isSeparator(installDirectory.back()) || isSeparator(rest[0]);
    return installDirectory + (present ? "" : "/") + rest;
}

} // namespace deskinstall
