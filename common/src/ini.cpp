#include "qrd/ini.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
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
    std::ifstream in(path);
    return parse(in);
}

IniFile IniFile::parse(std::istream& in) {
    IniFile ini;
    std::string line, section;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = trim(line.substr(1, line.size() - 2));
            ini.sections_[section];
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        ini.sections_[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return ini;
}

std::optional<std::string> IniFile::get(const std::string& section, const std::string& key) const {
    auto s = sections_.find(section);
    if (s == sections_.end()) return std::nullopt;
    auto k = s->second.find(key);
    if (k == s->second.end()) return std::nullopt;
    return k->second;
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
    sections_[section][key] = value;
}

bool IniFile::save(const std::string& path) const {
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out) return false;
        for (const auto& [name, keys] : sections_) {
            out << '[' << name << "]\n";
            for (const auto& [k, v] : keys)
                out << k << '=' << v << '\n';
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
