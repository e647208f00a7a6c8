#include "avdpath.h"

#include <algorithm>
#include <cctype>

namespace browse {

std::string localAvdPath(const std::string& given, const qrd::IniFile& qordaIni) {
    std::string path = given.empty() ? kDefaultAvdPath : given;
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(uint8_t(path[0]))) return path;
    std::optional<std::string> mapping =
        qordaIni.get("DriveMappings", std::string(1, char(std::toupper(uint8_t(path[0])))));
    if (!mapping) return path;
    size_t comma = mapping->rfind(',');
    if (comma == std::string::npos) return path;
    std::string mount = mapping->substr(comma + 1);
    mount.erase(0, mount.find_first_not_of(" \t"));
    mount.erase(mount.find_last_not_of(" \t") + 1);
    if (mount.empty() || mount[0] != '/') return path;

    std::string rest = path.substr(2);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    while (!rest.empty() && rest[0] == '/')
        rest.erase(0, 1);
    while (mount.size() > 1 && mount.back() == '/')
        mount.pop_back();
    return mount + "/" + rest;
}

} // namespace browse
