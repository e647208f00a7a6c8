#include "qrd/ini.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <strings.h>
#include <unistd.h>

namespace qrd {

namespace {
std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}
} // namespace

bool IniFile::NoCase::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

IniFile IniFile::load(const std::string& path) {
    std::error_code ec;
    // A folder opens as a stream that reads nothing; it is no file of settings.
    const bool folder = std::filesystem::is_directory(path, ec);
    errno = 0;
    std::ifstream in(path);
    if (folder || !in) {
        int err = folder ? EISDIR : errno;
        IniFile ini;
        ini.name_ = path;
        ini.found_ = false;
        ini.readError_ = std::strerror(err ? err : ENOENT);
        return ini;
    }
    return parse(in, path);
}

IniFile IniFile::parse(std::istream& in, const std::string& name) {
    IniFile ini;
    ini.name_ = name;
    std::string raw, section;
    int number = 0;
    auto passOver = [&](const std::string& line, const char* why) {
        // A line in a message is cut short: the file may hold anything.
        std::string shown = line.size() > 60 ? line.substr(0, 60) + "..." : line;
        for (char& c : shown)
            if (uint8_t(c) < 0x20) c = '?';
        ini.problems_.push_back(ini.name_ + ":" + std::to_string(number) + ": \"" + shown + "\" " +
                                why + "; expected [Section], Key=Value or a ; comment");
    };
    while (std::getline(in, raw)) {
        ++number;
        std::string line = trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                passOver(line, "is a section without its closing ]");
                continue;
            }
            section = trim(line.substr(1, line.size() - 2));
            ini.sections_[section];
            continue;
        }
        size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? "" : trim(line.substr(0, eq));
        if (key.empty()) {
            passOver(line, eq == std::string::npos ? "is not a setting" : "has no key");
            continue;
        }
        ini.sections_[section][key] = Value{trim(line.substr(eq + 1)), number};
    }
    return ini;
}

const IniFile::Value* IniFile::find(const std::string& section, const std::string& key) const {
    auto s = sections_.find(section);
    if (s == sections_.end()) return nullptr;
    auto k = s->second.find(key);
    return k == s->second.end() ? nullptr : &k->second;
}

std::optional<std::string> IniFile::get(const std::string& section, const std::string& key) const {
    const Value* v = find(section, key);
    if (!v) return std::nullopt;
    return v->text;
}

std::string IniFile::where(const std::string& section, const std::string& key) const {
    const Value* v = find(section, key);
    if (!v) return {};
    return v->line ? name_ + ":" + std::to_string(v->line) : name_;
}

bool IniFile::empty() const {
    for (const auto& [name, keys] : sections_)
        if (!keys.empty()) return false;
    return true;
}

std::string IniFile::getString(const std::string& section, const std::string& key,
                               const std::string& fallback) const {
    return get(section, key).value_or(fallback);
}

long IniFile::getLong(const std::string& section, const std::string& key, long fallback) const {
    auto v = get(section, key);
    if (!v || v->empty()) return fallback;
    errno = 0;
    char* end = nullptr;
    long n = std::strtol(v->c_str(), &end, 0);
    if (errno || *end) return fallback;
    return n;
}

void IniFile::set(const std::string& section, const std::string& key, const std::string& value) {
    sections_[section][key] = Value{value, 0};
}

bool IniFile::save(const std::string& path) const {
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out) return false;
        for (const auto& [name, keys] : sections_) {
            out << '[' << name << "]\n";
            for (const auto& [k, v] : keys)
                out << k << '=' << v.text << '\n';
            out << '\n';
        }
        if (!out.flush()) return false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace qrd
